// The driver-access layer against the virtual card installed in the prefix.
#include "controlpanel/driver/DriverControl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "TestBankWriter.h"
#include "shared/card/CardClient.h"
#include "shared/settings/Settings.h"

namespace {

using kv22::CardConfig;
using kv22::LogEntry;

std::vector<uint8_t> Bytes(const void* p, size_t n) {
  auto* b = static_cast<const uint8_t*>(p);
  return std::vector<uint8_t>(b, b + n);
}

std::vector<uint8_t> Le32(uint32_t v) { return Bytes(&v, 4); }

class DriverControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(card_.Open()) << "virtual card missing (card/install-card.sh), error "
                              << card_.Error();
    ASSERT_TRUE(card_.GetStatus(saved_));
    ASSERT_TRUE(card_.ResetState());
    nt_ = IsWindowsNT();
    wavetable_ = nt_ ? kv22::kDevWavetableNt : kv22::kDevWavetable;
  }

  void TearDown() override {
    if (changed_) {
      EXPECT_TRUE(card_.SetConfig(saved_.config)) << "configuration not restored";
    }
  }

  void Configure(const std::function<void(CardConfig&)>& change) {
    CardConfig cfg = saved_.config;
    change(cfg);
    changed_ = true;
    ASSERT_TRUE(card_.SetConfig(cfg));
  }

  void FailCodes(std::initializer_list<uint32_t> codes) {
    Configure([&](CardConfig& cfg) {
      cfg.failCount = 0;
      for (uint32_t c : codes) cfg.fail[cfg.failCount++] = kv22::FailRule{c, kv22::kAllDevices};
    });
  }

  std::vector<LogEntry> Log() {
    std::vector<LogEntry> log;
    EXPECT_TRUE(card_.ReadLog(log));
    return log;
  }

  kv22::CardStatus Status() {
    kv22::CardStatus s{};
    EXPECT_TRUE(card_.GetStatus(s));
    return s;
  }

  static void ExpectRequest(const LogEntry& e, uint32_t device, uint32_t code,
                            const std::vector<uint8_t>& in, uint32_t outLength, bool ok) {
    EXPECT_EQ(e.device, device) << "code " << std::hex << code;
    EXPECT_EQ(e.code, code);
    EXPECT_EQ(e.inLength, in.size()) << "code " << std::hex << code;
    size_t kept = in.size() < kv22::kLogInBytes ? in.size() : kv22::kLogInBytes;
    EXPECT_EQ(Bytes(e.in, kept), std::vector<uint8_t>(in.begin(), in.begin() + kept))
        << "code " << std::hex << code;
    EXPECT_EQ(e.outLength, outLength) << "code " << std::hex << code;
    EXPECT_EQ(e.status == kv22::kOk, ok) << "code " << std::hex << code;
  }

  // Closing reaches the driver after CloseHandle returns; give it a moment.
  uint32_t HandlesSettled(uint32_t dev, uint32_t expected) {
    uint32_t n = 0;
    for (int i = 0; i < 50; ++i) {
      n = Status().state.handles[dev];
      if (n == expected) break;
      Sleep(20);
    }
    return n;
  }

  kv22::CardClient card_;
  kv22::CardStatus saved_{};
  bool changed_ = false;
  bool nt_ = false;
  uint32_t wavetable_ = kv22::kDevWavetable;
};

TEST_F(DriverControlTest, WaveDeviceSwitchOn9x) {
  if (nt_) GTEST_SKIP() << "the wave device exists on Windows 9x only";
  HANDLE h = OpenDevice9x(kWaveDriverFile);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
  EXPECT_EQ(SetDisableDsHwBuf(h, 1), 1);
  DWORD flag = 0;
  EXPECT_EQ(GetDisableDsHwBuf(h, &flag), 1);
  EXPECT_EQ(flag, 1u) << "brs4wave.vxd writes the state into the input buffer";
  EXPECT_EQ(SetDisableDsHwBuf(h, 0), 1);

  // The VxD's DLL asks the driver with an output buffer of its own.
  auto log = Log();
  ASSERT_EQ(log.size(), 3u);
  ExpectRequest(log[0], kv22::kDevWave, 0x00000001, Le32(1), 0, true);
  ExpectRequest(log[1], kv22::kDevWave, 0x00000002, Le32(0), 4, true);
  ExpectRequest(log[2], kv22::kDevWave, 0x00000001, Le32(0), 0, true);
  kv22::CardStatus s = Status();
  EXPECT_EQ(s.state.disableDsHwBuf, 0u);
  // On i686 the DLL opens the device for each request; 64-bit Wine has no VxD DLL, and the
  // driver serves the name itself.
  EXPECT_GE(s.state.opens[kv22::kDevWave], sizeof(void*) == 4 ? 3u : 1u);

  CloseDevice(h);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(HandlesSettled(kv22::kDevWave, 0), 0u);
}

TEST_F(DriverControlTest, OutputModeRecordOn9x) {
  if (nt_) GTEST_SKIP() << "the core device exists on Windows 9x only";
  CDeviceHandle core(OpenDevice9x(kCoreDriverFile));
  ASSERT_TRUE(core.IsValid()) << GetLastError();
  EXPECT_EQ(SetOutputMode(core.Get(), 1), 1);
  EXPECT_EQ(Status().state.outputFlag, 0xFFFF);
  EXPECT_EQ(SetOutputMode(core.Get(), 0), 1);
  EXPECT_EQ(Status().state.outputFlag, 0x0000);
  EXPECT_EQ(SetOutputMode(core.Get(), 1), 1);
  EXPECT_EQ(SetOutputMode(core.Get(), 7), 1);
  EXPECT_EQ(Status().state.outputFlag, 0x0000);

  std::vector<uint8_t> speakers(16, 0), other(16, 0);
  speakers[8] = speakers[9] = 0xFF;
  auto log = Log();
  ASSERT_EQ(log.size(), 4u);
  ExpectRequest(log[0], kv22::kDevCore, 0x39850000, speakers, 0, true);
  ExpectRequest(log[1], kv22::kDevCore, 0x39850000, other, 0, true);
  ExpectRequest(log[3], kv22::kDevCore, 0x39850000, other, 0, true);
}

TEST_F(DriverControlTest, WavetableSettingsArriveAsSent) {
  CDeviceHandle wt(OpenWavetableDevice(nt_));
  ASSERT_TRUE(wt.IsValid()) << GetLastError();
  EXPECT_EQ(SetWavetableEffect(wt.Get(), 1), 1);
  EXPECT_EQ(SetReverbAmount(wt.Get(), 100), 1);
  EXPECT_EQ(SetChorusAmount(wt.Get(), 27), 1);
  EXPECT_EQ(SetSoftSynthMode(wt.Get(), 2), 1);

  auto log = Log();
  ASSERT_EQ(log.size(), 4u);
  ExpectRequest(log[0], wavetable_, 0x39860000, Le32(1), 0, true);
  ExpectRequest(log[1], wavetable_, 0x39870000, Le32(100), 0, true);
  ExpectRequest(log[2], wavetable_, 0x39880000, Le32(27), 0, true);
  ExpectRequest(log[3], wavetable_, 0x39900000, Le32(2), 0, true);
  kv22::CardState s = Status().state;
  EXPECT_EQ(s.effects, 1u);
  EXPECT_EQ(s.reverb, 100u);
  EXPECT_EQ(s.chorus, 27u);
  EXPECT_EQ(s.softSynthMode, 2u);
}

TEST_F(DriverControlTest, PerformanceQueriesReturnTheCardsFigures) {
  Configure([](CardConfig& cfg) {
    cfg.level = 199;
    cfg.perfClass = 5;
    cfg.feature = 0x80000000u;
  });
  CDeviceHandle wt(OpenWavetableDevice(nt_));
  ASSERT_TRUE(wt.IsValid()) << GetLastError();
  DWORD level = 0, cls = 0, feature = 0;
  EXPECT_EQ(GetPerformanceLevel(wt.Get(), &level), 1);
  EXPECT_EQ(GetPerformanceClass(wt.Get(), &cls), 1);
  EXPECT_EQ(GetPerformanceFeature(wt.Get(), &feature), 1);
  EXPECT_EQ(level, 199u);
  EXPECT_EQ(cls, 5u);
  EXPECT_EQ(feature, 0x80000000u);
  auto log = Log();
  ASSERT_EQ(log.size(), 3u);
  ExpectRequest(log[0], wavetable_, 0x39910000, {}, 4, true);
  ExpectRequest(log[1], wavetable_, 0x39920000, {}, 4, true);
  ExpectRequest(log[2], wavetable_, 0x39930000, {}, 4, true);
}

TEST_F(DriverControlTest, DownloadBankSendsThePathAndItsZero) {
  char dir[MAX_PATH];
  ASSERT_GT(GetTempPathA(sizeof dir, dir), 0u);
  std::string path = std::string(dir) + "kv22test.arl";
  std::string text = std::string(dir) + "kv22text.arl";
  const std::vector<uint8_t> bank = zsynth::testbank::WriteDls(zsynth::testbank::SquareBank());
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bank.data(), 1, bank.size(), f);
  std::fclose(f);
  f = std::fopen(text.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("bank", f);
  std::fclose(f);

  CDeviceHandle wt(OpenWavetableDevice(nt_));
  ASSERT_TRUE(wt.IsValid()) << GetLastError();
  EXPECT_EQ(DownloadBank(wt.Get(), path.c_str()), 1);
  EXPECT_STREQ(Status().state.bank, path.c_str());

  // A file that cannot be opened, or one that is no bank, fails and keeps the loaded bank;
  // a path longer than the log keeps still arrives whole.
  std::string missing = std::string(dir) + std::string(120, 'm') + ".arl";
  EXPECT_EQ(DownloadBank(wt.Get(), missing.c_str()), 0);
  EXPECT_EQ(DownloadBank(wt.Get(), text.c_str()), 0);
  EXPECT_STREQ(Status().state.bank, path.c_str());
  std::remove(path.c_str());
  std::remove(text.c_str());

  std::vector<uint8_t> sent(path.begin(), path.end());
  sent.push_back(0);
  std::vector<uint8_t> sentMissing(missing.begin(), missing.end());
  sentMissing.push_back(0);
  auto log = Log();
  ASSERT_EQ(log.size(), 3u);
  ExpectRequest(log[0], wavetable_, 0x39950000, sent, 0, true);
  ExpectRequest(log[1], wavetable_, 0x39950000, sentMissing, 0, false);
  EXPECT_EQ(log[1].inLength, missing.size() + 1);
  EXPECT_EQ(log[1].status, uint32_t(kv22::kBankNotFound));
  EXPECT_EQ(log[2].status, uint32_t(kv22::kBadBank));
}

TEST_F(DriverControlTest, FailingCodesMakeTheOperationsFail) {
  FailCodes({0x39860000, 0x39870000, 0x39880000, 0x39900000, 0x39910000, 0x39920000, 0x39930000,
             0x39950000, 0x00000001, 0x00000002, 0x39850000});
  CDeviceHandle wt(OpenWavetableDevice(nt_));
  ASSERT_TRUE(wt.IsValid()) << GetLastError();
  EXPECT_EQ(SetWavetableEffect(wt.Get(), 1), 0);
  EXPECT_EQ(SetReverbAmount(wt.Get(), 5), 0);
  EXPECT_EQ(SetChorusAmount(wt.Get(), 5), 0);
  EXPECT_EQ(SetSoftSynthMode(wt.Get(), 1), 0);
  DWORD level = 77, cls = 77, feature = 77;
  EXPECT_EQ(GetPerformanceLevel(wt.Get(), &level), 0);
  EXPECT_EQ(GetPerformanceClass(wt.Get(), &cls), 0);
  EXPECT_EQ(GetPerformanceFeature(wt.Get(), &feature), 0);
  EXPECT_EQ(level, 77u);
  EXPECT_EQ(cls, 77u);
  EXPECT_EQ(feature, 77u);
  EXPECT_EQ(DownloadBank(wt.Get(), "C:\\windows\\win.ini"), 0);
  size_t expected = 8;
  if (!nt_) {
    CDeviceHandle wave(OpenDevice9x(kWaveDriverFile));
    CDeviceHandle core(OpenDevice9x(kCoreDriverFile));
    ASSERT_TRUE(wave.IsValid() && core.IsValid());
    DWORD flag = 0;
    EXPECT_EQ(SetDisableDsHwBuf(wave.Get(), 1), 0);
    EXPECT_EQ(GetDisableDsHwBuf(wave.Get(), &flag), 0);
    EXPECT_EQ(flag, 0u);
    EXPECT_EQ(SetOutputMode(core.Get(), 1), 0);
    expected += 3;
  }
  auto log = Log();
  ASSERT_EQ(log.size(), expected);
  for (const auto& e : log) EXPECT_NE(e.status, uint32_t(kv22::kOk)) << std::hex << e.code;
  kv22::CardState s = Status().state;
  EXPECT_EQ(s.effects, 0u);
  EXPECT_EQ(s.outputFlag, 0u);
  EXPECT_STREQ(s.bank, "");
}

TEST_F(DriverControlTest, OneFailingCodeLeavesTheOthersWorking) {
  FailCodes({0x39920000});
  CDeviceHandle wt(OpenWavetableDevice(nt_));
  ASSERT_TRUE(wt.IsValid());
  DWORD v = 0;
  EXPECT_EQ(GetPerformanceLevel(wt.Get(), &v), 1);
  EXPECT_EQ(GetPerformanceClass(wt.Get(), &v), 0);
  EXPECT_EQ(GetPerformanceFeature(wt.Get(), &v), 1);
}

TEST_F(DriverControlTest, InvalidHandleMakesNoRequest) {
  HANDLE h = INVALID_HANDLE_VALUE;
  DWORD v = 5;
  EXPECT_EQ(SetDisableDsHwBuf(h, 1), 0);
  EXPECT_EQ(GetDisableDsHwBuf(h, &v), 0);
  EXPECT_EQ(SetOutputMode(h, 1), 0);
  EXPECT_EQ(SetWavetableEffect(h, 1), 0);
  EXPECT_EQ(SetReverbAmount(h, 1), 0);
  EXPECT_EQ(SetChorusAmount(h, 1), 0);
  EXPECT_EQ(SetSoftSynthMode(h, 1), 0);
  EXPECT_EQ(GetPerformanceLevel(h, &v), 0);
  EXPECT_EQ(GetPerformanceClass(h, &v), 0);
  EXPECT_EQ(GetPerformanceFeature(h, &v), 0);
  EXPECT_EQ(DownloadBank(h, "C:\\windows\\win.ini"), 0);
  EXPECT_EQ(v, 5u);
  CloseDevice(h);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Log().empty());
}

TEST_F(DriverControlTest, OnNtOnlyTheWavetableDeviceOpens) {
  if (!nt_) GTEST_SKIP() << "NT shape only";
  for (const char* file : {kWaveDriverFile, kCoreDriverFile, kWavetableDriverFile}) {
    SetLastError(0);
    HANDLE h = OpenDevice9x(file);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << file;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << file;
    CloseDevice(h);
  }
  CDeviceHandle wt(OpenWavetableDevice(nt_));
  EXPECT_TRUE(wt.IsValid()) << GetLastError();
  kv22::CardState s = Status().state;
  EXPECT_EQ(s.opens[kv22::kDevWave], 0u);
  EXPECT_EQ(s.opens[kv22::kDevCore], 0u);
  EXPECT_EQ(s.opens[kv22::kDevWavetable], 0u);
  EXPECT_EQ(s.opens[kv22::kDevWavetableNt], 1u);
}

TEST_F(DriverControlTest, On9xTheVxdNamesOpen) {
  if (nt_) GTEST_SKIP() << "Windows 9x shape only";
  for (const char* file : {kWaveDriverFile, kCoreDriverFile, kWavetableDriverFile}) {
    CDeviceHandle h(OpenDevice9x(file));
    EXPECT_TRUE(h.IsValid()) << file << " error " << GetLastError();
  }
  kv22::CardState s = Status().state;
  // brs4wave.vxd is a DLL in the caller's process: its open does not reach the driver.
  EXPECT_EQ(s.opens[kv22::kDevCore], 1u);
  EXPECT_EQ(s.opens[kv22::kDevWavetable], 1u);
  EXPECT_EQ(s.opens[kv22::kDevWavetableNt], 0u);
}

TEST_F(DriverControlTest, MissingCardDevicesDoNotOpen) {
  Configure([](CardConfig& cfg) { cfg.deviceMask = 0; });
  HANDLE wt = OpenWavetableDevice(nt_);
  EXPECT_EQ(wt, INVALID_HANDLE_VALUE);
  CloseDevice(wt);
  if (!nt_) {
    // brs4wave.vxd stays loaded once a process has opened it: its requests fail instead.
    HANDLE wave = OpenDevice9x(kWaveDriverFile);
    EXPECT_EQ(SetDisableDsHwBuf(wave, 1), 0);
    CloseDevice(wave);
  }

  // Names come back with the configuration.
  Configure([&](CardConfig& cfg) { cfg.deviceMask = saved_.config.deviceMask; });
  CDeviceHandle again(OpenWavetableDevice(nt_));
  EXPECT_TRUE(again.IsValid()) << GetLastError();
}

TEST_F(DriverControlTest, OverlongDriverFileNameFailsWithoutOverrun) {
  std::string name(400, 'x');
  SetLastError(0);
  EXPECT_EQ(OpenDevice9x(name.c_str()), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
  EXPECT_EQ(OpenDevice9x(nullptr), INVALID_HANDLE_VALUE);
}

}  // namespace
