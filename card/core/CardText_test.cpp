#include "card/core/CardText.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kv22;

namespace {

TEST(CardTextTest, LogLineFormat) {
  LogEntry e{};
  e.seq = 12;
  e.device = kDevCore;
  e.code = kSetOutputMode;
  e.inLength = 16;
  e.in[8] = 0xFF;
  e.in[9] = 0xFF;
  EXPECT_EQ(FormatLogEntry(e),
            "req 12 core 0x39850000 in=0000000000000000ffff000000000000 len=16 out=0 ok");
  e.device = kDevWavetableNt;
  e.code = kGetPerformanceLevel;
  e.inLength = 0;
  e.outLength = 4;
  e.status = kRefused;
  EXPECT_EQ(FormatLogEntry(e), "req 12 nt 0x39910000 in=- len=0 out=4 fail");
  e.device = kDevWave;
  e.code = kSetDisableDsHwBuf;
  e.in[8] = e.in[9] = 0;
  e.in[kLogInBytes - 1] = 0xab;
  e.inLength = 200;  // only the kept bytes are shown, the length tells the rest
  e.status = kOk;
  std::string line = FormatLogEntry(e);
  EXPECT_NE(line.find(" in=" + std::string(2 * kLogInBytes - 2, '0') + "ab len=200 "), std::string::npos)
      << line;
}

TEST(CardTextTest, StateLines) {
  CardState s{};
  s.disableDsHwBuf = 1;
  s.outputFlag = 0xFFFF;
  s.effects = 1;
  s.reverb = 40;
  s.chorus = 127;
  s.softSynthMode = 2;
  std::strcpy(s.bank, "C:\\Program Files\\b.arl");
  s.opens[kDevWavetable] = 3;
  s.handles[kDevWavetableNt] = 1;
  EXPECT_EQ(FormatState(s),
            "state disable_ds_hw_buf=1 output=0xffff effects=1 reverb=40 chorus=127 mode=2 "
            "bank=\"C:\\Program Files\\b.arl\"");
  EXPECT_EQ(FormatOpens(s), "opens wave=0 core=0 wt=3 nt=0");
  EXPECT_EQ(FormatHandles(s), "handles wave=0 core=0 wt=0 nt=1");
  // A bank buffer without its zero is cut at the buffer's end, not read past.
  std::memset(s.bank, 'x', sizeof s.bank);
  EXPECT_NE(FormatState(s).find("bank=\"" + std::string(kBankPathMax, 'x') + "\""),
            std::string::npos);
}

TEST(CardTextTest, ConfigLineRoundTripsThroughSettings) {
  CardConfig cfg;
  DefaultConfig(cfg);
  EXPECT_EQ(FormatConfig(cfg), "config devices=wave,core,wt,nt level=200 class=6 feature=1 fail=-");
  std::string err;
  for (const char* arg : {"level=199", "class=0x5", "feature=0", "devices=wt,nt",
                          "fail=0x39850000,nt:0x39910000,wt:0x39910000,wave:1"}) {
    ASSERT_TRUE(ApplySetting(arg, cfg, err)) << arg << ": " << err;
  }
  EXPECT_EQ(cfg.level, 199u);
  EXPECT_EQ(cfg.perfClass, 5u);
  EXPECT_EQ(cfg.deviceMask, DeviceBit(kDevWavetable) | DeviceBit(kDevWavetableNt));
  ASSERT_EQ(cfg.failCount, 3u) << "the same code for two devices is one rule";
  EXPECT_EQ(cfg.fail[1].devices, DeviceBit(kDevWavetable) | DeviceBit(kDevWavetableNt));
  std::string line = FormatConfig(cfg);
  EXPECT_EQ(line,
            "config devices=wt,nt level=199 class=5 feature=0 "
            "fail=0x39850000,wt:0x39910000,nt:0x39910000,wave:0x00000001");

  CardConfig again;
  DefaultConfig(again);
  ASSERT_TRUE(ApplySetting("fail=" + FormatFailRules(cfg), again, err));
  EXPECT_EQ(FormatFailRules(again), FormatFailRules(cfg));
  ASSERT_TRUE(ApplySetting("fail=-", again, err));
  EXPECT_EQ(again.failCount, 0u);
  ASSERT_TRUE(ApplySetting("devices=none", again, err));
  EXPECT_EQ(again.deviceMask, 0u);
  EXPECT_EQ(FormatDeviceMask(0), "none");
  ASSERT_TRUE(ApplySetting("devices=all", again, err));
  EXPECT_EQ(again.deviceMask, kAllDevices);
}

TEST(CardTextTest, BadSettingsLeaveTheConfigAlone) {
  CardConfig cfg;
  DefaultConfig(cfg);
  cfg.failCount = 1;
  cfg.fail[0] = {kSetReverbAmount, kAllDevices};
  std::string err;
  for (const char* arg : {"level", "=5", "level=", "level=-1", "level=0x100000000", "level=12x",
                          "colour=3", "devices=wave,floppy", "devices=", "fail=0x1,xx:0x2",
                          "fail=0x39850000,", "fail=nt:"}) {
    EXPECT_FALSE(ApplySetting(arg, cfg, err)) << arg;
    EXPECT_FALSE(err.empty());
  }
  EXPECT_EQ(cfg.level, kDefaultLevel);
  EXPECT_EQ(cfg.deviceMask, kAllDevices);
  ASSERT_EQ(cfg.failCount, 1u);
  EXPECT_EQ(cfg.fail[0].code, uint32_t(kSetReverbAmount));

  std::string many = "fail=";
  for (int i = 0; i <= int(kMaxFailRules); ++i) many += (i ? "," : "") + std::to_string(i + 1);
  EXPECT_FALSE(ApplySetting(many, cfg, err));
  EXPECT_EQ(cfg.failCount, 1u);
}

TEST(CardTextTest, LinksAndStatusNames) {
  EXPECT_EQ(FormatLinks(DeviceBit(kDevWavetableNt)), "links nt");
  EXPECT_STREQ(StatusName(kRefused), "refused");
  EXPECT_STREQ(DeviceName(7), "?");
  uint32_t d;
  EXPECT_TRUE(DeviceFromName("core", d));
  EXPECT_EQ(d, uint32_t(kDevCore));
  EXPECT_FALSE(DeviceFromName("CORE", d));
}

}  // namespace

namespace {

TEST(CardTextTest, EqualiserLines) {
  CardConfig cfg;
  DefaultConfig(cfg);
  EXPECT_EQ(FormatEqConfig(cfg), "eq board=0x2200 init=ok unavailable=0 refuse=- inputs=\"Line In|CD Audio|Aux In\"");
  CardState s{};
  s.eqOn = 1;
  s.eqInput = -1;
  s.eqStatusCalls = 7;
  EXPECT_EQ(FormatEqState(s), "eqstate on=1 input=-1 inits=0 status=7 configs=0");
}

TEST(CardTextTest, EqualiserSettingsRoundTrip) {
  CardConfig cfg;
  DefaultConfig(cfg);
  std::string error;
  for (const char* arg : {"board=0x2100", "inputs=Mic|Line 2", "eqinit=fail", "unavailable=1", "refuse=-1,1"})
    ASSERT_TRUE(ApplySetting(arg, cfg, error)) << arg << ": " << error;
  EXPECT_EQ(FormatEqConfig(cfg), "eq board=0x2100 init=fail unavailable=1 refuse=-1,1 inputs=\"Mic|Line 2\"");
  EXPECT_TRUE(ConfigValid(cfg));
  ASSERT_TRUE(ApplySetting("inputs=-", cfg, error));
  ASSERT_TRUE(ApplySetting("refuse=-", cfg, error));
  ASSERT_TRUE(ApplySetting("unavailable=0", cfg, error));
  EXPECT_EQ(FormatEqConfig(cfg), "eq board=0x2100 init=fail unavailable=0 refuse=- inputs=\"\"");
}

TEST(CardTextTest, BadEqualiserSettingsChangeNothing) {
  CardConfig cfg;
  DefaultConfig(cfg);
  const std::string before = FormatEqConfig(cfg);
  std::string error;
  for (const char* arg : {"board=0x10000", "board=-1", "eqinit=maybe", "unavailable=2", "refuse=6", "refuse=-2",
                          "refuse=1,,2", "inputs=a|b|c|d|e|f|g", "inputs=a||b", "inputs="}) {
    error.clear();
    EXPECT_FALSE(ApplySetting(arg, cfg, error)) << arg;
    EXPECT_FALSE(error.empty()) << arg;
  }
  std::string longName(kEqNameSize, 'n');
  EXPECT_FALSE(ApplySetting("inputs=" + longName, cfg, error));
  EXPECT_TRUE(ApplySetting("inputs=" + longName.substr(1), cfg, error)) << error;
  DefaultConfig(cfg);
  EXPECT_EQ(FormatEqConfig(cfg), before);
}

}  // namespace
