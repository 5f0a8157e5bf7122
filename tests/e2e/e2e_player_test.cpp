// TrivoxPlay driven through its real dialog, file dialog and room view.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "E2eSupport.h"

using namespace e2e;

namespace {

const char kExe[] = "C:\\Program Files\\Resonix Trivox\\demos\\TrivoxPlay.exe";
const char kSounds[] = "C:\\Program Files\\Resonix Trivox\\demos\\sounds\\";  // ours, installed beside it
const char kTitle[] = "Trivox Player (Hit F1 For Help)";
const char kKey[] = "Software\\Orvane\\Trivox";
constexpr int kRate = Capture::kRate;

// Writes a 16-bit mono RIFF WAVE of a tone; with a LIST chunk between "fmt " and "data"
// when asked.
void WriteWave(const std::string& path, bool listFirst) {
  const uint32_t rate = 22050, n = rate;  // one second
  std::vector<int16_t> samples(n);
  for (uint32_t i = 0; i < n; ++i) samples[i] = static_cast<int16_t>(12000 * std::sin(2 * 3.14159265358979 * 440 * i / rate));
  std::string list = listFirst ? std::string("LIST\x04\x00\x00\x00INFO", 12) : std::string();
  auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
  std::string fmt = "fmt " + u32(16) + u16(1) + u16(1) + u32(rate) + u32(rate * 2) + u16(2) + u16(16);
  std::string data = "data" + u32(n * 2) + std::string(reinterpret_cast<const char*>(samples.data()), n * 2);
  std::string body = "WAVE" + fmt + list + data;
  std::ofstream f(path, std::ios::binary);
  f << "RIFF" << u32(static_cast<uint32_t>(body.size())) << body;
}

std::string TempDir() {
  char buf[MAX_PATH];
  GetTempPathA(sizeof buf, buf);
  return buf;
}

BOOL CALLBACK FirstVisibleEdit(HWND w, LPARAM out) {
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, "Edit") != 0 || !IsWindowVisible(w)) return TRUE;
  *reinterpret_cast<HWND*>(out) = w;
  return FALSE;
}

void SetEnableDS3D(const DWORD* value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  if (value)
    RegSetValueExA(key, "EnableDS3D", 0, REG_DWORD, reinterpret_cast<const BYTE*>(value), 4);
  else
    RegDeleteValueA(key, "EnableDS3D");
  RegCloseKey(key);
}

void RunAndWait(const std::string& cmd) {
  STARTUPINFOA si{};
    si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = cmd;
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    WaitForSingleObject(pi.hProcess, 20000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}


// The next `seconds` of the recording from frame `from` on, interleaved L R; `during` runs
// as the recording begins.
std::vector<int16_t> Record(const Capture& cap, long long from, double seconds,
                            const std::function<void()>& during = nullptr) {
  if (during) during();
  const long long to = from + static_cast<long long>(seconds * kRate);
  cap.WaitPast(to, static_cast<DWORD>(seconds * 1000) + 10000);
  return cap.Read(from, to);
}

struct Levels {
  double left, right;
};

// RMS of each channel over [from, to) seconds of a 48 kHz stereo recording.
Levels Rms(const std::vector<int16_t>& s, double from, double to) {
  double l = 0, r = 0;
  MeanSquare(s, static_cast<size_t>(from * kRate), static_cast<size_t>(to * kRate), &l, &r);
  return {std::sqrt(l), std::sqrt(r)};
}

class Player : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { splash_ = std::make_unique<SplashOff>(); }
  static void TearDownTestSuite() { splash_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(capture_.Available()) << "run under e2e_capture.sh";
    DWORD one = 1;
    SetEnableDS3D(&one);
  }
  void TearDown() override {
    Close();
    DWORD one = 1;
    SetEnableDS3D(&one);
  }

  void Start() {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string line = std::string("\"") + kExe + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_));
    ASSERT_TRUE(WaitUntil([&] { return (dlg_ = FindVisible("#32770", kTitle)) != nullptr; }, 15000));
  }
  void Close() {
    if (dlg_ && IsWindow(dlg_)) PostMessageA(dlg_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (pi_.hProcess) {
      if (WaitForSingleObject(pi_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
      GetExitCodeProcess(pi_.hProcess, &exitCode_);
      CloseHandle(pi_.hThread);
      CloseHandle(pi_.hProcess);
      pi_ = {};
    }
    dlg_ = nullptr;
  }
  HWND Item(int id) const { return GetDlgItem(dlg_, id); }
  std::string ItemText(int id) const { return Text(Item(id)); }
  bool Checked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  HWND Room() const { return FindWindowExA(dlg_, nullptr, nullptr, "3D Room"); }

  // Chooses a file through the real file dialog opened by the given "Wave" button.
  void ChooseFile(int button, const std::string& path) {
    PostMessageA(Item(button), BM_CLICK, 0, 0);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindVisible("#32770", "Open a Wave file")) != nullptr; }));
    HWND edit = nullptr;
    // The file name edit: the first visible edit among the box's descendants.
    ASSERT_TRUE(WaitUntil([&] {
      EnumChildWindows(box, &FirstVisibleEdit, reinterpret_cast<LPARAM>(&edit));
      return edit != nullptr;
    }));
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }));
  }

  // The text of the player's message box, closed after reading; empty when none came.
  std::string TakeMessage(DWORD ms = 5000) {
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = FindVisible("#32770", "Trivox Player")) != nullptr; }, ms)) return "";
    std::string text = Text(GetDlgItem(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(box); });
    return text;
  }

  // A start with a piece missing shows its one box, once, before the dialog; the dialog then
  // runs on without the engine (the ticks move the source on) and closes without a crash.
  void StartsWithOneWarningAndRunsOn(const char* message) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string line = std::string("\"") + kExe + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_));
    EXPECT_EQ(TakeMessage(15000), message);
    EXPECT_TRUE(WaitUntil([&] { return (dlg_ = FindVisible("#32770", kTitle)) != nullptr; }));
    EXPECT_EQ(TakeMessage(0), "") << "once: start-up boxes come before the dialog shows";
    SendMessageA(Item(1010), BM_CLICK, 0, 0);
    // Two ticks put z past 0.1.
    EXPECT_TRUE(WaitUntil([&] { return std::atof(ItemText(1005).c_str()) > 0.1; }));
    Close();
    EXPECT_EQ(exitCode_, 0u) << "closes without a crash";
  }

  // The control panel started on a machine it finds unfit shows its hardware warning, and
  // ends when the warning is closed.
  static void PanelWarnsAndEnds() {
    const RegistryGuard warning(HKEY_LOCAL_MACHINE, kInstallKey, {"DisableDriverWarning"});
    DeleteValue(HKEY_LOCAL_MACHINE, kInstallKey, "DisableDriverWarning");
    Process panel = Process::Start();
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindVisible("#32770", kWarningTitle)) != nullptr; }, 15000));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(panel.WaitExit(10000));
  }

  // Waits for the tone in the recording after now; where it begins.
  long long HeardFromNow() const { return capture_.WaitForSound(capture_.Now()); }

  PROCESS_INFORMATION pi_{};
  HWND dlg_ = nullptr;
  DWORD exitCode_ = 0;
  Capture capture_;
  static std::unique_ptr<SplashOff> splash_;
};

std::unique_ptr<SplashOff> Player::splash_;

TEST_F(Player, StartsWithBothSourcesAtTheSidesAndPlayDisabled) {
  Start();
  EXPECT_EQ(ItemText(1001), "-2.00");
  EXPECT_EQ(ItemText(1003), "0.00");
  EXPECT_EQ(ItemText(1005), "0.00");
  EXPECT_EQ(ItemText(1002), "2.00");
  EXPECT_EQ(ItemText(1004), "0.00");
  EXPECT_EQ(ItemText(1012), "0.00");
  EXPECT_FALSE(IsWindowEnabled(Item(1009)));
  EXPECT_FALSE(IsWindowEnabled(Item(1025)));
  EXPECT_TRUE(Checked(1008));
  EXPECT_TRUE(Checked(1028));
  for (int id : {1007, 1008, 1027, 1028, 1029}) EXPECT_TRUE(IsWindowVisible(Item(id))) << id;
  EXPECT_FALSE(IsWindowEnabled(Item(1027)));
  EXPECT_EQ(SendMessageA(Item(1014), CB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(Item(1021), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageA(Item(1019), TBM_GETPOS, 0, 0), 0);
  ASSERT_NE(Room(), nullptr);
  // Start-up boxes come before the dialog shows.
  EXPECT_EQ(TakeMessage(0), "") << "both devices start";
}

TEST_F(Player, WithoutEnableDS3DTheEngineButtonsGoAndTheDialogIs24Shorter) {
  Start();
  RECT full;
  GetWindowRect(dlg_, &full);
  Close();
  for (int variant = 0; variant < 2; ++variant) {
    DWORD two = 2;
    SetEnableDS3D(variant == 0 ? nullptr : &two);
    Start();
    RECT r;
    GetWindowRect(dlg_, &r);
    EXPECT_EQ(r.bottom - r.top, full.bottom - full.top - 24) << variant;
    for (int id : {1007, 1008, 1027, 1028, 1029}) EXPECT_FALSE(IsWindowVisible(Item(id))) << id;
    Close();
  }
}

TEST_F(Player, ChosenFileStartsBlueAndIsListedForBoth) {
  std::string path = TempDir() + "e2e blue.wav";
  WriteWave(path, false);
  Start();
  const long long from = capture_.Now();
  ChooseFile(1030, path);
  ASSERT_TRUE(WaitUntil([&] { return Checked(1009); }));
  EXPECT_TRUE(IsWindowEnabled(Item(1009)));
  EXPECT_TRUE(IsWindowEnabled(Item(1025)));
  EXPECT_FALSE(Checked(1025)) << "Red does not start";
  EXPECT_EQ(ItemText(1013), "e2e blue.wav");
  EXPECT_EQ(ItemText(1026), "e2e blue.wav");
  EXPECT_GE(capture_.WaitForSound(from), 0) << "Blue does not sound";
  EXPECT_EQ(TakeMessage(0), "");
  // The same path again adds nothing.
  ChooseFile(1031, path);
  ASSERT_TRUE(WaitUntil([&] { return Checked(1025); }));
  EXPECT_EQ(SendMessageA(Item(1013), CB_GETCOUNT, 0, 0), 1);
  // Switching engines while playing raises no message and keeps the play state.
  SendMessageA(Item(1007), BM_CLICK, 0, 0);
  EXPECT_TRUE(Checked(1007));
  EXPECT_TRUE(Checked(1009));
  // A box of the switch would have come before the click returned.
  EXPECT_EQ(TakeMessage(0), "");
}

TEST_F(Player, TheSampleSoundsBesideItLoadWithoutAMessage) {
  Start();
  for (const char* name : {"Rotor", "Engine", "Bee", "Bells", "Drums"}) {
    ChooseFile(1030, std::string(kSounds) + name + ".wav");
    EXPECT_TRUE(WaitUntil([&] { return ItemText(1013) == std::string(name) + ".wav"; })) << name;
    EXPECT_EQ(TakeMessage(300), "") << name;
  }
  EXPECT_TRUE(Checked(1009));
}

TEST_F(Player, ListChunkBeforeTheDataShowsTheLoadFailureWithTheFullPath) {
  std::string path = TempDir() + "e2e list.wav";
  WriteWave(path, true);
  Start();
  ChooseFile(1030, path);
  EXPECT_EQ(TakeMessage(), "Failed to load \\\"" + path + "\\\".");
  EXPECT_TRUE(Checked(1009)) << "the play button stays checked";
  EXPECT_TRUE(IsWindow(dlg_));
}

TEST_F(Player, ClockwiseFollowsTheCircleAndRefusesDrags) {
  Start();
  SendMessageA(Item(1010), BM_CLICK, 0, 0);
  ASSERT_TRUE(Checked(1010));
  // The source leaves its start at the first tick.
  ASSERT_TRUE(WaitUntil([&] { return ItemText(1001) != "-2.00"; }, 2000));
  std::vector<double> xs;
  double lastZ = 0;
  int mismatches = 0;
  // Every point read until the source has come a sixth of the way round, past x = -1.
  EXPECT_TRUE(WaitUntil([&] {
    // Read x again after z: a tick between the reads would mix two points.
    std::string x1 = ItemText(1001), zText = ItemText(1005), x2 = ItemText(1001), z2 = ItemText(1005);
    EXPECT_EQ(ItemText(1003), "0.00");
    if (x1 != x2 || zText != z2) return false;
    double x = std::atof(x1.c_str()), z = std::atof(zText.c_str());
    // Two decimals on both axes: the radius holds to about 0.01.
    if (std::fabs(std::hypot(x, z) - 1.98) > 0.011) {
      ++mismatches;
      ADD_FAILURE() << "off the circle: " << x1 << ", " << zText;
    }
    if (xs.empty() || x != xs.back()) xs.push_back(x);
    lastZ = z;
    return xs.size() > 10 && x > -1.0;
  }, 15000));
  EXPECT_EQ(mismatches, 0);
  ASSERT_GT(xs.size(), 10u);
  EXPECT_GT(xs.back(), xs.front()) << "from the left";
  EXPECT_GT(lastZ, 0.0) << "toward the front";

  // The room view refuses a drag while a source moves.
  HWND room = Room();
  RECT rc;
  GetClientRect(room, &rc);
  std::string redX = ItemText(1002);
  int rx = rc.right / 2 + rc.right / 3, ry = rc.bottom / 2;  // Red's dot at x = 2
  SendMessageA(room, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rx, ry));
  SendMessageA(room, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(rx - 40, ry - 40));
  SendMessageA(room, WM_LBUTTONUP, 0, MAKELPARAM(rx - 40, ry - 40));
  EXPECT_EQ(ItemText(1002), redX);

  // With the motion off the same drag moves Red.
  SendMessageA(Item(1010), BM_CLICK, 0, 0);
  ASSERT_FALSE(Checked(1010));
  SendMessageA(room, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rx, ry));
  SendMessageA(room, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(rc.right, 0));
  SendMessageA(room, WM_LBUTTONUP, 0, MAKELPARAM(rc.right, 0));
  EXPECT_EQ(ItemText(1002), "3.00");
  EXPECT_EQ(ItemText(1012), "3.00");
}

TEST_F(Player, HeightSliderSetsY) {
  Start();
  SendMessageA(Item(1019), TBM_SETPOS, TRUE, 150);
  SendMessageA(dlg_, WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 150), reinterpret_cast<LPARAM>(Item(1019)));
  EXPECT_EQ(ItemText(1003), "-1.50");
  SendMessageA(Item(1018), TBM_SETPOS, TRUE, -300);
  SendMessageA(dlg_, WM_VSCROLL, MAKEWPARAM(TB_THUMBPOSITION, -300), reinterpret_cast<LPARAM>(Item(1018)));
  EXPECT_EQ(ItemText(1004), "3.00");
}


TEST_F(Player, BlueAtTheLeftSoundsLeftOnBothEnginesAndAcrossASwitch) {
  std::string path = TempDir() + "e2e tone.wav";
  WriteWave(path, false);
  Start();
  ChooseFile(1030, path);
  ASSERT_TRUE(WaitUntil([&] { return Checked(1009); }));
  long long at = HeardFromNow();
  ASSERT_GE(at, 0) << "no sound";
  Levels t = Rms(Record(capture_, at, 1.5), 0.3, 1.4);
  std::printf("Trivox, Blue at x = -2: left %.0f right %.0f RMS\n", t.left, t.right);
  EXPECT_GT(t.left, 300.0) << "it sounds";
  // The head model's level difference at 440 Hz is a few dB (measured about 5).
  EXPECT_GT(t.left, 1.4 * t.right);

  SendMessageA(Item(1007), BM_CLICK, 0, 0);  // DS3D while playing
  ASSERT_GE(at = HeardFromNow(), 0) << "no sound on DS3D";
  Levels d = Rms(Record(capture_, at, 1.5), 0.3, 1.4);
  std::printf("DS3D, Blue at x = -2: left %.0f right %.0f RMS\n", d.left, d.right);
  EXPECT_GT(d.left, 300.0);
  EXPECT_GT(d.left, 2.0 * d.right);

  SendMessageA(Item(1008), BM_CLICK, 0, 0);  // and back
  ASSERT_GE(at = HeardFromNow(), 0) << "no sound on Trivox again";
  Levels b = Rms(Record(capture_, at, 1.5), 0.3, 1.4);
  std::printf("Trivox again: left %.0f right %.0f RMS\n", b.left, b.right);
  EXPECT_GT(b.left, 1.4 * b.right);
  EXPECT_GT(b.left, 300.0);
}

TEST_F(Player, ClockwiseSwingsTheBalanceWithAPeriodOfAbout6Point6Seconds) {
  std::string path = TempDir() + "e2e tone.wav";
  WriteWave(path, false);
  Start();
  ChooseFile(1030, path);
  ASSERT_TRUE(WaitUntil([&] { return Checked(1009); }));
  SendMessageA(Item(1007), BM_CLICK, 0, 0);  // DS3D: plain level panning
  ASSERT_GE(HeardFromNow(), 0) << "no sound";
  std::vector<int16_t> rec = Record(capture_, capture_.Now(), 11.0, [&] { SendMessageA(Item(1010), BM_CLICK, 0, 0); });
  ASSERT_GT(rec.size(), size_t{kRate} * 2 * 10);
  // Balance (L - R) / (L + R) in 100 ms steps, then the lag of its best self-match.
  std::vector<double> bal;
  for (double t = 0.5; t + 0.1 <= 10.5; t += 0.1) {
    Levels l = Rms(rec, t, t + 0.1);
    bal.push_back(l.left + l.right > 1 ? (l.left - l.right) / (l.left + l.right) : 0.0);
  }
  double mean = 0, lo = 1, hi = -1;
  for (double v : bal) {
    mean += v / bal.size();
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  std::printf("balance from %.2f to %.2f\n", lo, hi);
  EXPECT_GT(hi, 0.5) << "fully left at times";
  EXPECT_LT(lo, -0.5) << "fully right at times";
  size_t bestLag = 0;
  double best = -1e9;
  for (size_t lag = 40; lag <= 90 && lag < bal.size(); ++lag) {
    double c = 0;
    for (size_t i = 0; i + lag < bal.size(); ++i) c += (bal[i] - mean) * (bal[i + lag] - mean);
    c /= double(bal.size() - lag);
    if (c > best) {
      best = c;
      bestLag = lag;
    }
  }
  std::printf("balance period %.1f s\n", bestLag * 0.1);
  EXPECT_NEAR(bestLag * 0.1, 6.6, 0.8);
}

TEST_F(Player, WithoutTheTrivoxObjectOrDirectSoundStartUpWarnsOnceAndRunsOn) {
  const std::string dll = std::string(kProgramDir) + "card\\trivox3d.dll";
  RunAndWait("regsvr32 /s /u \"" + dll + "\"");
  StartsWithOneWarningAndRunsOn("Could not get an Trivox object.");
  RunAndWait("regsvr32 /s \"" + dll + "\"");
  {
    const DllTakenAway dsound("TrivoxPlay.exe", "dsound");
    ASSERT_TRUE(dsound.Set());
    StartsWithOneWarningAndRunsOn("Could not get a DirectSound object.");
  }
  // Wine answers a class whose library does not load by starting its COM surrogate, which
  // stays for ever (and holds the test's output open).
  EndProcesses("dllhost.exe");
}

// With no wave output at all the player says so once and runs on; the control panel shows
// its hardware warning.
TEST_F(Player, WithoutAnyWaveOutputBothProgramsSaySo) {
  const char drivers[] = "Software\\Wine\\Drivers";
  const RegistryGuard audio(HKEY_CURRENT_USER, drivers, {"Audio"});
  ASSERT_TRUE(SetString(HKEY_CURRENT_USER, drivers, "Audio", ""));
  StartsWithOneWarningAndRunsOn("Could not initialize the DirectSound object.");
  PanelWarnsAndEnds();
}

// Without its HRTF sets, or without the card's driver, the Trivox engine still places Blue
// at the left, on the spherical head model or on the headphone path of a machine without
// the card, and its trace says which. Without the driver the control panel warns.
TEST_F(Player, WithoutItsHrtfSetsOrTheCardsDriverTrivoxStillSoundsLeft) {
  const std::string trace = TempDir() + "trivox-missing-trace.txt", path = TempDir() + "e2e tone.wav";
  WriteWave(path, false);
  SetEnvironmentVariableA("TRIVOX_TRACE", trace.c_str());
  struct Unset {
    ~Unset() { SetEnvironmentVariableA("TRIVOX_TRACE", nullptr); }
  } unset;
  auto playBlueAtTheLeft = [&](const char* traced, double louder) {
    DeleteFileA(trace.c_str());
    Start();
    ChooseFile(1030, path);
    ASSERT_TRUE(WaitUntil([&] { return Checked(1009); }));
    const long long at = HeardFromNow();
    ASSERT_GE(at, 0) << "no sound";
    const Levels l = Rms(Record(capture_, at, 1.5), 0.3, 1.4);
    std::printf("%s: left %.0f right %.0f RMS\n", traced, l.left, l.right);
    EXPECT_GT(l.left, 300.0);
    EXPECT_GT(l.left, louder * l.right);
    std::ifstream f(trace);
    const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(traced), std::string::npos) << text;
    Close();
    EXPECT_EQ(exitCode_, 0u);
  };
  {
    const FileAway a(std::string(kProgramDir) + "card\\default-48000.mhr");
    const FileAway b(std::string(kProgramDir) + "card\\default-44100.mhr");
    ASSERT_TRUE(a.Moved() && b.Moved());
    // The sphere shadows little at 440 Hz: about 1.7 dB.
    playBlueAtTheLeft("spherical head model", 1.1);
  }
  {
    const CardDriverStopped stopped;
    ASSERT_TRUE(stopped.Stopped());
    playBlueAtTheLeft("no card", 1.4);
    PanelWarnsAndEnds();
  }
  DeleteFileA(trace.c_str());
}

}  // namespace
