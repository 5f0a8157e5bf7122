#include "card/core/CardCore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>

using namespace kv22;

namespace {

struct Probe {
  std::set<std::string> files;
  std::set<std::string> notBanks;
  std::string lastAsked;
  static Status Ask(const char* path, void* ctx) {
    auto* self = static_cast<Probe*>(ctx);
    self->lastAsked = path;
    if (self->notBanks.count(path)) return kBadBank;
    return self->files.count(path) ? kOk : kBankNotFound;
  }
};

class CardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DefaultConfig(cfg);
    card = std::make_unique<Card>();
    card->Init(cfg, &Probe::Ask, &probe);
  }

  Status Set(uint32_t dev, uint32_t code, uint32_t value) {
    uint32_t written = 99;
    Status st = card->Request(dev, code, &value, 4, nullptr, 0, &written);
    EXPECT_EQ(written, 0u);
    return st;
  }

  Status Query(uint32_t dev, uint32_t code, uint32_t& value) {
    uint32_t written = 0;
    value = 0xDEADBEEF;
    Status st = card->Request(dev, code, nullptr, 0, &value, 4, &written);
    EXPECT_EQ(written, st == kOk ? 4u : 0u);
    return st;
  }

  Status Bank(uint32_t dev, const std::string& path) {
    uint32_t written;
    return card->Request(dev, kDownloadBank, path.c_str(), uint32_t(path.size() + 1), nullptr, 0,
                         &written);
  }

  LogEntry Last() {
    LogEntry e{};
    EXPECT_EQ(card->ReadLog(card->LastSeq() - 1, &e, 1), 1u);
    return e;
  }

  void Fail(uint32_t code, uint32_t devices = kAllDevices) {
    cfg.fail[cfg.failCount++] = FailRule{code, devices};
    card->SetConfig(cfg);
  }

  CardConfig cfg;
  Probe probe;
  std::unique_ptr<Card> card;  // large: keep it off the stack
};

TEST_F(CardTest, DefaultsDescribeACapableCard) {
  uint32_t v;
  ASSERT_EQ(Query(kDevWavetable, kGetPerformanceLevel, v), kOk);
  EXPECT_EQ(v, 200u);
  ASSERT_EQ(Query(kDevWavetableNt, kGetPerformanceClass, v), kOk);
  EXPECT_EQ(v, 6u);
  ASSERT_EQ(Query(kDevWavetable, kGetPerformanceFeature, v), kOk);
  EXPECT_EQ(v, 1u);
  for (uint32_t d = 0; d < kDeviceCount; ++d) EXPECT_TRUE(card->DeviceEnabled(d));
  EXPECT_FALSE(card->DeviceEnabled(kDeviceCount));
}

TEST_F(CardTest, QueriesReturnConfiguredFigures) {
  cfg.level = 199;
  cfg.perfClass = 5;
  cfg.feature = 0;
  card->SetConfig(cfg);
  uint32_t v;
  ASSERT_EQ(Query(kDevWavetableNt, kGetPerformanceLevel, v), kOk);
  EXPECT_EQ(v, 199u);
  ASSERT_EQ(Query(kDevWavetableNt, kGetPerformanceClass, v), kOk);
  EXPECT_EQ(v, 5u);
  ASSERT_EQ(Query(kDevWavetableNt, kGetPerformanceFeature, v), kOk);
  EXPECT_EQ(v, 0u);
}

TEST_F(CardTest, SetCodesChangeTheirState) {
  EXPECT_EQ(Set(kDevWave, kSetDisableDsHwBuf, 1), kOk);
  EXPECT_EQ(Set(kDevWavetable, kSetWavetableEffect, 1), kOk);
  EXPECT_EQ(Set(kDevWavetable, kSetReverbAmount, 127), kOk);
  EXPECT_EQ(Set(kDevWavetableNt, kSetChorusAmount, 64), kOk);
  EXPECT_EQ(Set(kDevWavetableNt, kSetSoftSynthMode, 2), kOk);
  const CardState& s = card->State();
  EXPECT_EQ(s.disableDsHwBuf, 1u);
  EXPECT_EQ(s.effects, 1u);
  EXPECT_EQ(s.reverb, 127u);
  EXPECT_EQ(s.chorus, 64u);
  EXPECT_EQ(s.softSynthMode, 2u);
}

TEST_F(CardTest, GetDisableDsHwBufAnswersWithOrWithoutOutput) {
  ASSERT_EQ(Set(kDevWave, kSetDisableDsHwBuf, 1), kOk);
  uint32_t flag = 0, written = 9;
  // The caller's way: the flag goes in as input, no output buffer.
  EXPECT_EQ(card->Request(kDevWave, kGetDisableDsHwBuf, &flag, 4, nullptr, 0, &written), kOk);
  EXPECT_EQ(written, 0u);
  uint32_t out = 0;
  EXPECT_EQ(card->Request(kDevWave, kGetDisableDsHwBuf, &flag, 4, &out, 4, &written), kOk);
  EXPECT_EQ(written, 4u);
  EXPECT_EQ(out, 1u);
  uint8_t small[2];
  EXPECT_EQ(card->Request(kDevWave, kGetDisableDsHwBuf, &flag, 4, small, 2, &written), kBadSize);
}

TEST_F(CardTest, OutputModeRecordFlagBytes) {
  uint8_t rec[16];
  std::memset(rec, 0xAB, sizeof rec);
  rec[8] = 0xFF;
  rec[9] = 0xFF;
  uint32_t written;
  ASSERT_EQ(card->Request(kDevCore, kSetOutputMode, rec, 16, nullptr, 0, &written), kOk);
  EXPECT_EQ(card->State().outputFlag, 0xFFFF);
  EXPECT_EQ(std::memcmp(card->State().outputRecord, rec, 16), 0);

  std::memset(rec, 0, sizeof rec);
  rec[8] = 0x34;  // little-endian: low byte first
  rec[9] = 0x12;
  ASSERT_EQ(card->Request(kDevCore, kSetOutputMode, rec, 16, nullptr, 0, &written), kOk);
  EXPECT_EQ(card->State().outputFlag, 0x1234);
  LogEntry e = Last();
  EXPECT_EQ(e.inLength, 16u);
  EXPECT_EQ(std::memcmp(e.in, rec, 16), 0);
}

TEST_F(CardTest, WrongInputSizeFailsAndChangesNothing) {
  uint8_t buf[32] = {1};
  uint32_t written;
  const uint32_t fourByte[] = {kSetDisableDsHwBuf, kGetDisableDsHwBuf, kSetWavetableEffect,
                               kSetReverbAmount,   kSetChorusAmount,   kSetSoftSynthMode};
  for (uint32_t code : fourByte) {
    uint32_t dev = code <= 2 ? kDevWave : kDevWavetable;
    for (uint32_t size : {0u, 3u, 5u, 16u}) {
      EXPECT_EQ(card->Request(dev, code, buf, size, nullptr, 0, &written), kBadSize)
          << std::hex << code << " size " << size;
    }
  }
  for (uint32_t size : {0u, 4u, 15u, 17u}) {
    EXPECT_EQ(card->Request(kDevCore, kSetOutputMode, buf, size, nullptr, 0, &written), kBadSize);
  }
  uint32_t out;
  for (uint32_t code : {kGetPerformanceLevel, kGetPerformanceClass, kGetPerformanceFeature}) {
    EXPECT_EQ(card->Request(kDevWavetable, code, buf, 4, &out, 4, &written), kBadSize);
    EXPECT_EQ(card->Request(kDevWavetable, code, nullptr, 0, &out, 3, &written), kBadSize);
    EXPECT_EQ(card->Request(kDevWavetable, code, nullptr, 0, nullptr, 0, &written), kBadSize);
  }
  // A size without a buffer must not be read.
  EXPECT_EQ(card->Request(kDevWave, kSetDisableDsHwBuf, nullptr, 4, nullptr, 0, &written), kBadSize);
  EXPECT_EQ(card->State().effects, 0u);
  EXPECT_EQ(card->State().disableDsHwBuf, 0u);
  EXPECT_EQ(card->State().outputFlag, 0u);
}

TEST_F(CardTest, EachDeviceServesOnlyItsCodes) {
  uint32_t v;
  EXPECT_EQ(Set(kDevWavetable, kSetDisableDsHwBuf, 1), kNotSupported);
  EXPECT_EQ(Set(kDevCore, kSetWavetableEffect, 1), kNotSupported);
  EXPECT_EQ(Set(kDevWave, kSetReverbAmount, 1), kNotSupported);
  EXPECT_EQ(Query(kDevCore, kGetPerformanceLevel, v), kNotSupported);
  uint8_t rec[16] = {};
  uint32_t written;
  EXPECT_EQ(card->Request(kDevWavetable, kSetOutputMode, rec, 16, nullptr, 0, &written),
            kNotSupported);
  EXPECT_EQ(Set(kDevWavetable, 0x39940000, 1), kNotSupported);  // not a code of the card
  EXPECT_EQ(Set(kDeviceCount, kSetReverbAmount, 1), kNoDevice);
  EXPECT_EQ(card->State().disableDsHwBuf, 0u);
  EXPECT_EQ(card->State().reverb, 0u);
}

TEST_F(CardTest, ConfiguredFailuresRefuseTheCodeOnly) {
  Fail(kSetReverbAmount);
  Fail(kGetPerformanceClass, DeviceBit(kDevWavetableNt));
  EXPECT_EQ(Set(kDevWavetable, kSetReverbAmount, 10), kRefused);
  EXPECT_EQ(Set(kDevWavetableNt, kSetReverbAmount, 10), kRefused);
  EXPECT_EQ(card->State().reverb, 0u);
  EXPECT_EQ(Set(kDevWavetable, kSetChorusAmount, 10), kOk);

  uint32_t v;
  EXPECT_EQ(Query(kDevWavetableNt, kGetPerformanceClass, v), kRefused);
  EXPECT_EQ(v, 0xDEADBEEF) << "a refused query writes nothing";
  EXPECT_EQ(Query(kDevWavetable, kGetPerformanceClass, v), kOk);
  EXPECT_EQ(v, 6u);

  EXPECT_EQ(Last().status, uint32_t(kOk));
  cfg.failCount = 0;
  card->SetConfig(cfg);
  EXPECT_EQ(Set(kDevWavetable, kSetReverbAmount, 10), kOk);
}

TEST_F(CardTest, EveryCodeCanBeMadeToFail) {
  struct {
    uint32_t dev, code, inSize, outSize;
  } const all[] = {
      {kDevWave, kSetDisableDsHwBuf, 4, 0},        {kDevWave, kGetDisableDsHwBuf, 4, 0},
      {kDevCore, kSetOutputMode, 16, 0},           {kDevWavetable, kSetWavetableEffect, 4, 0},
      {kDevWavetable, kSetReverbAmount, 4, 0},     {kDevWavetable, kSetChorusAmount, 4, 0},
      {kDevWavetable, kSetSoftSynthMode, 4, 0},    {kDevWavetable, kGetPerformanceLevel, 0, 4},
      {kDevWavetable, kGetPerformanceClass, 0, 4}, {kDevWavetable, kGetPerformanceFeature, 0, 4},
  };
  uint8_t in[16] = {}, out[4];
  uint32_t written;
  for (const auto& c : all) {
    ASSERT_EQ(card->Request(c.dev, c.code, in, c.inSize, out, c.outSize, &written), kOk);
    Fail(c.code);
    EXPECT_EQ(card->Request(c.dev, c.code, in, c.inSize, out, c.outSize, &written), kRefused)
        << std::hex << c.code;
  }
  probe.files.insert("C:\\a.arl");
  Fail(kDownloadBank);
  EXPECT_EQ(Bank(kDevWavetable, "C:\\a.arl"), kRefused);
}

TEST_F(CardTest, DownloadBankNeedsAnOpenableFile) {
  probe.files.insert("C:\\banks\\gm.arl");
  EXPECT_EQ(Bank(kDevWavetable, "C:\\banks\\missing.arl"), kBankNotFound);
  EXPECT_EQ(probe.lastAsked, "C:\\banks\\missing.arl");
  EXPECT_STREQ(card->State().bank, "");
  EXPECT_EQ(Bank(kDevWavetableNt, "C:\\banks\\gm.arl"), kOk);
  EXPECT_STREQ(card->State().bank, "C:\\banks\\gm.arl");
  LogEntry e = Last();
  EXPECT_EQ(e.inLength, 16u) << "15 characters and the zero";
  EXPECT_EQ(e.in[15], 0);
  // A failed download keeps the bank that is loaded.
  EXPECT_EQ(Bank(kDevWavetable, "C:\\x"), kBankNotFound);
  EXPECT_STREQ(card->State().bank, "C:\\banks\\gm.arl");
  // So does a file that is there but is no bank.
  probe.notBanks.insert("C:\\banks\\readme.txt");
  EXPECT_EQ(Bank(kDevWavetable, "C:\\banks\\readme.txt"), kBadBank);
  EXPECT_EQ(Last().status, kBadBank);
  EXPECT_STREQ(card->State().bank, "C:\\banks\\gm.arl");
}

TEST_F(CardTest, DownloadBankRejectsMalformedText) {
  probe.files.insert("ab");
  uint32_t written;
  const char noZero[2] = {'a', 'b'};
  EXPECT_EQ(card->Request(kDevWavetable, kDownloadBank, noZero, 2, nullptr, 0, &written), kBadPath);
  const char inner[4] = {'a', 0, 'b', 0};
  EXPECT_EQ(card->Request(kDevWavetable, kDownloadBank, inner, 4, nullptr, 0, &written), kBadPath);
  EXPECT_EQ(card->Request(kDevWavetable, kDownloadBank, "", 1, nullptr, 0, &written), kBadPath);
  EXPECT_EQ(card->Request(kDevWavetable, kDownloadBank, nullptr, 0, nullptr, 0, &written), kBadPath);
  std::string longest(kBankPathMax - 1, 'x'), tooLong(kBankPathMax, 'x');
  probe.files.insert(longest);
  probe.files.insert(tooLong);
  EXPECT_EQ(Bank(kDevWavetable, longest), kOk);
  EXPECT_EQ(Bank(kDevWavetable, tooLong), kBadPath);
  EXPECT_EQ(std::string(card->State().bank), longest);
  EXPECT_EQ(Bank(kDevWavetable, "ab"), kOk);
}

TEST_F(CardTest, WithoutProbeNoBankLoads) {
  card->Init(cfg, nullptr, nullptr);
  EXPECT_EQ(Bank(kDevWavetable, "C:\\a.arl"), kBankNotFound);
}

TEST_F(CardTest, OverlappingBuffersReadInputFirst) {
  // Buffered I/O hands the driver one buffer for input and output.
  uint32_t buf = 7, written;
  ASSERT_EQ(card->Request(kDevWave, kSetDisableDsHwBuf, &buf, 4, nullptr, 0, &written), kOk);
  buf = 0;
  ASSERT_EQ(card->Request(kDevWave, kGetDisableDsHwBuf, &buf, 4, &buf, 4, &written), kOk);
  EXPECT_EQ(buf, 7u);
  LogEntry e = Last();
  EXPECT_EQ(e.in[0], 0) << "log holds the input as it arrived";
}

TEST_F(CardTest, LogRecordsEveryRequest) {
  uint32_t value = 0x11223344;
  uint32_t written;
  card->Request(kDevWavetable, kSetReverbAmount, &value, 4, nullptr, 0, &written);
  card->Request(kDevWavetable, kSetReverbAmount, &value, 3, nullptr, 0, &written);
  uint32_t out;
  card->Request(kDevWavetableNt, kGetPerformanceLevel, nullptr, 0, &out, 4, &written);

  LogEntry e[4];
  ASSERT_EQ(card->ReadLog(0, e, 4), 3u);
  EXPECT_EQ(e[0].seq, 1u);
  EXPECT_EQ(e[0].device, uint32_t(kDevWavetable));
  EXPECT_EQ(e[0].code, uint32_t(kSetReverbAmount));
  EXPECT_EQ(e[0].inLength, 4u);
  EXPECT_EQ(e[0].outLength, 0u);
  EXPECT_EQ(e[0].status, uint32_t(kOk));
  EXPECT_EQ(e[0].in[0], 0x44);
  EXPECT_EQ(e[0].in[3], 0x11);
  EXPECT_EQ(e[1].inLength, 3u);
  EXPECT_EQ(e[1].status, uint32_t(kBadSize));
  EXPECT_EQ(e[2].device, uint32_t(kDevWavetableNt));
  EXPECT_EQ(e[2].outLength, 4u);
  EXPECT_EQ(e[2].inLength, 0u);
  EXPECT_EQ(card->ReadLog(2, e, 4), 1u);
  EXPECT_EQ(e[0].seq, 3u);
  EXPECT_EQ(card->ReadLog(3, e, 4), 0u);
}

TEST_F(CardTest, LogKeepsTheFirstBytesAndTheFullLength) {
  std::string path(200, 'p');
  probe.files.insert(path);
  ASSERT_EQ(Bank(kDevWavetable, path), kOk);
  LogEntry e = Last();
  EXPECT_EQ(e.inLength, 201u);
  EXPECT_EQ(e.in[kLogInBytes - 1], 'p');
}

TEST_F(CardTest, LogWrapsAroundKeepingTheNewest) {
  uint32_t written;
  const uint32_t total = kLogCapacity + 10;
  for (uint32_t i = 1; i <= total; ++i) {
    card->Request(kDevWavetable, kSetChorusAmount, &i, 4, nullptr, 0, &written);
  }
  EXPECT_EQ(card->LogCount(), kLogCapacity);
  EXPECT_EQ(card->LastSeq(), total);
  auto all = std::make_unique<LogEntry[]>(kLogCapacity + 1);
  ASSERT_EQ(card->ReadLog(0, all.get(), kLogCapacity + 1), kLogCapacity);
  for (uint32_t i = 0; i < kLogCapacity; ++i) {
    uint32_t seq = 11 + i;
    ASSERT_EQ(all[i].seq, seq);
    uint32_t v;
    std::memcpy(&v, all[i].in, 4);
    ASSERT_EQ(v, seq);
  }
  // Reading in small pieces continues where the last piece ended.
  LogEntry two[2];
  ASSERT_EQ(card->ReadLog(total - 2, two, 2), 2u);
  EXPECT_EQ(two[0].seq, total - 1);
  EXPECT_EQ(two[1].seq, total);
}

TEST_F(CardTest, ClearAndResetRestartTheLog) {
  uint32_t written, v = 5;
  card->NoteOpen(kDevWave);
  card->NoteOpen(kDevWave);
  card->NoteClose(kDevWave);
  card->Request(kDevWave, kSetDisableDsHwBuf, &v, 4, nullptr, 0, &written);
  card->ClearLog();
  EXPECT_EQ(card->LogCount(), 0u);
  EXPECT_EQ(card->State().disableDsHwBuf, 5u) << "clearing the log keeps the state";
  card->Request(kDevWave, kSetDisableDsHwBuf, &v, 4, nullptr, 0, &written);
  EXPECT_EQ(Last().seq, 1u);

  card->ResetState();
  EXPECT_EQ(card->LogCount(), 0u);
  EXPECT_EQ(card->State().disableDsHwBuf, 0u);
  EXPECT_EQ(card->State().opens[kDevWave], 0u);
  EXPECT_EQ(card->State().handles[kDevWave], 1u) << "a handle still open stays counted";
  card->NoteClose(kDevWave);
  card->NoteClose(kDevWave);  // more closes than opens do not wrap
  EXPECT_EQ(card->State().handles[kDevWave], 0u);
}

// The card starts as the pages show the stored values: read by the pages' rules, and what
// the synthesizer is told marked as set, so its own defaults no longer stand in for them.
TEST_F(CardTest, StoredSettingsAreTakenAsThePagesReadThem) {
  StoredSettings s{};
  s.present = kStoredOutputMode | kStoredEffects | kStoredReverb | kStoredChorus | kStoredSynthMode |
              kStoredDisableDsHwBuf | kStoredBank;
  s.outputMode = 1;
  s.effects = 7;
  s.reverb = 0;
  s.chorus = 300;
  s.synthMode = 9;  // no mode: the synthesizer keeps its own
  s.disableDsHwBuf = 1;
  std::strcpy(s.bank, "C:\\banks\\gm.sf2");
  probe.files.insert(s.bank);
  card->TakeStored(s);
  const CardState& st = card->State();
  EXPECT_EQ(st.outputFlag, kExternalSpeakersFlag);
  EXPECT_EQ(st.outputRecord[8], 0xFF);
  EXPECT_EQ(st.outputRecord[9], 0xFF);
  EXPECT_EQ(st.disableDsHwBuf, 1u);
  EXPECT_STREQ(st.bank, s.bank);
  MidiReport report{};
  WavetableView view{};
  ASSERT_EQ(card->MidiReportIn(report, view), kOk);
  EXPECT_EQ(view.setMask, uint32_t(kWtSetEffects | kWtSetReverb | kWtSetChorus));
  EXPECT_EQ(view.effects, 1u);
  EXPECT_EQ(view.reverb, 0u);
  EXPECT_EQ(view.chorus, 127u);
  EXPECT_EQ(card->LogCount(), 0u) << "no program asked";

  // An output mode above 1 shows as headphones; a stored bank that is not one is not taken.
  s.present = kStoredOutputMode | kStoredBank;
  s.outputMode = 5;
  std::strcpy(s.bank, "C:\\gone.sf2");
  card->TakeStored(s);
  EXPECT_EQ(card->State().outputFlag, 0);
  EXPECT_STREQ(card->State().bank, "C:\\banks\\gm.sf2");
}

TEST(CardConfigTest, FailRulesRoundTripThroughBytes) {
  CardConfig cfg;
  DefaultConfig(cfg);
  cfg.failCount = 2;
  cfg.fail[0] = {kSetOutputMode, kAllDevices};
  cfg.fail[1] = {kGetPerformanceLevel, DeviceBit(kDevWavetableNt)};
  uint8_t bytes[8 * kMaxFailRules];
  uint32_t n = FailRulesToBytes(cfg, bytes, sizeof bytes);
  ASSERT_EQ(n, 16u);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[2], 0x85);
  EXPECT_EQ(bytes[3], 0x39);
  EXPECT_EQ(bytes[12], 0x08);

  CardConfig back;
  DefaultConfig(back);
  ASSERT_TRUE(FailRulesFromBytes(bytes, n, back));
  ASSERT_EQ(back.failCount, 2u);
  EXPECT_EQ(back.fail[1].code, uint32_t(kGetPerformanceLevel));
  EXPECT_EQ(back.fail[1].devices, DeviceBit(kDevWavetableNt));

  // Odd sizes, too many rules and rules for no device leave the config alone.
  EXPECT_FALSE(FailRulesFromBytes(bytes, 7, back));
  uint8_t many[8 * (kMaxFailRules + 1)] = {};
  EXPECT_FALSE(FailRulesFromBytes(many, sizeof many, back));
  uint8_t noDevice[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(FailRulesFromBytes(noDevice, 8, back));
  EXPECT_EQ(back.failCount, 2u);
  EXPECT_TRUE(FailRulesFromBytes(bytes, 0, back));
  EXPECT_EQ(back.failCount, 0u);
}

TEST(CardConfigTest, InvalidConfigFallsBackToDefaults) {
  CardConfig cfg;
  DefaultConfig(cfg);
  cfg.level = 5;
  cfg.failCount = kMaxFailRules + 1;
  EXPECT_FALSE(ConfigValid(cfg));
  auto card = std::make_unique<Card>();
  card->Init(cfg, nullptr, nullptr);
  EXPECT_EQ(card->Config().level, kDefaultLevel);
  EXPECT_EQ(card->Config().failCount, 0u);
  cfg.failCount = 0;
  cfg.deviceMask = 0x10;
  EXPECT_FALSE(ConfigValid(cfg));
  cfg.deviceMask = 0;
  EXPECT_TRUE(ConfigValid(cfg)) << "a card with no device names is a valid 'missing card'";
}

}  // namespace

namespace {

class EqTest : public CardTest {
 protected:
  void Apply() { card->SetConfig(cfg); }
  Status Select(int32_t input) { return card->EqSetConfig(EqRequest{kEqMaskInput, 0, input}); }
};

TEST_F(EqTest, PowerOnBoardAndInputs) {
  EqInfo info;
  std::memset(&info, 0xCC, sizeof info);
  ASSERT_EQ(card->EqInitialize(info), kOk);
  EXPECT_EQ(info.boardId, kDefaultBoardId);
  ASSERT_EQ(info.inputCount, 3u);
  EXPECT_STREQ(info.names[0], "Line In");
  EXPECT_STREQ(info.names[2], "Aux In");
  EXPECT_EQ(info.names[5][0], 0) << "unused names are cleared";
  EqStatus st{};
  ASSERT_EQ(card->EqGetStatus(st), kOk);
  EXPECT_EQ(st.flags, 0u);
  EXPECT_EQ(st.input, -1);
  EXPECT_EQ(st.status, 0u);
  EXPECT_EQ(card->State().eqInits, 1u);
  EXPECT_EQ(card->State().eqStatusCalls, 1u);
}

TEST_F(EqTest, ConfiguredFailureAndUnavailableBitFollowTheConfig) {
  cfg.eq.flags = kEqInitFails;
  Apply();
  EqInfo info{};
  EXPECT_EQ(card->EqInitialize(info), kRefused);
  EXPECT_EQ(card->State().eqInits, 1u) << "a failed call is counted too";

  cfg.eq.flags = kEqUnavailable;
  Apply();
  EqStatus st{};
  ASSERT_EQ(card->EqGetStatus(st), kOk);
  EXPECT_EQ(st.status, kEqStatusUnavailable);
  EXPECT_EQ(card->EqSetConfig(EqRequest{kEqMaskOnOff, 1, 0}), kRefused);
  EXPECT_EQ(card->State().eqOn, 0u);

  cfg.eq.flags = 0;
  Apply();
  ASSERT_EQ(card->EqGetStatus(st), kOk);
  EXPECT_EQ(st.status, 0u);
}

TEST_F(EqTest, SetConfigChangesOnlyTheMaskedField) {
  ASSERT_EQ(card->EqSetConfig(EqRequest{kEqMaskOnOff, 1, 2}), kOk);
  EXPECT_EQ(card->State().eqOn, 1u);
  EXPECT_EQ(card->State().eqInput, -1) << "input not in the mask";
  ASSERT_EQ(card->EqSetConfig(EqRequest{kEqMaskInput, 0, 2}), kOk);
  EXPECT_EQ(card->State().eqOn, 1u) << "flags not in the mask";
  EXPECT_EQ(card->State().eqInput, 2);
  EqStatus st{};
  ASSERT_EQ(card->EqGetStatus(st), kOk);
  EXPECT_EQ(st.flags, 1u);
  EXPECT_EQ(st.input, 2);
  EXPECT_EQ(card->State().eqConfigCalls, 2u);
}

TEST_F(EqTest, InputsOutsideTheBoardAndRefusedOnesAreRefused) {
  EXPECT_EQ(Select(-2), kRefused);
  EXPECT_EQ(Select(3), kRefused) << "three inputs: 0..2";
  EXPECT_EQ(Select(0x7FFFFFFF), kRefused);
  EXPECT_EQ(Select(-1), kOk);
  cfg.eq.refuseMask = 1u << 0 | 1u << 2;  // "none" and input 1
  Apply();
  EXPECT_EQ(Select(1), kRefused);
  EXPECT_EQ(Select(0), kOk);
  EXPECT_EQ(Select(-1), kRefused);
  EXPECT_EQ(card->State().eqInput, 0);
  // A refused input leaves the on/off part of the same request alone too.
  EXPECT_EQ(card->EqSetConfig(EqRequest{kEqMaskOnOff | kEqMaskInput, 1, 1}), kRefused);
  EXPECT_EQ(card->State().eqOn, 0u);
}

TEST_F(EqTest, ResetGoesBackToPowerOn) {
  ASSERT_EQ(card->EqSetConfig(EqRequest{kEqMaskOnOff | kEqMaskInput, 1, 1}), kOk);
  card->ResetState();
  EXPECT_EQ(card->State().eqOn, 0u);
  EXPECT_EQ(card->State().eqInput, -1);
  EXPECT_EQ(card->State().eqConfigCalls, 0u);
}

TEST_F(EqTest, OddEqualiserConfigsAreRejected) {
  CardConfig bad = cfg;
  bad.eq.inputCount = kEqMaxInputs + 1;
  EXPECT_FALSE(ConfigValid(bad));
  bad = cfg;
  bad.eq.boardId = 0x10000;
  EXPECT_FALSE(ConfigValid(bad));
  bad = cfg;
  bad.eq.flags = 4;
  EXPECT_FALSE(ConfigValid(bad));
  bad = cfg;
  bad.eq.refuseMask = 1u << (kEqMaxInputs + 1);
  EXPECT_FALSE(ConfigValid(bad));
  bad = cfg;
  std::memset(bad.eq.names[4], 'x', kEqNameSize);  // no zero
  EXPECT_FALSE(ConfigValid(bad));
  EXPECT_TRUE(ConfigValid(cfg));
}

}  // namespace
