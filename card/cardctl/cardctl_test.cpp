// cardctl.exe as other tests use it: run it, read its lines.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "shared/card/CardClient.h"
#include "card/core/CardText.h"

namespace {

// Unix path of the built cardctl.exe; Wine maps / to Z:.
std::string CardctlPath() {
  std::string p = "Z:" + std::string(CARDCTL_UNIX_PATH);
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  return p;
}

struct RunResult {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
};

RunResult RunCardctl(const std::string& args) {
  RunResult r;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return r;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  std::string cmd = "\"" + CardctlPath() + "\" " + args;
  BOOL started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  if (started) {
    char buf[4096];
    DWORD got;
    while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) r.out.append(buf, got);
    WaitForSingleObject(pi.hProcess, 10000);
    GetExitCodeProcess(pi.hProcess, &r.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(readEnd);
  return r;
}

class CardctlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_card.Open()) << "virtual card missing (card/install-card.sh)";
    ASSERT_TRUE(m_card.GetStatus(m_saved));
    ASSERT_TRUE(m_card.ResetState());
  }
  void TearDown() override { EXPECT_TRUE(m_card.SetConfig(m_saved.config)); }

  // A request of our own on the NT name, which both shapes can open.
  void Send(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
    HANDLE h = CreateFileA(ZEPHRA_DEVICE_PATH(ZEPHRA_WAVETABLE_NT), GENERIC_READ, FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    DWORD got;
    DeviceIoControl(h, code, const_cast<void*>(in), inSize, out, outSize, &got, nullptr);
    CloseHandle(h);
  }

  kv22::CardClient m_card;
  kv22::CardStatus m_saved{};
};

TEST_F(CardctlTest, LogLinesDescribeEachRequest) {
  DWORD reverb = 0x51;
  Send(0x39870000, &reverb, 4, nullptr, 0);
  DWORD level = 0;
  Send(0x39910000, nullptr, 0, &level, 4);
  Send(0x39870000, &reverb, 2, nullptr, 0);  // wrong size
  RunResult r = RunCardctl("log");
  ASSERT_EQ(r.exitCode, 0u) << r.out;
  EXPECT_EQ(r.out,
            "req 1 nt 0x39870000 in=51000000 len=4 out=0 ok\n"
            "req 2 nt 0x39910000 in=- len=0 out=4 ok\n"
            "req 3 nt 0x39870000 in=5100 len=2 out=0 fail\n");
  ASSERT_EQ(RunCardctl("clear").exitCode, 0u);
  EXPECT_EQ(RunCardctl("log").out, "");
}

TEST_F(CardctlTest, StateShowsTheCardAndItsConfiguration) {
  DWORD chorus = 9;
  Send(0x39880000, &chorus, 4, nullptr, 0);
  RunResult r = RunCardctl("state");
  ASSERT_EQ(r.exitCode, 0u) << r.out;
  EXPECT_EQ(r.out.find("state disable_ds_hw_buf=0 output=0x0000 effects=0 reverb=0 chorus=9 mode=0 "
                       "bank=\"\"\n"),
            0u)
      << r.out;
  EXPECT_NE(r.out.find("\nopens wave=0 core=0 wt=0 nt=1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nlog count=1 last=1\n"), std::string::npos) << r.out;
}

TEST_F(CardctlTest, SetChangesTheRunningCard) {
  RunResult r = RunCardctl("set level=150 fail=nt:0x39930000 devices=wt,nt");
  ASSERT_EQ(r.exitCode, 0u) << r.out;
  EXPECT_EQ(r.out,
            "config devices=wt,nt level=150 class=" + std::to_string(m_saved.config.perfClass) +
                " feature=" + std::to_string(m_saved.config.feature) +
                " fail=nt:0x39930000\nlinks wt,nt\n" + kv22::FormatEqConfig(m_saved.config) + "\n");
  DWORD level = 0;
  Send(0x39910000, nullptr, 0, &level, 4);
  EXPECT_EQ(level, 150u);
  kv22::CardStatus now;
  ASSERT_TRUE(m_card.GetStatus(now));
  EXPECT_EQ(now.linkMask, kv22::DeviceBit(kv22::kDevWavetable) | kv22::DeviceBit(kv22::kDevWavetableNt));
}

TEST_F(CardctlTest, SetChangesTheEqualiserAndStateShowsIt) {
  RunResult r = RunCardctl("set board=0x2100 \"inputs=Mic|Line 2\" unavailable=1 refuse=-1,1 eqinit=fail");
  ASSERT_EQ(r.exitCode, 0u) << r.out;
  EXPECT_NE(r.out.find("\neq board=0x2100 init=fail unavailable=1 refuse=-1,1 inputs=\"Mic|Line 2\"\n"),
            std::string::npos)
      << r.out;
  kv22::CardStatus now;
  ASSERT_TRUE(m_card.GetStatus(now));
  EXPECT_EQ(now.config.eq.boardId, 0x2100u);
  EXPECT_EQ(now.config.eq.inputCount, 2u);
  EXPECT_EQ(now.config.level, m_saved.config.level) << "other keys keep their value";
  r = RunCardctl("state");
  EXPECT_NE(r.out.find("\neqstate on=0 input=-1 inits=0 status=0 configs=0\n"), std::string::npos) << r.out;
  EXPECT_EQ(RunCardctl("set refuse=9").exitCode, 2u);
}

TEST_F(CardctlTest, BadUsageChangesNothing) {
  EXPECT_EQ(RunCardctl("set level=abc").exitCode, 2u);
  EXPECT_EQ(RunCardctl("frobnicate").exitCode, 2u);
  EXPECT_EQ(RunCardctl("").exitCode, 2u);
  kv22::CardStatus now;
  ASSERT_TRUE(m_card.GetStatus(now));
  EXPECT_EQ(now.config.level, m_saved.config.level);
}

}  // namespace
