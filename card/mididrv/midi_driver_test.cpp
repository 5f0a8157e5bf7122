// The card's MIDI driver under Wine, installed as the test prefix's audio driver: the device
// list, exclusive ports across processes, long messages, and the MPU-401 cable.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "shared/card/CardClient.h"

namespace {

constexpr UINT kWavetable = 0, kMpuOut = 1, kMpuIn = 0;
const char kNamesKey[] = "Software\\Orvane\\Zephra\\DriverNames";

bool WaitUntil(bool (*cond)(void*), void* ctx, DWORD ms = 10000) {
  DWORD start = GetTickCount();
  while (!cond(ctx)) {
    if (GetTickCount() - start > ms) return false;
    Sleep(5);
  }
  return true;
}

std::string RegName(const char* value, const char* byDefault) {
  char buf[256] = {};
  DWORD size = sizeof buf;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNamesKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return byDefault;
  LONG r = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS && buf[0] ? buf : byDefault;
}

void SetRegName(const char* value, const std::string& text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kNamesKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1));
  RegCloseKey(key);
}

// This program again, as a second process: MIDI_TEST_CHILD says what it does, its exit code
// is the answer.
DWORD RunChild(const std::string& what, const char* pulse = nullptr) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  SetEnvironmentVariableA("MIDI_TEST_CHILD", what.c_str());
  if (pulse) SetEnvironmentVariableA("PULSE_SERVER", pulse);
  std::string cmd = std::string("\"") + exe + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  BOOL ok = CreateProcessA(exe, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
  SetEnvironmentVariableA("MIDI_TEST_CHILD", nullptr);
  if (!ok) return 0xFFFFFFFFu;
  WaitForSingleObject(pi.hProcess, 60000);
  DWORD code = 0xFFFFFFFEu;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return code;
}

DWORD ChildMain(const std::string& what) {
  if (what == "open-out-mpu" || what == "open-in-mpu") {
    bool out = what == "open-out-mpu";
    HMIDIOUT ho;
    HMIDIIN hi;
    MMRESULT r = out ? midiOutOpen(&ho, kMpuOut, 0, 0, CALLBACK_NULL) : midiInOpen(&hi, kMpuIn, 0, 0, CALLBACK_NULL);
    if (r == MMSYSERR_NOERROR) out ? midiOutClose(ho) : midiInClose(hi);
    return r;
  }
  if (what == "send-mpu") {  // a note and a SysEx down the cable
    HMIDIOUT ho;
    if (midiOutOpen(&ho, kMpuOut, 0, 0, CALLBACK_NULL)) return 1;
    midiOutShortMsg(ho, 0x00643C90);
    static char sysex[] = {char(0xF0), 0x7E, 0x7F, 0x09, 0x01, char(0xF7)};
    MIDIHDR h{};
    h.lpData = sysex;
    h.dwBufferLength = sizeof sysex;
    midiOutPrepareHeader(ho, &h, sizeof h);
    MMRESULT r = midiOutLongMsg(ho, &h, sizeof h);
    midiOutUnprepareHeader(ho, &h, sizeof h);
    midiOutClose(ho);
    return r;
  }
  if (what == "count") return midiOutGetNumDevs() * 10 + midiInGetNumDevs();
  return 0xFFu;
}

// Runs before the tests when this copy is a child.
const bool g_child = [] {
  char what[64];
  if (GetEnvironmentVariableA("MIDI_TEST_CHILD", what, sizeof what)) ExitProcess(ChildMain(what));
  return false;
}();

TEST(MidiDevices, ListedWithTheInstallersNames) {
  ASSERT_GE(midiOutGetNumDevs(), 2u);
  ASSERT_GE(midiInGetNumDevs(), 1u);
  MIDIOUTCAPSA oc{};
  ASSERT_EQ(midiOutGetDevCapsA(kWavetable, &oc, sizeof oc), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(oc.szPname), RegName("WavetableDriverName", "Zephra Wavetable"));
  EXPECT_EQ(oc.wTechnology, MOD_WAVETABLE);
  EXPECT_EQ(oc.wChannelMask, 0xFFFF);
  EXPECT_TRUE(oc.dwSupport & MIDICAPS_VOLUME);
  ASSERT_EQ(midiOutGetDevCapsA(kMpuOut, &oc, sizeof oc), MMSYSERR_NOERROR);
  const std::string mpu = RegName("MidiDriverName", "Zephra MPU-401");
  EXPECT_EQ(std::string(oc.szPname), mpu);
  EXPECT_EQ(oc.wTechnology, MOD_MIDIPORT);
  MIDIINCAPSA ic{};
  ASSERT_EQ(midiInGetDevCapsA(kMpuIn, &ic, 44), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(ic.szPname), mpu);

  // The names are the registry's, read when asked.
  const std::string old = RegName("WavetableDriverName", "Zephra Wavetable");
  SetRegName("WavetableDriverName", "Test Synth 7");
  ASSERT_EQ(midiOutGetDevCapsA(kWavetable, &oc, sizeof oc), MMSYSERR_NOERROR);
  EXPECT_STREQ(oc.szPname, "Test Synth 7");
  SetRegName("WavetableDriverName", old);

  EXPECT_EQ(midiOutGetDevCapsA(kWavetable, nullptr, sizeof oc), MMSYSERR_INVALPARAM);
  HMIDIOUT h;
  EXPECT_EQ(midiOutOpen(&h, 7, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
}

TEST(MidiDevices, StillListedWithoutASoundServer) {
  EXPECT_EQ(RunChild("count", "unix:/nonexistent/zephra-no-server"), 21u);
  SetEnvironmentVariableA("PULSE_SERVER", nullptr);
}

TEST(MidiPorts, HeldByOneProcessAtATime) {
  HMIDIOUT out;
  ASSERT_EQ(midiOutOpen(&out, kMpuOut, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  HMIDIOUT again;
  EXPECT_EQ(midiOutOpen(&again, kMpuOut, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
  EXPECT_EQ(RunChild("open-out-mpu"), DWORD(MMSYSERR_ALLOCATED));
  ASSERT_EQ(midiOutClose(out), MMSYSERR_NOERROR);
  EXPECT_EQ(RunChild("open-out-mpu"), DWORD(MMSYSERR_NOERROR));

  HMIDIIN in;
  ASSERT_EQ(midiInOpen(&in, kMpuIn, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(RunChild("open-in-mpu"), DWORD(MMSYSERR_ALLOCATED));
  ASSERT_EQ(midiInClose(in), MMSYSERR_NOERROR);
  EXPECT_EQ(RunChild("open-in-mpu"), DWORD(MMSYSERR_NOERROR));
}

struct OutEvents {
  std::mutex lock;
  std::vector<UINT> msgs;
  std::vector<DWORD_PTR> params;
};

void CALLBACK OutProc(HMIDIOUT, UINT msg, DWORD_PTR inst, DWORD_PTR p1, DWORD_PTR) {
  auto* ev = reinterpret_cast<OutEvents*>(inst);
  std::lock_guard<std::mutex> g(ev->lock);
  ev->msgs.push_back(msg);
  ev->params.push_back(p1);
}

TEST(MidiOut, SysExThroughPrepareLongMessageAndUnprepare) {
  OutEvents ev;
  HMIDIOUT h;
  ASSERT_EQ(midiOutOpen(&h, kWavetable, reinterpret_cast<DWORD_PTR>(&OutProc), reinterpret_cast<DWORD_PTR>(&ev),
                        CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  char gmOn[] = {char(0xF0), 0x7E, 0x7F, 0x09, 0x01, char(0xF7)};
  MIDIHDR hdr{};
  hdr.lpData = gmOn;
  hdr.dwBufferLength = sizeof gmOn;
  EXPECT_EQ(midiOutLongMsg(h, &hdr, sizeof hdr), MIDIERR_UNPREPARED);
  ASSERT_EQ(midiOutPrepareHeader(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
  EXPECT_TRUE(hdr.dwFlags & MHDR_PREPARED);
  ASSERT_EQ(midiOutLongMsg(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
  EXPECT_TRUE(hdr.dwFlags & MHDR_DONE);
  EXPECT_FALSE(hdr.dwFlags & MHDR_INQUEUE);
  ASSERT_EQ(midiOutUnprepareHeader(h, &hdr, sizeof hdr), MMSYSERR_NOERROR);
  EXPECT_FALSE(hdr.dwFlags & MHDR_PREPARED);

  DWORD vol = 0;
  ASSERT_EQ(midiOutSetVolume(h, 0x80004000), MMSYSERR_NOERROR);
  ASSERT_EQ(midiOutGetVolume(h, &vol), MMSYSERR_NOERROR);
  EXPECT_EQ(vol, 0x80004000u);
  midiOutSetVolume(h, 0xFFFFFFFF);
  EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), MMSYSERR_NOERROR);
  EXPECT_EQ(midiOutReset(h), MMSYSERR_NOERROR);
  ASSERT_EQ(midiOutClose(h), MMSYSERR_NOERROR);

  std::lock_guard<std::mutex> g(ev.lock);
  ASSERT_EQ(ev.msgs.size(), 3u);
  EXPECT_EQ(ev.msgs[0], UINT(MOM_OPEN));
  EXPECT_EQ(ev.msgs[1], UINT(MOM_DONE));
  EXPECT_EQ(ev.params[1], reinterpret_cast<DWORD_PTR>(&hdr));
  EXPECT_EQ(ev.msgs[2], UINT(MOM_CLOSE));

  HMIDIOUT mpu;
  ASSERT_EQ(midiOutOpen(&mpu, kMpuOut, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(midiOutGetVolume(mpu, &vol), MMSYSERR_NOTSUPPORTED);
  midiOutClose(mpu);
}

struct InEvents {
  std::mutex lock;
  struct E {
    UINT msg;
    DWORD_PTR p1, p2;
  };
  std::vector<E> list;
  size_t Count() {
    std::lock_guard<std::mutex> g(lock);
    return list.size();
  }
};

void CALLBACK InProc(HMIDIIN, UINT msg, DWORD_PTR inst, DWORD_PTR p1, DWORD_PTR p2) {
  auto* ev = reinterpret_cast<InEvents*>(inst);
  std::lock_guard<std::mutex> g(ev->lock);
  ev->list.push_back({msg, p1, p2});
}

uint32_t MpuOutBytes() {
  kv22::CardClient card;
  kv22::MidiState m{};
  return card.Open() && card.GetMidi(m) ? m.bytes[kv22::kMidiMpuOut] : 0;
}

TEST(MidiIn, TheCableBringsAnotherProcesssMessagesWithTimestamps) {
  InEvents ev;
  HMIDIIN in;
  ASSERT_EQ(midiInOpen(&in, kMpuIn, reinterpret_cast<DWORD_PTR>(&InProc), reinterpret_cast<DWORD_PTR>(&ev),
                       CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  char buf[16];
  MIDIHDR hdr{};
  hdr.lpData = buf;
  hdr.dwBufferLength = sizeof buf;
  EXPECT_EQ(midiInAddBuffer(in, &hdr, sizeof hdr), MIDIERR_UNPREPARED);
  ASSERT_EQ(midiInPrepareHeader(in, &hdr, sizeof hdr), MMSYSERR_NOERROR);
  ASSERT_EQ(midiInAddBuffer(in, &hdr, sizeof hdr), MMSYSERR_NOERROR);
  EXPECT_EQ(midiInUnprepareHeader(in, &hdr, sizeof hdr), MIDIERR_STILLPLAYING);
  const uint32_t before = MpuOutBytes();
  ASSERT_EQ(midiInStart(in), MMSYSERR_NOERROR);
  const DWORD started = GetTickCount();
  ASSERT_EQ(RunChild("send-mpu"), DWORD(MMSYSERR_NOERROR));
  const DWORD elapsed = GetTickCount() - started;
  ASSERT_TRUE(WaitUntil([](void* e) { return static_cast<InEvents*>(e)->Count() >= 3; }, &ev));
  {
    std::lock_guard<std::mutex> g(ev.lock);
    EXPECT_EQ(ev.list[0].msg, UINT(MIM_OPEN));
    EXPECT_EQ(ev.list[1].msg, UINT(MIM_DATA));
    EXPECT_EQ(ev.list[1].p1, 0x00643C90u);
    EXPECT_LE(ev.list[1].p2, elapsed + 1000);  // ms since midiInStart
    EXPECT_EQ(ev.list[2].msg, UINT(MIM_LONGDATA));
    EXPECT_EQ(ev.list[2].p1, reinterpret_cast<DWORD_PTR>(&hdr));
    EXPECT_GE(ev.list[2].p2, ev.list[1].p2);
  }
  EXPECT_EQ(hdr.dwBytesRecorded, 6u);
  EXPECT_EQ(std::memcmp(buf, "\xF0\x7E\x7F\x09\x01\xF7", 6), 0);
  EXPECT_TRUE(hdr.dwFlags & MHDR_DONE);
  // The card counted the bytes that went out: 3 for the note, 6 for the SysEx.
  ASSERT_TRUE(WaitUntil([](void* b) { return MpuOutBytes() >= *static_cast<uint32_t*>(b) + 9; },
                        const_cast<uint32_t*>(&before)));

  // A SysEx longer than the buffer comes back as an error.
  char small[4];
  MIDIHDR shdr{};
  shdr.lpData = small;
  shdr.dwBufferLength = sizeof small;
  ASSERT_EQ(midiInPrepareHeader(in, &shdr, sizeof shdr), MMSYSERR_NOERROR);
  ASSERT_EQ(midiInAddBuffer(in, &shdr, sizeof shdr), MMSYSERR_NOERROR);
  ASSERT_EQ(RunChild("send-mpu"), DWORD(MMSYSERR_NOERROR));
  ASSERT_TRUE(WaitUntil([](void* e) { return static_cast<InEvents*>(e)->Count() >= 5; }, &ev));
  {
    std::lock_guard<std::mutex> g(ev.lock);
    EXPECT_EQ(ev.list[3].msg, UINT(MIM_DATA));
    EXPECT_EQ(ev.list[4].msg, UINT(MIM_LONGERROR));
  }
  EXPECT_EQ(midiInReset(in), MMSYSERR_NOERROR);
  midiInUnprepareHeader(in, &hdr, sizeof hdr);
  midiInUnprepareHeader(in, &shdr, sizeof shdr);
  ASSERT_EQ(midiInClose(in), MMSYSERR_NOERROR);
  std::lock_guard<std::mutex> g(ev.lock);
  EXPECT_EQ(ev.list.back().msg, UINT(MIM_CLOSE));
}

}  // namespace
