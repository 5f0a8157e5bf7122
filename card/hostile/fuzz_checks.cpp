// What must hold after the storm: the log, valid requests, cardctl's view of the card.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "card/core/CardText.h"
#include "card/hostile/fuzz_requests.h"
#include "card/synth/TestBankWriter.h"

namespace kv22fuzz {
namespace {

using namespace kv22;

// One request as a program sends it; the Win32 error, 0 on success.
DWORD Send(const Target& t, uint32_t code, void* in, DWORD inSize, void* out, DWORD outSize) {
  HANDLE h = t.ninexOpen ? CreateFileA(t.path, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr)
                         : CreateFileA(t.path, GENERIC_READ, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                       nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD got = 0;
  const DWORD error = DeviceIoControl(h, code, in, inSize, out, outSize, &got, nullptr) ? 0 : GetLastError();
  CloseHandle(h);
  return error;
}

DWORD SendValue(const Target& t, uint32_t code, uint32_t value) {
  return Send(t, code, &value, sizeof value, nullptr, 0);
}

void CheckWave(CardClient& card, const Target& t) {
  CardStatus st;
  for (uint32_t flag : {1u, 0u}) {
    ASSERT_EQ(SendValue(t, kSetDisableDsHwBuf, flag), 0u) << t.path;
    ASSERT_TRUE(card.GetStatus(st));
    EXPECT_EQ(st.state.disableDsHwBuf, flag) << t.path;
    // The 9x caller reads its input back (through the DLL); others the output.
    uint32_t in = 0x55, out = 0x55;
    ASSERT_EQ(Send(t, kGetDisableDsHwBuf, &in, sizeof in, &out, sizeof out), 0u) << t.path;
    EXPECT_EQ(out, flag) << t.path;
    if (t.throughDll) {
      EXPECT_EQ(in, flag) << t.path;
    }
  }
}

void CheckWavetable(CardClient& card, const Target& t, const std::string& bank, const CardConfig& cfg) {
  CardStatus st;
  const uint32_t base = t.dev == kDevWavetable ? 10 : 20;
  EXPECT_EQ(SendValue(t, kSetWavetableEffect, 1), 0u) << t.path;
  EXPECT_EQ(SendValue(t, kSetReverbAmount, base + 1), 0u) << t.path;
  EXPECT_EQ(SendValue(t, kSetChorusAmount, base + 2), 0u) << t.path;
  EXPECT_EQ(SendValue(t, kSetSoftSynthMode, 2), 0u) << t.path;
  std::vector<char> path(bank.begin(), bank.end());
  path.push_back(0);
  EXPECT_EQ(Send(t, kDownloadBank, path.data(), DWORD(path.size()), nullptr, 0), 0u) << t.path;
  ASSERT_TRUE(card.GetStatus(st));
  EXPECT_EQ(st.state.effects, 1u);
  EXPECT_EQ(st.state.reverb, base + 1);
  EXPECT_EQ(st.state.chorus, base + 2);
  EXPECT_EQ(st.state.softSynthMode, 2u);
  EXPECT_STREQ(st.state.bank, bank.c_str());
  const uint32_t want[] = {cfg.level, cfg.perfClass, cfg.feature};
  const uint32_t codes[] = {kGetPerformanceLevel, kGetPerformanceClass, kGetPerformanceFeature};
  for (int i = 0; i < 3; ++i) {
    uint32_t v = 0xFFFFFFFF;
    EXPECT_EQ(Send(t, codes[i], nullptr, 0, &v, sizeof v), 0u) << t.path;
    EXPECT_EQ(v, want[i]) << t.path << " code " << std::hex << codes[i];
  }
}

}  // namespace

bool MakeBankFile(std::string& path) {
  char dir[MAX_PATH];
  if (!GetTempPathA(sizeof dir, dir)) return false;
  path = std::string(dir) + "kv22fuzz.sf2";
  const std::vector<uint8_t> bytes = zsynth::testbank::WriteSf2(zsynth::testbank::SquareBank());
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD wrote = 0;
  const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
  CloseHandle(f);
  return ok && wrote == bytes.size() && path.size() < kBankPathMax;
}

bool NinexOpensRefused() {
  bool all = true;
  for (const char* p : {ZEPHRA_DEVICE_PATH(ZEPHRA_CORE_VXD), ZEPHRA_DEVICE_PATH(ZEPHRA_WAVETABLE_VXD),
                        ZEPHRA_DEVICE_PATH(ZEPHRA_WAVE_VXD)}) {
    HANDLE h = CreateFileA(p, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const DWORD error = GetLastError();
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_TRUE(h == INVALID_HANDLE_VALUE && error == ERROR_INVALID_PARAMETER) << p << " error " << error;
    all = all && h == INVALID_HANDLE_VALUE;
  }
  return all;
}

Counts CheckLogAlone(const std::vector<LogEntry>& log, const CardConfig& cfg, const std::string& bank) {
  Counts c;
  std::unique_ptr<Card> model(new Card);
  model->Init(cfg, &BankProbe, const_cast<std::string*>(&bank));
  for (const LogEntry& e : log) {
    // Only the first bytes of an input are kept; the rest is taken as zeros.
    std::vector<uint8_t> in(e.inLength);
    if (!in.empty()) std::memcpy(in.data(), e.in, e.inLength < kLogInBytes ? e.inLength : kLogInBytes);
    std::vector<uint8_t> out(e.outLength);
    uint32_t written = 0;
    Status want = model->Request(e.device, e.code, in.empty() ? nullptr : in.data(), e.inLength,
                                 out.empty() ? nullptr : out.data(), e.outLength, &written);
    if (e.code == kDownloadBank && e.inLength > kLogInBytes && want == kBadPath &&
        e.inLength <= kBankPathMax) {
      // A path longer than the log keeps: only the bank we made can have been taken.
      const bool ours = e.inLength == bank.size() + 1 && std::memcmp(e.in, bank.data(), kLogInBytes) == 0;
      if (ours) want = kOk;
      else if (e.status == kBankNotFound) want = kBankNotFound;
    }
    ++c.requests;
    if (e.status != want) {
      char text[160];
      std::snprintf(text, sizeof text, "log entry %u dev=%u code=0x%08x len=%u out=%u status %s, expected %s",
                    e.seq, e.device, e.code, e.inLength, e.outLength, StatusName(e.status), StatusName(want));
      c.Mismatch(text, e.status == kOk);
    }
  }
  return c;
}

bool ValidRequestsAnswer(CardClient& card, const std::vector<Target>& targets, const std::string& bank,
                         const CardConfig& cfg) {
  CardConfig open = cfg;
  open.failCount = 0;
  if (!card.SetConfig(open)) return false;
  for (const Target& t : targets) {
    if (t.dev == kDevWave) CheckWave(card, t);
    if (t.dev == kDevWavetable || t.dev == kDevWavetableNt) CheckWavetable(card, t, bank, cfg);
    if (t.dev == kDevCore) {
      uint8_t record[kOutputRecordSize] = {};
      record[8] = record[9] = 0xFF;
      EXPECT_EQ(Send(t, kSetOutputMode, record, sizeof record, nullptr, 0), 0u);
      CardStatus st;
      EXPECT_TRUE(card.GetStatus(st) && st.state.outputFlag == 0xFFFF);
    }
  }
  return !::testing::Test::HasFailure();
}

bool CardctlStateSane(CardClient& card) {
  FILE* p = _popen("cardctl.exe state", "r");
  if (!p) return false;
  std::vector<std::string> lines;
  char line[2048];
  while (std::fgets(line, sizeof line, p)) lines.push_back(line);
  const int status = _pclose(p);
  CardStatus st;
  if (!card.GetStatus(st)) return false;
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lines.size(), 8u);
  if (lines.size() < 3) return false;
  EXPECT_EQ(lines[0], FormatState(st.state) + "\n");
  EXPECT_EQ(lines[2], FormatHandles(st.state) + "\n");
  return status == 0 && lines.size() == 8 && lines[0] == FormatState(st.state) + "\n";
}

}  // namespace kv22fuzz
