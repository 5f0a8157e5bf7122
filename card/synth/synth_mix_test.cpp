// Many notes at once: the polyphony of each mode and whom it steals from, the effects,
// the resets, and the hand-over between threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <atomic>
#include <chrono>
#include <thread>

#include "Synth.h"
#include "SynthHost.h"
#include "test_bank.h"

namespace zsynth {
namespace {
using namespace test;

std::shared_ptr<const Bank> Bank2(float release = 0.02f) {
  BankBuilder b;
  Region r = SineRegion(b);
  r.volEnv.release = release;
  b.instrument(0).regions.push_back(r);
  Region other = r;
  other.tuneCents += 300;
  other.filterCutoff = 9000;
  other.filterQ = 6;
  b.instrument(5).regions.push_back(other);
  Region drum = r;
  drum.loop = LoopMode::kNone;
  drum.exclusiveClass = 1;
  b.instrument(0, true).regions.push_back(drum);
  return b.build();
}

void Apply(Synth& s, SynthSettings settings) {
  s.setSettings(settings);
  float dummy[2];
  s.render(dummy, 0);
}

TEST(SynthVoices, PolyphonyPerModeAndStealingOrder) {
  auto bank = Bank2(10.0f);
  for (uint32_t mode : {0u, 1u, 2u}) {
    Synth s(kRate);
    s.setBank(bank);
    Apply(s, SynthSettings{true, 64, 64, mode});
    for (int n = 0; n < 48; ++n) s.shortMessage(NoteOn(n / 16, 40 + n % 16, 100));
    Render(s, 1024);
    const uint32_t limit = mode == 2 ? 32 : 64;
    EXPECT_EQ(s.status().activeVoices, std::min(48u, limit)) << "mode " << mode;
    EXPECT_EQ(s.status().maxVoices, limit);
    for (int n = 0; n < 40; ++n) s.shortMessage(NoteOn(3 + n / 16, 40 + n % 16, 100));
    EXPECT_EQ(s.status().activeVoices, limit) << "mode " << mode;
  }

  // 32 voices: 29 loud held ones on channel 0, a loud and a quiet releasing one on
  // channels 1 and 2, the quietest held one on channel 3.
  Synth s(kRate);
  s.setBank(bank);
  Apply(s, SynthSettings{true, 64, 64, 2});
  for (int k = 0; k < 29; ++k) s.shortMessage(NoteOn(0, 30 + k, 120));
  s.shortMessage(NoteOn(1, 60, 120));
  s.shortMessage(NoteOn(2, 60, 60));
  s.shortMessage(NoteOn(3, 60, 1));
  Render(s, 256);
  s.shortMessage(NoteOff(1, 60));
  s.shortMessage(NoteOff(2, 60));
  Render(s, 256);
  ASSERT_EQ(s.status().activeVoices, 32u);
  for (int i = 0; i < 3; ++i) s.shortMessage(NoteOn(4, 70 + i, 100));
  ASSERT_EQ(s.status().activeVoices, 32u);
  // All sound off on the three victims' channels must find nothing left; on channel 0 all 29.
  for (int ch : {1, 2, 3}) s.shortMessage(Cc(ch, 120, 0));
  EXPECT_EQ(s.status().activeVoices, 32u);
  s.shortMessage(Cc(0, 120, 0));
  EXPECT_EQ(s.status().activeVoices, 3u);
}

std::vector<float> Phrase(SynthSettings settings, int sends) {
  Synth s(kRate);
  s.setBank(Bank2());
  Apply(s, settings);
  s.shortMessage(Cc(0, 91, sends));
  s.shortMessage(Cc(0, 93, sends));
  std::vector<float> out;
  for (int key : {60, 64, 67}) {
    s.shortMessage(NoteOn(0, key, 100));
    auto part = Render(s, 4000, 100);
    out.insert(out.end(), part.begin(), part.end());
    s.shortMessage(NoteOff(0, key));
  }
  auto tail = Render(s, kRate);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

TEST(SynthEffects, OffIsBitExactWithDry) {
  const auto bypassed = Phrase(SynthSettings{false, 127, 127, 0}, 127);
  const auto dry = Phrase(SynthSettings{true, 127, 127, 0}, 0);
  const auto wet = Phrase(SynthSettings{true, 127, 127, 0}, 127);
  ASSERT_EQ(bypassed.size(), dry.size());
  EXPECT_EQ(std::memcmp(bypassed.data(), dry.data(), dry.size() * sizeof(float)), 0);
  EXPECT_NE(std::memcmp(wet.data(), dry.data(), dry.size() * sizeof(float)), 0);
}

// Milliseconds from the note's end until the output stays 60 dB under the note's peak.
double Rt60(uint32_t amount) {
  Synth s(kRate);
  s.setBank(Bank2(0.005f));
  Apply(s, SynthSettings{true, amount, 0, 0});
  s.shortMessage(Cc(0, 91, 127));
  s.shortMessage(NoteOn(0, 69, 127));
  const auto note = Left(Render(s, 4410));
  s.shortMessage(NoteOff(0, 69));
  const auto tail = Left(Render(s, 6 * kRate));
  float peak = 0;
  for (float v : note) peak = std::max(peak, std::fabs(v));
  size_t last = 0;
  for (size_t i = 0; i < tail.size(); ++i)
    if (std::fabs(tail[i]) > peak * 1e-3f) last = i;
  return last * 1000.0 / kRate;
}

TEST(SynthEffects, ReverbTimeGrowsWithAmount) {
  double previous = -1;
  for (uint32_t amount : {0u, 32u, 64u, 127u}) {
    const double t = Rt60(amount);
    std::printf("reverb %u: RT60 %.0f ms\n", amount, t);
    EXPECT_GT(t, previous) << "amount " << amount;
    previous = t;
  }
}

TEST(SynthReset, GmAndGsResetRestoreEveryController) {
  const uint8_t gmOn[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  const uint8_t gsReset[] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
  const uint8_t part10Melodic[] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x10, 0x15, 0x00, 0x1B, 0xF7};
  const uint8_t masterLow[] = {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x10, 0xF7};
  auto bank = Bank2();
  auto play = [&](Synth& s) {
    s.shortMessage(NoteOn(0, 69, 100));
    s.shortMessage(NoteOn(9, 69, 100));
    return Render(s, 8192);
  };
  Synth fresh(kRate);
  fresh.setBank(bank);
  const auto expected = play(fresh);
  for (const uint8_t* reset : {gmOn, gsReset}) {
    Synth s(kRate);
    s.setBank(bank);
    for (int ch : {0, 9}) {
      for (uint32_t m : {Cc(ch, 7, 20), Cc(ch, 11, 30), Cc(ch, 10, 0), Cc(ch, 1, 127), Cc(ch, 64, 127),
                         Cc(ch, 91, 127), Cc(ch, 93, 127), Cc(ch, 0, 1), Cc(ch, 32, 2), 0xC0u | ch | 5u << 8,
                         Cc(ch, 101, 0), Cc(ch, 100, 0), Cc(ch, 6, 24), Cc(ch, 100, 1), Cc(ch, 6, 90),
                         Cc(ch, 100, 2), Cc(ch, 6, 70), 0xE0u | ch | 0x7Fu << 16})
        s.shortMessage(m);
    }
    s.sysEx(part10Melodic, sizeof part10Melodic);
    s.sysEx(masterLow, sizeof masterLow);
    s.sysEx(reset, reset == gmOn ? sizeof gmOn : sizeof gsReset);
    const auto got = play(s);
    EXPECT_EQ(std::memcmp(got.data(), expected.data(), got.size() * sizeof(float)), 0)
        << (reset == gmOn ? "GM" : "GS");
  }
}

TEST(SynthHostHandOver, MessagesSettingsAndBanksCrossThreads) {
  SynthHost host(kRate);
  auto first = Bank2(0.05f);
  std::weak_ptr<const Bank> watch = first;
  host.setBank(std::move(first));
  host.setSettings(SynthSettings{false, 200, 10, 2});
  std::thread client([&] {
    for (int k = 0; k < 40; ++k) EXPECT_TRUE(host.postShort(NoteOn(k % 16, 40 + k, 100)));
  });
  client.join();
  std::vector<float> buf(2 * 256);
  host.render(buf.data(), 256);
  EXPECT_EQ(host.status().activeVoices, 32u);
  const SynthSettings used = host.settingsInUse();
  EXPECT_FALSE(used.effects);
  EXPECT_EQ(used.reverb, 127u);
  EXPECT_EQ(used.mode, 2u);

  // A new bank: the old one lives while its notes sound, and goes on a later control call.
  host.setBank(Bank2());
  host.render(buf.data(), 256);
  host.setSettings(SynthSettings{});
  EXPECT_FALSE(watch.expired());
  EXPECT_TRUE(host.postReset());
  for (int i = 0; i < 200 && host.status().activeVoices > 0; ++i) host.render(buf.data(), 256);
  EXPECT_EQ(host.status().activeVoices, 0u);
  host.setSettings(SynthSettings{});
  EXPECT_TRUE(watch.expired());

  std::vector<uint8_t> tooLong(4096, 0x10);
  tooLong.front() = 0xF0;
  tooLong.back() = 0xF7;
  EXPECT_FALSE(host.postSysEx(tooLong.data(), tooLong.size()));
  int accepted = 0;
  while (host.postShort(NoteOn(0, 60, 1)) && accepted < 100000) ++accepted;
  EXPECT_LT(accepted, 100000);  // a full ring refuses rather than grows
  host.render(buf.data(), 32);
  EXPECT_TRUE(host.postShort(NoteOff(0, 60)));
}

}  // namespace
}  // namespace zsynth

namespace zsynth {
namespace {

// Clients, a control thread and the render thread all at once (run under ThreadSanitizer
// by tsan-test.sh): nothing lost, nothing freed under the render thread's feet.
TEST(SynthHostThreads, ClientsControlAndRenderTogether) {
  SynthHost host(kRate);
  host.setBank(Bank2(0.01f));
  std::atomic<bool> stop{false};
  std::atomic<int> retired{0};
  std::atomic<int> clientsDone{0};
  std::thread render([&] {
    std::vector<float> buf(2 * 128);
    while (!stop.load()) {
      host.render(buf.data(), 128);
      for (float v : buf) ASSERT_TRUE(std::isfinite(v));
    }
  });
  std::thread control([&] {
    std::vector<std::weak_ptr<const Bank>> old;
    for (int i = 0; i < 60; ++i) {
      auto bank = Bank2(0.01f);
      old.push_back(bank);
      host.setBank(std::move(bank));
      host.setSettings(SynthSettings{i % 2 == 0, uint32_t(i), uint32_t(2 * i), uint32_t(i % 3)});
    }
    // Once the clients are through (their last notes stay held), silence, then control
    // calls until every bank but the last is let go of.
    while (clientsDone.load() < 3) std::this_thread::yield();
    while (!host.postReset()) std::this_thread::yield();  // the ring may be full under load
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      host.setSettings(SynthSettings{});
      int gone = 0;
      for (size_t i = 0; i + 1 < old.size(); ++i) gone += old[i].expired();
      retired = gone;
      if (gone == int(old.size()) - 1) break;
      std::this_thread::yield();
    }
  });
  std::vector<std::thread> clients;
  for (int c = 0; c < 3; ++c) {
    clients.emplace_back([&, c] {
      const uint8_t gm[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
      for (int i = 0; i < 2000; ++i) {
        host.postShort(i % 2 ? NoteOff(c, 40 + i % 40) : NoteOn(c, 40 + i % 40, 90));
        if (i % 500 == 0) host.postSysEx(gm, sizeof gm);
      }
      ++clientsDone;
    });
  }
  for (auto& t : clients) t.join();
  control.join();
  stop = true;
  render.join();
  EXPECT_EQ(retired.load(), 59);
}

}  // namespace
}  // namespace zsynth
