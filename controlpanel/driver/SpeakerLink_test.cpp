// The library against the virtual card: its state and configuration are the card's.
#include "card/kv20dal/Kv20DAL.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "card/core/CardCore.h"
#include "shared/card/CardClient.h"
#include "controlpanel/driver/SpeakerLink.h"

namespace {

class Kv20DalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(card_.Open()) << "virtual card missing, error " << card_.Error();
    ASSERT_TRUE(card_.GetStatus(saved_));
    ASSERT_TRUE(card_.ResetState());
  }
  void TearDown() override { EXPECT_TRUE(card_.SetConfig(saved_.config)); }

  void Configure(const std::function<void(kv22::CardConfig&)>& change) {
    kv22::CardConfig cfg = saved_.config;
    kv22::DefaultConfig(cfg);
    cfg.deviceMask = saved_.config.deviceMask;
    change(cfg);
    ASSERT_TRUE(card_.SetConfig(cfg));
  }

  kv22::CardState State() {
    kv22::CardStatus s{};
    EXPECT_TRUE(card_.GetStatus(s));
    return s.state;
  }

  static SpeakerEqRecord Record() {
    SpeakerEqRecord r;
    std::memset(&r, 0x5A, sizeof r);
    return r;
  }

  kv22::CardClient card_;
  kv22::CardStatus saved_{};
};

TEST_F(Kv20DalTest, InitializeReportsTheBoardAndItsInputs) {
  Configure([](kv22::CardConfig&) {});
  CSpeakerInterface si;
  TAudioInfo info;
  std::memset(&info, 0x77, sizeof info);
  ASSERT_EQ(si.Initialize(&info, nullptr), 1);
  EXPECT_EQ(info.boardId, 0x2200);
  ASSERT_EQ(info.inputCount, 3);
  EXPECT_STREQ(info.inputNames[0], "Line In");
  EXPECT_STREQ(info.inputNames[1], "CD Audio");
  EXPECT_STREQ(info.inputNames[2], "Aux In");
  EXPECT_EQ(info.inputNames[3][0], 0);
}

TEST_F(Kv20DalTest, ConfigurationChangesReachTheNextInitialize) {
  Configure([](kv22::CardConfig& c) {
    c.eq.boardId = 0x2100;
    c.eq.inputCount = 6;
    for (unsigned i = 0; i < 6; ++i) std::memset(c.eq.names[i], 'a' + i, kv22::kEqNameSize - 1);
  });
  CSpeakerInterface si;
  TAudioInfo info{};
  ASSERT_EQ(si.Initialize(&info, nullptr), 1);
  EXPECT_EQ(info.boardId, 0x2100);
  EXPECT_EQ(info.inputCount, 6);
  EXPECT_EQ(std::strlen(info.inputNames[5]), 63u) << "a full-length name keeps its zero";

  Configure([](kv22::CardConfig& c) { c.eq.flags = kv22::kEqInitFails; });
  CSpeakerInterface failing;
  EXPECT_NE(failing.Initialize(&info, nullptr), 1);
  SpeakerEqRecord r = Record();
  EXPECT_EQ(failing.GetStatus(&r, 0), 0) << "nothing works without a successful Initialize";
  r.mask = kEqFieldOnOff;
  r.flags = 1;
  EXPECT_EQ(failing.SetConfig(&r, 0), 0);
  EXPECT_EQ(State().eqOn, 0u);
}

// b is the control panel's run-time link to this library: every export binds.
TEST_F(Kv20DalTest, OneObjectSeesWhatAnotherSet) {
  Configure([](kv22::CardConfig&) {});
  CSpeakerInterface a;
  CSpeakerLink b;
  ASSERT_TRUE(b.Bound());
  TAudioInfo info{};
  ASSERT_EQ(a.Initialize(&info, nullptr), 1);
  ASSERT_EQ(b.Initialize(&info, nullptr), 1);
  EXPECT_EQ(info.boardId, 0x2200);
  SpeakerEqRecord r = Record();
  r.mask = kEqFieldOnOff;
  r.flags = kEqFlagOn;
  ASSERT_NE(a.SetConfig(&r, 0), 0);
  r.mask = kEqFieldInput;
  r.input = 2;
  ASSERT_NE(a.SetConfig(&r, 0), 0);

  SpeakerEqRecord seen = Record();
  ASSERT_EQ(b.GetStatus(&seen, 0), 1);
  EXPECT_EQ(seen.flags & kEqFlagOn, kEqFlagOn);
  EXPECT_EQ(seen.input, 2);
  EXPECT_EQ(seen.status & kEqUnavailableNow, 0);
  EXPECT_EQ(seen.mask, 0x5A5A5A5Au) << "bytes outside the status fields are left alone";
  EXPECT_EQ(State().eqStatusCalls, 1u);
  EXPECT_EQ(State().eqConfigCalls, 2u);

  r.mask = kEqFieldOnOff;
  r.flags = 0;
  ASSERT_NE(b.SetConfig(&r, 0), 0);
  ASSERT_EQ(a.GetStatus(&seen, 0), 1);
  EXPECT_EQ(seen.flags & kEqFlagOn, 0);
}

TEST_F(Kv20DalTest, UnavailableBitAndRefusedInputs) {
  Configure([](kv22::CardConfig& c) { c.eq.refuseMask = 1u << 2; });  // input 1
  CSpeakerInterface si;
  TAudioInfo info{};
  ASSERT_EQ(si.Initialize(&info, nullptr), 1);
  SpeakerEqRecord r = Record();
  r.mask = kEqFieldInput;
  r.input = 1;
  EXPECT_EQ(si.SetConfig(&r, 0), 0);
  r.input = 7;
  EXPECT_EQ(si.SetConfig(&r, 0), 0) << "beyond the board's inputs";
  EXPECT_EQ(State().eqInput, -1);

  Configure([](kv22::CardConfig& c) { c.eq.flags = kv22::kEqUnavailable; });
  ASSERT_EQ(si.GetStatus(&r, 0), 1) << "configuration changes while the object lives";
  EXPECT_EQ(r.status & kEqUnavailableNow, kEqUnavailableNow);
  Configure([](kv22::CardConfig&) {});
  ASSERT_EQ(si.GetStatus(&r, 0), 1);
  EXPECT_EQ(r.status & kEqUnavailableNow, 0);
}

TEST_F(Kv20DalTest, NullRecordsFail) {
  Configure([](kv22::CardConfig&) {});
  CSpeakerInterface si;
  EXPECT_EQ(si.Initialize(nullptr, nullptr), 0);
  TAudioInfo info{};
  ASSERT_EQ(si.Initialize(&info, nullptr), 1);
  EXPECT_EQ(si.GetStatus(nullptr, 0), 0);
  EXPECT_EQ(si.SetConfig(nullptr, 0), 0);
}

}  // namespace
