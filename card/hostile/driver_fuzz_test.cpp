// The card's devices under hostile requests: random codes, sizes up to 64 KiB, null and
// short buffers, malformed bank paths, opens and closes from several threads. Every answer
// is checked against the card's own logic run in this process; afterwards the card must
// still answer valid requests and its log must hold no rejected request counted as done.
//   ZEPHRA_DRIVER_FUZZ_SECONDS  length of the random phase (default 20)
//   ZEPHRA_DRIVER_FUZZ_SEED     seed to replay a run (printed at the start)
//   ZEPHRA_DRIVER_FUZZ_TRACE    set: each request on stderr before it is sent
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shared/card/CardClient.h"
#include "card/core/CardText.h"
#include "card/hostile/fuzz_requests.h"

namespace {

using namespace kv22;
using kv22fuzz::Counts;
using kv22fuzz::Target;

bool IsNt() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

unsigned EnvNumber(const char* name, unsigned fallback) {
  const char* v = std::getenv(name);
  return v && *v ? static_cast<unsigned>(std::strtoul(v, nullptr, 0)) : fallback;
}

// The names a program can open, with the arguments its platform uses.
std::vector<Target> Targets(bool nt) {
  std::vector<Target> t = {
      {ZEPHRA_DEVICE_PATH(ZEPHRA_WAVETABLE_NT), kDevWavetableNt, false, false},
      {ZEPHRA_DEVICE_PATH(ZEPHRA_WAVE_DEVICE), kDevWave, false, false},
      {ZEPHRA_DEVICE_PATH(ZEPHRA_CONTROL_DEVICE), kv22fuzz::kControl, false, false},
  };
  if (!nt) {
    // 64-bit Wine loads no VxD DLL: the driver itself serves that name there.
    t.push_back({ZEPHRA_DEVICE_PATH(ZEPHRA_WAVE_VXD), kDevWave, true, sizeof(void*) == 4});
    t.push_back({ZEPHRA_DEVICE_PATH(ZEPHRA_CORE_VXD), kDevCore, true, false});
    t.push_back({ZEPHRA_DEVICE_PATH(ZEPHRA_WAVETABLE_VXD), kDevWavetable, true, false});
  }
  return t;
}

class DriverFuzzTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_card.Open()) << "virtual card missing (card/install-card.sh)";
    ASSERT_TRUE(m_card.GetStatus(m_saved));
    CardConfig cfg;
    DefaultConfig(cfg);
    // One refused code per kind of device, so refusals are exercised too.
    cfg.failCount = 2;
    cfg.fail[0] = {kSetChorusAmount, DeviceBit(kDevWavetable) | DeviceBit(kDevWavetableNt)};
    cfg.fail[1] = {kSetDisableDsHwBuf, DeviceBit(kDevWave)};
    ASSERT_TRUE(m_card.SetConfig(cfg));
    ASSERT_TRUE(m_card.ResetState());
    ASSERT_TRUE(m_card.GetStatus(m_start));
    ASSERT_TRUE(kv22fuzz::MakeBankFile(m_bank));
  }
  void TearDown() override {
    EXPECT_TRUE(m_card.SetConfig(m_saved.config));
    EXPECT_TRUE(m_card.ResetState());
    DeleteFileA(m_bank.c_str());
  }

  // Waits until every handle this test opened has reached the driver's close.
  bool HandlesBack() {
    for (int i = 0; i < 400; ++i) {
      CardStatus st;
      if (!m_card.GetStatus(st)) return false;
      bool same = true;
      for (uint32_t d = 0; d < kDeviceCount; ++d) same = same && st.state.handles[d] == m_start.state.handles[d];
      if (same) return true;
      Sleep(25);  // polling the driver, not pacing the test
    }
    return false;
  }

  CardClient m_card;
  CardStatus m_saved{};
  CardStatus m_start{};
  std::string m_bank;
};

// METHOD_NEITHER hands the driver the caller's raw addresses: refused before the card, or
// its request log, reads a byte of them.
TEST_F(DriverFuzzTest, RawAddressRequestsAreRefusedUnread) {
  const char* path = IsNt() ? ZEPHRA_DEVICE_PATH(ZEPHRA_WAVETABLE_NT) : ZEPHRA_DEVICE_PATH(ZEPHRA_WAVE_DEVICE);
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  CardStatus before;
  ASSERT_TRUE(m_card.GetStatus(before));
  const uint32_t kNeither = 3;
  for (uint32_t code : {kDownloadBank | kNeither, kSetReverbAmount | kNeither, kGetDisableDsHwBuf | 1u}) {
    char in[64] = "C:\\any.sf2";
    char out[16] = {};
    DWORD got = 0;
    EXPECT_FALSE(DeviceIoControl(h, code, in, sizeof in, out, sizeof out, &got, nullptr)) << std::hex << code;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FUNCTION)) << std::hex << code;
  }
  CloseHandle(h);
  std::vector<LogEntry> log;
  ASSERT_TRUE(m_card.ReadLog(log, before.lastSeq));
  for (const LogEntry& e : log) EXPECT_NE(e.code & 3, 3u) << "logged: 0x" << std::hex << e.code;
}

TEST_F(DriverFuzzTest, HostileRequestsLeaveTheCardSound) {
  const bool nt = IsNt();
  const unsigned seconds = EnvNumber("ZEPHRA_DRIVER_FUZZ_SECONDS", 20);
  const unsigned seed = EnvNumber("ZEPHRA_DRIVER_FUZZ_SEED", GetTickCount());
  std::printf("driver fuzz: %s shape, %u s, seed %u\n", nt ? "nt" : "9x", seconds, seed);
  const std::vector<Target> targets = Targets(nt);

  // In the NT shape the 9x arguments must fail before reaching any device.
  if (nt) {
    EXPECT_TRUE(kv22fuzz::NinexOpensRefused());
  }

  // First a single thread, whose log can be read back request by request; then four.
  Counts total;
  Counts logged;  // the card's log, entry by entry
  const DWORD deadline = GetTickCount() + seconds * 1000;
  const DWORD half = GetTickCount() + seconds * 500;
  kv22fuzz::Fuzzer single(targets, m_start.config, m_bank, seed);
  while (static_cast<LONG>(half - GetTickCount()) > 0) {
    CardStatus st;
    ASSERT_TRUE(m_card.GetStatus(st));
    const uint32_t from = st.lastSeq;
    single.Run(200);
    std::vector<LogEntry> log;
    ASSERT_TRUE(m_card.ReadLog(log, from));
    logged.Add(kv22fuzz::CheckLogAlone(log, m_start.config, m_bank));
  }
  total.Add(single.counts());

  std::vector<std::unique_ptr<kv22fuzz::Fuzzer>> workers;
  for (unsigned i = 0; i < 4; ++i)
    workers.emplace_back(new kv22fuzz::Fuzzer(targets, m_start.config, m_bank, seed + 1 + i));
  std::vector<std::thread> threads;
  for (auto& w : workers) {
    threads.emplace_back([&w, deadline] {
      while (static_cast<LONG>(deadline - GetTickCount()) > 0) w->Run(50);
      w->CloseAll();
    });
  }
  for (auto& t : threads) t.join();
  single.CloseAll();
  for (auto& w : workers) total.Add(w->counts());

  std::vector<LogEntry> log;
  ASSERT_TRUE(m_card.ReadLog(log, 0));
  logged.Add(kv22fuzz::CheckLogAlone(log, m_start.config, m_bank));
  std::printf("driver fuzz: callers %s\n", total.Text().c_str());
  std::printf("driver fuzz: log entries checked=%lu wrong_success=%lu wrong_error=%lu\n", logged.requests,
              logged.wrongSuccess, logged.wrongError);
  for (const std::string& m : total.mismatches) ADD_FAILURE() << m;
  for (const std::string& m : logged.mismatches) ADD_FAILURE() << m;
  EXPECT_EQ(total.wrongSuccess + logged.wrongSuccess, 0u);
  EXPECT_EQ(total.wrongError + logged.wrongError, 0u);
  EXPECT_GT(total.requests, 0u);
  EXPECT_TRUE(HandlesBack()) << "handles left open in the driver";

  // The card answers as before the storm.
  EXPECT_TRUE(kv22fuzz::ValidRequestsAnswer(m_card, targets, m_bank, m_start.config));
  EXPECT_TRUE(kv22fuzz::CardctlStateSane(m_card));
}

}  // namespace
