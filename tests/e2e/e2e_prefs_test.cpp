// The Preferences page and the About box, driven through their real windows, with the
// virtual card read back through its control device.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <string>
#include <vector>

#include "E2eSupport.h"
#include "shared/card/CardClient.h"

using namespace e2e;

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "ResonixTrivoxControl";
const char kInstallSettings[] = "Software\\Orvane\\Zephra\\InstallSettings";
const char kSetupKey[] = "Software\\Meridal\\Resonix Trivox\\setup";

enum : int {
  kTaskBar = 1001,
  kToolTips = 1009,
  kEqGroup = 1169,
  kEqEnable = 1164,
  kEqLabel = 1168,
  kEqInput = 1166,
  kDisableDsHwBuf = 1157,
  kAboutRelease = 1106,
  kAboutVersion = 1105,
  kAboutBoard = 1076,
  kAboutCopyright = 1075,
  kIdmAbout = 16,
};

class Prefs : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAll();
    ASSERT_TRUE(card_.Open()) << "virtual card missing";
    ASSERT_TRUE(card_.GetStatus(saved_));
    kv22::CardConfig cfg = saved_.config;
    kv22::DefaultConfig(cfg);  // a capable board with the equaliser, nothing failing
    ASSERT_TRUE(card_.SetConfig(cfg));
    ASSERT_TRUE(card_.ResetState());
  }
  void TearDown() override {
    EndAll();
    EXPECT_TRUE(card_.SetConfig(saved_.config));
  }

  void Configure(const std::function<void(kv22::CardConfig&)>& change) { ASSERT_TRUE(ConfigureCard(card_, change)); }
  kv22::CardState State() { return CardStateOf(card_); }

  // Waits until the card has counted `count` more polls of the equaliser; the time between
  // the last two of them goes to *period.
  bool WaitForPolls(uint32_t count, DWORD timeoutMs, DWORD* period = nullptr) {
    const uint32_t start = State().eqStatusCalls;
    uint32_t seen = start;
    DWORD last = 0;
    return WaitUntil([&] {
      const uint32_t n = State().eqStatusCalls;
      if (n != seen) {
        const DWORD now = GetTickCount();
        if (period && last && n == seen + 1) *period = now - last;
        seen = n;
        last = now;
      }
      return n >= start + count;
    }, timeoutMs);
  }
  // True when the card counts no poll for `ms`.
  bool NoPollFor(DWORD ms) {
    const uint32_t at = State().eqStatusCalls;
    return !WaitUntil([&] { return State().eqStatusCalls != at; }, ms);
  }

  std::vector<kv22::LogEntry> WaveLog() {
    std::vector<kv22::LogEntry> all, wave;
    EXPECT_TRUE(card_.ReadLog(all));
    for (const auto& e : all)
      if (e.device == kv22::kDevWave) wave.push_back(e);
    return wave;
  }

  // A copy started with the tray icon off opens its sheet at once.
  static Process StartWithSheet() {
    EXPECT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0));
    return Process::Start();
  }
  HWND OpenPrefs() { return ShowPrefsPage(WaitForSheet()); }

  HWND ShowPrefsPage(HWND sheet) {
    if (!sheet) return nullptr;
    sheet_ = sheet;
    SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(IsNT() ? 1 : 3), 0);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    return page && GetDlgItem(page, kTaskBar) ? page : nullptr;
  }

  static bool Checked(HWND page, int id) { return SendMessageA(GetDlgItem(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  static bool Visible(HWND page, int id) { return IsWindowVisible(GetDlgItem(page, id)) != FALSE; }
  static bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)) != FALSE; }
  static int Selected(HWND page) { return static_cast<int>(SendMessageA(GetDlgItem(page, kEqInput), CB_GETCURSEL, 0, 0)); }
  static void Click(HWND page, int id) { SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0); }
  static void Select(HWND page, int position) {
    HWND combo = GetDlgItem(page, kEqInput);
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kEqInput, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  }
  bool AllEqEnabled(HWND page, bool enabled) {
    for (int id : {kEqGroup, kEqEnable, kEqLabel, kEqInput})
      if (Enabled(page, id) != enabled) return false;
    return true;
  }

  // The About box of the resident copy, opened from its tray menu command.
  static HWND OpenAbout() {
    PostMessageA(FindFrame(), WM_COMMAND, MAKEWPARAM(kIdmAbout, 0), 0);
    HWND about = nullptr;
    WaitUntil([&] {
      for (HWND w : FindAllVisible("#32770", "Resonix Trivox"))
        if (GetDlgItem(w, kAboutBoard)) about = w;
      return about != nullptr;
    });
    return about;
  }
  static void CloseAbout(HWND about) {
    PostMessageA(about, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    WaitUntil([&] { return !IsWindowVisible(about); }, 5000);
  }

  kv22::CardClient card_;
  kv22::CardStatus saved_{};
  HWND sheet_ = nullptr;
  RegistryGuard prefs_{HKEY_CURRENT_USER, kPrefsKey, {"TaskBarIconEnable", "ToolTipsEnable", "PROPSHEET_PAGE"}};
  RegistryGuard run_{HKEY_LOCAL_MACHINE, kRunKey, {kRunValue}};
  RegistryGuard settings_{HKEY_LOCAL_MACHINE, kInstallSettings, {"DisableDsHwBuf"}};
  RegistryGuard setup_{HKEY_LOCAL_MACHINE, kSetupKey, {"SoftwareVersion", "SoftwareUpdatedToVersion"}};
};

// ---- DirectSound hardware acceleration

TEST_F(Prefs, AccelerationBoxSendsTheFlagAndStoresItOnlyOnSuccess) {
  Process p = StartWithSheet();
  HWND page = OpenPrefs();
  ASSERT_NE(page, nullptr);
  if (IsNT()) {
    EXPECT_FALSE(Visible(page, kDisableDsHwBuf));
    EXPECT_TRUE(WaveLog().empty()) << "no wave device on NT";
    return;
  }
  DeleteValue(HKEY_LOCAL_MACHINE, kInstallSettings, "DisableDsHwBuf");
  ASSERT_TRUE(Visible(page, kDisableDsHwBuf));
  ASSERT_FALSE(Checked(page, kDisableDsHwBuf));
  ASSERT_TRUE(card_.ClearLog());

  Click(page, kDisableDsHwBuf);
  EXPECT_TRUE(Checked(page, kDisableDsHwBuf));
  auto log = WaveLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].code, uint32_t(kv22::kSetDisableDsHwBuf));
  EXPECT_EQ(log[0].inLength, 4u);
  EXPECT_EQ(log[0].in[0], 1);
  EXPECT_EQ(log[0].status, uint32_t(kv22::kOk));
  EXPECT_EQ(State().disableDsHwBuf, 1u);
  std::string data;
  DWORD type = 0;
  ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kInstallSettings, "DisableDsHwBuf", &data, &type));
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(data, std::string("\1\0\0\0", 4));

  // A failing request puts the box back and stores nothing.
  Configure([](kv22::CardConfig& c) {
    c.failCount = 1;
    c.fail[0] = kv22::FailRule{1, kv22::kAllDevices};
  });
  ASSERT_TRUE(card_.ClearLog());
  Click(page, kDisableDsHwBuf);
  EXPECT_TRUE(Checked(page, kDisableDsHwBuf)) << "reverted";
  log = WaveLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].in[0], 0) << "the new flag was sent";
  EXPECT_NE(log[0].status, uint32_t(kv22::kOk));
  EXPECT_EQ(State().disableDsHwBuf, 1u);
  ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kInstallSettings, "DisableDsHwBuf", &data, &type));
  EXPECT_EQ(data, std::string("\1\0\0\0", 4)) << "nothing written on failure";
  CloseSheet(sheet_, IDCANCEL);
  EXPECT_TRUE(p.WaitExit(10000));
}

TEST_F(Prefs, AccelerationBoxOpensAsTheCardHasIt) {
  if (IsNT()) GTEST_SKIP() << "hidden on NT (checked above)";
  for (bool set : {true, false}) {
    // Through the page itself: the switch lives in the card between sheets.
    Process p = StartWithSheet();
    HWND page = OpenPrefs();
    ASSERT_NE(page, nullptr);
    if (Checked(page, kDisableDsHwBuf) != set) Click(page, kDisableDsHwBuf);
    ASSERT_EQ(State().disableDsHwBuf, set ? 1u : 0u);
    CloseSheet(sheet_, IDCANCEL);
    ASSERT_TRUE(p.WaitExit(10000));

    Process again = StartWithSheet();
    page = OpenPrefs();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Checked(page, kDisableDsHwBuf), set) << "read back from the wave device";
    CloseSheet(sheet_, IDCANCEL);
    EXPECT_TRUE(again.WaitExit(10000));
  }
}

TEST_F(Prefs, WithoutTheWaveDeviceTheBoxCannotChange) {
  if (IsNT()) GTEST_SKIP() << "hidden on NT";
  DeleteValue(HKEY_LOCAL_MACHINE, kInstallSettings, "DisableDsHwBuf");
  Configure([](kv22::CardConfig& c) { c.deviceMask = kv22::kAllDevices & ~kv22::DeviceBit(kv22::kDevWave); });
  Process p = StartWithSheet();
  HWND page = OpenPrefs();
  ASSERT_NE(page, nullptr);
  EXPECT_FALSE(Checked(page, kDisableDsHwBuf));
  Click(page, kDisableDsHwBuf);
  EXPECT_FALSE(Checked(page, kDisableDsHwBuf)) << "put back";
  EXPECT_TRUE(WaveLog().empty());
  std::string data;
  DWORD type = 0;
  EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kInstallSettings, "DisableDsHwBuf", &data, &type));
  CloseSheet(sheet_, IDCANCEL);
  EXPECT_TRUE(p.WaitExit(10000));
}

// ---- speaker equaliser

TEST_F(Prefs, EqualiserGroupOnlyForBoard2200AndThenWithItsPoll) {
  // Where no poll may run, the count is watched for as long as two and a half polls take
  // on a board that has the equaliser.
  DWORD quiet = 0;
  if (!IsNT()) {
    Configure([](kv22::CardConfig& c) { c.eq.boardId = 0x2200; });
    Process p = StartWithSheet();
    HWND page = OpenPrefs();
    ASSERT_NE(page, nullptr);
    for (int id : {kEqGroup, kEqEnable, kEqLabel, kEqInput}) EXPECT_TRUE(Visible(page, id)) << id;
    EXPECT_EQ(SendMessageA(GetDlgItem(page, kEqInput), CB_GETCOUNT, 0, 0), 4) << "None and three inputs";
    EXPECT_EQ(Selected(page), 0);
    DWORD period = 0;
    EXPECT_TRUE(WaitForPolls(2, 2500, &period)) << "polled twice a second";
    ASSERT_GT(period, 0u);
    quiet = period * 5 / 2;

    // Leaving the page stops the poll; coming back starts it again.
    SendMessageA(sheet_, PSM_SETCURSEL, 0, 0);
    ASSERT_EQ(ActivePage(sheet_), 0);
    EXPECT_TRUE(NoPollFor(quiet));
    ASSERT_NE(ShowPrefsPage(sheet_), nullptr);
    EXPECT_TRUE(WaitForPolls(1, 1500));
    CloseSheet(sheet_, IDCANCEL);
    ASSERT_TRUE(p.WaitExit(10000));
    ASSERT_TRUE(card_.ResetState());
  }
  Configure([](kv22::CardConfig& c) { c.eq.boardId = 0x2100; });
  Process p = StartWithSheet();
  HWND page = OpenPrefs();
  ASSERT_NE(page, nullptr);
  for (int id : {kEqGroup, kEqEnable, kEqLabel, kEqInput}) EXPECT_FALSE(Visible(page, id)) << id;
  if (!IsNT()) {
    EXPECT_TRUE(NoPollFor(quiet)) << "no poll runs";
  }
  EXPECT_EQ(State().eqInits, IsNT() ? 0u : 1u) << "the library is not used on NT";
  CloseSheet(sheet_, IDCANCEL);
  ASSERT_TRUE(p.WaitExit(10000));
  // NT has no poll to time: the library is never set up there, nor asked while the sheet was open.
  if (IsNT()) {
    EXPECT_EQ(State().eqStatusCalls, 0u) << "polled on NT";
  }
}

// Without Kv20DAL.dll the panel still starts, in either shape, and acts as on a board
// without the equaliser.
TEST_F(Prefs, WithoutTheSpeakerLibraryThePanelRunsWithoutTheEqualiser) {
  const FileAway library(std::string(kProgramDir) + "Kv20DAL.dll");
  ASSERT_TRUE(library.Moved());
  Process p = StartWithSheet();
  HWND page = OpenPrefs();
  ASSERT_NE(page, nullptr) << "the panel did not start";
  for (int id : {kEqGroup, kEqEnable, kEqLabel, kEqInput}) EXPECT_FALSE(Visible(page, id)) << id;
  EXPECT_EQ(State().eqInits, 0u);
  CloseSheet(sheet_, IDCANCEL);
  EXPECT_TRUE(p.WaitExit(10000));
}

TEST_F(Prefs, UnavailableBitDisablesTheGroupWithinASecond) {
  if (IsNT()) GTEST_SKIP() << "no equaliser on NT";
  Process p = StartWithSheet();
  HWND page = OpenPrefs();
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(AllEqEnabled(page, true) || !Checked(page, kEqEnable));
  EXPECT_TRUE(Enabled(page, kEqEnable));

  Configure([](kv22::CardConfig& c) { c.eq.flags = kv22::kEqUnavailable; });
  EXPECT_TRUE(WaitUntil([&] { return AllEqEnabled(page, false); }, 1000)) << "disabled within a second";
  Configure([](kv22::CardConfig& c) { c.eq.flags = 0; });
  EXPECT_TRUE(WaitUntil([&] { return Enabled(page, kEqEnable) && Enabled(page, kEqGroup); }, 1000));
  // The input list follows the check box again.
  EXPECT_EQ(Enabled(page, kEqInput), Checked(page, kEqEnable));
  CloseSheet(sheet_, IDCANCEL);
  EXPECT_TRUE(p.WaitExit(10000));
}

TEST_F(Prefs, OnOffAndInputGoToTheCardAndARefusalPutsTheListBack) {
  if (IsNT()) GTEST_SKIP() << "no equaliser on NT";
  Configure([](kv22::CardConfig& c) { c.eq.refuseMask = 1u << 2; });  // input 1, list position 2
  Process p = StartWithSheet();
  HWND page = OpenPrefs();
  ASSERT_NE(page, nullptr);
  ASSERT_FALSE(Checked(page, kEqEnable));
  EXPECT_FALSE(Enabled(page, kEqInput));

  Click(page, kEqEnable);
  EXPECT_EQ(State().eqOn, 1u);
  EXPECT_TRUE(Enabled(page, kEqInput));
  EXPECT_TRUE(Enabled(page, kEqLabel));

  Select(page, 1);
  EXPECT_EQ(State().eqInput, 0);
  EXPECT_EQ(Selected(page), 1);
  Select(page, 2);
  EXPECT_EQ(Selected(page), 1) << "refused: back to the accepted input";
  EXPECT_EQ(State().eqInput, 0);
  Select(page, 0);
  EXPECT_EQ(State().eqInput, -1) << "None is -1";

  Click(page, kEqEnable);
  EXPECT_EQ(State().eqOn, 0u);
  EXPECT_FALSE(Enabled(page, kEqInput));
  CloseSheet(sheet_, IDCANCEL);
  ASSERT_TRUE(p.WaitExit(10000));

  // A stored input outside the list opens at "None".
  ASSERT_TRUE(card_.ResetState());
  Configure([](kv22::CardConfig& c) {
    c.eq.refuseMask = 0;
    c.eq.inputCount = 6;
    for (int i = 0; i < 6; ++i) lstrcpyA(c.eq.names[i], ("In " + std::to_string(i)).c_str());
  });
  kv22::EqRequest req{kv22::kEqMaskInput, 0, 5};
  ASSERT_TRUE(card_.EqSetConfig(req));
  Process q = StartWithSheet();
  page = OpenPrefs();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Selected(page), 6);
  CloseSheet(sheet_, IDCANCEL);
  EXPECT_TRUE(q.WaitExit(10000));
}

// ---- tray icon and tooltips

TEST_F(Prefs, UncheckingTheTrayIconDeletesTheRunValueAndEndsWithTheSheet) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 1));
  ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, "C:\\old.exe"));
  Process resident = StartResident();
  ASSERT_TRUE(WaitUntil([] { return TrayIcon() != nullptr; })) << "no tray icon";
  Process opener = Process::Start();
  EXPECT_TRUE(opener.WaitExit(10000));
  HWND page = ShowPrefsPage(WaitForSheet());
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(Checked(page, kTaskBar));

  Click(page, kTaskBar);
  std::string data;
  DWORD type = 0;
  EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &data, &type));
  ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", &data, &type));
  EXPECT_EQ(data, std::string("\0\0\0\0", 4));
  EXPECT_TRUE(WaitUntil([] { return TrayIcon() == nullptr; }, 5000)) << "icon removed";
  EXPECT_TRUE(resident.Running());
  CloseSheet(sheet_, IDOK);
  EXPECT_TRUE(resident.WaitExit(10000)) << "ends when the sheet closes";
}

TEST_F(Prefs, CheckingTheTrayIconWritesTheRunCommandAndStays) {
  DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
  Process p = StartWithSheet();
  HWND page = OpenPrefs();
  ASSERT_NE(page, nullptr);
  ASSERT_FALSE(Checked(page, kTaskBar));
  Click(page, kTaskBar);
  std::string data;
  DWORD type = 0;
  ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kRunValue, &data, &type));
  EXPECT_EQ(type, DWORD(REG_SZ));
  char expected[MAX_PATH] = {};
  GetShortPathNameA("C:\\Program Files\\Resonix Trivox\\", expected, sizeof expected);
  EXPECT_EQ(std::string(data.c_str()), std::string(expected) + "ZephraCtrl.exe");
  ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", &data, &type));
  EXPECT_EQ(data, std::string("\1\0\0\0", 4));
  EXPECT_TRUE(WaitUntil([] { return TrayIcon() != nullptr; }, 5000)) << "icon added";
  CloseSheet(sheet_, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(sheet_); }));
  // What follows the sheet's end has run once the frame takes messages again.
  EXPECT_TRUE(Settled(FindFrame())) << "stays resident";
  EXPECT_TRUE(p.Running());
  EXPECT_NE(TrayIcon(), nullptr) << "with its icon";
}

TEST_F(Prefs, TooltipsBoxStoresTheSwitch) {
  Process p = StartWithSheet();
  HWND page = OpenPrefs();
  ASSERT_NE(page, nullptr);
  const bool was = Checked(page, kToolTips);
  Click(page, kToolTips);
  std::string data;
  DWORD type = 0;
  ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, kPrefsKey, "ToolTipsEnable", &data, &type));
  EXPECT_EQ(data[0], was ? 0 : 1);
  CloseSheet(sheet_, IDCANCEL);
  EXPECT_TRUE(p.WaitExit(10000));
}

// ---- About box

TEST_F(Prefs, AboutShowsTheVersionAndTheRelease) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 1));
  DeleteValue(HKEY_LOCAL_MACHINE, kSetupKey, "SoftwareUpdatedToVersion");
  DeleteValue(HKEY_LOCAL_MACHINE, kSetupKey, "SoftwareVersion");
  Process resident = StartResident();
  struct Case {
    const char* updated;
    const char* version;
    const char* shown;
  } cases[] = {{nullptr, nullptr, "Improper Installation"},
               {nullptr, "1.07.01", "1.07.01"},
               {"2.0", "1.07.01", "2.0"},
               {"12345678901234567890", "1.5", "1.5"},  // 21 bytes with the zero: missing
               {nullptr, "12345678901234567890", "Improper Installation"}};
  for (const auto& c : cases) {
    DeleteValue(HKEY_LOCAL_MACHINE, kSetupKey, "SoftwareUpdatedToVersion");
    DeleteValue(HKEY_LOCAL_MACHINE, kSetupKey, "SoftwareVersion");
    if (c.updated) {
      ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kSetupKey, "SoftwareUpdatedToVersion", c.updated));
    }
    if (c.version) {
      ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kSetupKey, "SoftwareVersion", c.version));
    }
    HWND about = OpenAbout();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(Text(GetDlgItem(about, kAboutRelease)), c.shown);
    EXPECT_EQ(Text(GetDlgItem(about, kAboutVersion)), "1.07.01");
    EXPECT_NE(Text(GetDlgItem(about, kAboutCopyright)), "Copywrite string");
    CloseAbout(about);
  }
}

TEST_F(Prefs, AboutBoardIdComesFromTheFrameOrItsOwnLibraryObject) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 1));
  Configure([](kv22::CardConfig& c) { c.eq.boardId = 0x21ab; });
  Process resident = StartResident();
  HWND about = OpenAbout();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Text(GetDlgItem(about, kAboutBoard)), IsNT() ? "Unavailable" : "21ab");
  CloseAbout(about);
  if (IsNT()) {
    EXPECT_EQ(State().eqInits, 0u) << "the library is not used on NT";
    return;
  }

  Configure([](kv22::CardConfig& c) { c.eq.flags = kv22::kEqInitFails; });
  about = OpenAbout();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Text(GetDlgItem(about, kAboutBoard)), "Unknown");
  CloseAbout(about);

  // Once the Preferences page has run, the frame's id is shown even when the library fails.
  Configure([](kv22::CardConfig& c) {
    c.eq.flags = 0;
    c.eq.boardId = 0x2200;
  });
  Process opener = Process::Start();
  EXPECT_TRUE(opener.WaitExit(10000));
  ASSERT_NE(ShowPrefsPage(WaitForSheet()), nullptr);
  CloseSheet(sheet_, IDCANCEL);
  ASSERT_TRUE(WaitUntil([] { return FindVisible("#32770", "Resonix Trivox") == nullptr; }));
  Configure([](kv22::CardConfig& c) { c.eq.flags = kv22::kEqInitFails; });
  about = OpenAbout();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Text(GetDlgItem(about, kAboutBoard)), "2200");
  CloseAbout(about);
}

}  // namespace
