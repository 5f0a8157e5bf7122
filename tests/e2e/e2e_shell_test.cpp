// The control panel's start-up, tray and sheet, driven through its real windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "E2eSupport.h"

using namespace e2e;

namespace {

// A window of the test in front, so that a program's own window coming to the front shows;
// null when it did not get there.
HWND TakeTheFront();

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAll();
    ASSERT_TRUE(SetCardDevices(kAllDevices, &devices_)) << "virtual card missing";
  }
  void TearDown() override {
    EndAll();
    SetCardDevices(devices_);
  }
  // Starts a copy that opens its sheet at once, notes where the sheet stands and which page
  // is active, and closes it again.
  struct SheetSeen {
    RECT rect{};
    int page = -1;
  };
  static SheetSeen OpenAndCloseSheet() {
    SheetSeen seen;
    Process p = Process::Start();
    HWND sheet = WaitForSheet();
    EXPECT_NE(sheet, nullptr);
    if (!sheet) return seen;
    GetWindowRect(sheet, &seen.rect);
    seen.page = ActivePage(sheet);
    CloseSheet(sheet, IDCANCEL);
    EXPECT_TRUE(p.WaitExit(10000));
    return seen;
  }

  DWORD devices_ = kAllDevices;
  RegistryGuard prefs_{HKEY_CURRENT_USER, kPrefsKey,
                       {"TaskBarIconEnable", "SysKeyEnable", "PROPSHEET_LEFT", "PROPSHEET_TOP", "PROPSHEET_PAGE",
                        "ToolTipsEnable"}};
  RegistryGuard install_{HKEY_LOCAL_MACHINE, kInstallKey, {"DisableDriverWarning"}};
};

TEST_F(Shell, SecondStartHandsOverAndEnds) {
  Process first = StartResident();
  HWND frame = FindFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_FALSE(IsWindowVisible(frame));  // the frame is never shown
  // A sheet of its start would be up once the icon is and the frame takes messages.
  ASSERT_TRUE(WaitUntil([] { return TrayIcon() != nullptr; })) << "no tray icon";
  ASSERT_TRUE(Settled(frame));
  EXPECT_EQ(WaitForSheet(0), nullptr);

  Process second = Process::Start();
  EXPECT_TRUE(second.WaitExit(10000));
  HWND sheet = WaitForSheet();
  ASSERT_NE(sheet, nullptr) << "the first copy opens its sheet";
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(FindFrame(), frame);

  HWND focus = TakeTheFront();
  ASSERT_NE(focus, nullptr);
  Process third = Process::Start();  // a sheet already open only comes to the front
  EXPECT_TRUE(third.WaitExit(10000));
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == sheet; })) << "the sheet did not come to the front";
  EXPECT_EQ(FindAllVisible("#32770", kSheetTitle).size(), 1u);
  DestroyWindow(focus);
}

// A double click that starts the program twice: both copies are let go in the same moment.
// One stays resident with one tray icon, and the other hands its start over, which opens
// the sheet. ZEPHRA_START_ROUNDS sets the number of rounds (a few by default).
TEST_F(Shell, TwoStartsAtOnceLeaveOneResidentThatOpensTheSheet) {
  const char* asked = std::getenv("ZEPHRA_START_ROUNDS");
  const int rounds = asked ? std::max(1, std::atoi(asked)) : 3;
  int good = 0;
  for (int round = 0; round < rounds; ++round) {
    Process a = Process::Start("", true), b = Process::Start("", true);
    ASSERT_TRUE(a.Pid() && b.Pid());
    ASSERT_TRUE(a.Resume() && b.Resume());
    const bool oneEnded = WaitUntil([&] { return !a.Running() || !b.Running(); });
    EXPECT_TRUE(oneEnded) << "round " << round << ": both copies stayed";
    const bool oneStays = a.Running() != b.Running();
    EXPECT_TRUE(oneStays) << "round " << round << ": not exactly one copy stayed";
    const HWND sheet = WaitForSheet();
    EXPECT_NE(sheet, nullptr) << "round " << round << ": the second start was not handed over";
    WaitUntil([] { return TrayIconCount() > 0; });
    const int icons = Settled(FindFrame()) ? TrayIconCount() : -1;
    EXPECT_EQ(icons, 1) << "round " << round;
    EXPECT_EQ(FindAllVisible("#32770", kSheetTitle).size(), 1u) << "round " << round;
    if (oneEnded && oneStays && sheet && icons == 1) ++good;
    EndAll();
    WaitUntil([] { return TrayIconCount() == 0; });
  }
  std::printf("two starts at once: %d of %d rounds with one resident copy that opened its sheet\n", good, rounds);
}

TEST_F(Shell, SlashUInAnyCaseAnywhereEndsTheRunningCopy) {
  for (const char* args : {"/U", "x /u y"}) {
    Process resident = StartResident();
    ASSERT_NE(FindFrame(), nullptr);
    Process ender = Process::Start(args);
    EXPECT_TRUE(ender.WaitExit(10000)) << args;
    EXPECT_TRUE(resident.WaitExit(10000)) << args;
    EXPECT_EQ(FindFrame(), nullptr) << args;
  }
}

TEST_F(Shell, SlashUWithNoCopyRunningEndsAtOnceShowingNothing) {
  Process p = Process::Start("/u");
  EXPECT_TRUE(p.WaitExit(10000));
  EXPECT_EQ(FindVisible(nullptr, kSheetTitle), nullptr);
  EXPECT_EQ(FindVisible(nullptr, kWarningTitle), nullptr);
  EXPECT_EQ(FindFrame(), nullptr);
}

TEST_F(Shell, SlashUWhileTheSheetIsOpenClosesItAndEnds) {
  Process resident = StartResident();
  Process opener = Process::Start();
  ASSERT_NE(WaitForSheet(), nullptr);
  Process ender = Process::Start("/U");
  EXPECT_TRUE(ender.WaitExit(10000));
  EXPECT_TRUE(resident.WaitExit(10000));
  EXPECT_EQ(FindVisible("#32770", kSheetTitle), nullptr);
}

// Wine's RegSetValueExA counts a REG_SZ's terminating zero in when the caller left it out
// but it follows in memory, so 4 bytes of "TRUE" read back as 5. What a 4-byte write of the
// text comes back as here, through a scratch value.
std::string StoredAsWineStores(const char* text, DWORD size) {
  HKEY k;
  std::string data;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ZephraE2eScratch", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                      nullptr) != ERROR_SUCCESS)
    return data;
  RegSetValueExA(k, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size);
  RegCloseKey(k);
  DWORD type;
  ReadValue(HKEY_CURRENT_USER, "Software\\ZephraE2eScratch", "v", &data, &type);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\ZephraE2eScratch");
  return data;
}

TEST_F(Shell, MissingCardWarnsAndTheTickSilencesIt) {
  DeleteValue(HKEY_LOCAL_MACHINE, kInstallKey, "DisableDriverWarning");
  ASSERT_TRUE(SetCardDevices(0));

  // Closed with Escape: nothing is stored.
  {
    Process p = Process::Start();
    HWND warning = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (warning = FindVisible("#32770", kWarningTitle)) != nullptr; }));
    PostMessageA(warning, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_TRUE(p.WaitExit(10000));
    std::string data;
    DWORD type;
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kInstallKey, "DisableDriverWarning", &data, &type));
  }
  // Ticked and OK: "TRUE" without its zero.
  {
    Process p = Process::Start();
    HWND warning = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (warning = FindVisible("#32770", kWarningTitle)) != nullptr; }));
    EXPECT_EQ(FindFrame(), nullptr);
    SendMessageA(GetDlgItem(warning, 1123), BM_CLICK, 0, 0);
    PostMessageA(GetDlgItem(warning, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(p.WaitExit(10000));
    std::string data;
    DWORD type = 0;
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, kInstallKey, "DisableDriverWarning", &data, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, StoredAsWineStores("TRUE", 4)) << data.size() << " bytes";
  }
  // From now on, and with any short content, the program ends silently.
  for (const char* content : {"TRUE", "FALSE", ""}) {
    ASSERT_TRUE(SetString(HKEY_LOCAL_MACHINE, kInstallKey, "DisableDriverWarning", content));
    Process p = Process::Start();
    EXPECT_TRUE(p.WaitExit(10000)) << content;
    EXPECT_EQ(FindVisible(nullptr, kWarningTitle), nullptr) << content;
  }
}

TEST_F(Shell, MissingCardWithSlashUEndsWithoutTheWarning) {
  DeleteValue(HKEY_LOCAL_MACHINE, kInstallKey, "DisableDriverWarning");
  ASSERT_TRUE(SetCardDevices(0));
  Process p = Process::Start("/U");
  EXPECT_TRUE(p.WaitExit(10000));
  EXPECT_EQ(FindVisible(nullptr, kWarningTitle), nullptr);
}

TEST_F(Shell, TrayIconOffOpensTheSheetAndClosingItEnds) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0));
  for (int button : {IDCANCEL, IDOK}) {
    Process p = Process::Start();
    HWND sheet = WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(TrayIcon(), nullptr) << "no tray icon while it is switched off";
    EXPECT_FALSE(p.WaitExit(0));
    CloseSheet(sheet, button);
    EXPECT_TRUE(p.WaitExit(10000)) << "button " << button;
  }
}

TEST_F(Shell, PagesPerPlatformAndNoApplyButton) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0));
  DeleteValue(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_PAGE");
  Process p = Process::Start();
  HWND sheet = WaitForSheet();
  ASSERT_NE(sheet, nullptr);
  std::vector<std::string> expected = IsNT() ? std::vector<std::string>{"MIDI", "Preferences"}
                                             : std::vector<std::string>{"Config", "Trivox Demos", "MIDI", "Preferences"};
  EXPECT_EQ(ActivePage(sheet), 0);
  EXPECT_EQ(PageCount(sheet), static_cast<int>(expected.size()));
  EXPECT_EQ(TabTexts(sheet), expected);
  HWND apply = GetDlgItem(sheet, 0x3021);
  EXPECT_TRUE(apply == nullptr || !IsWindowVisible(apply));
  EXPECT_NE(GetDlgItem(sheet, IDOK), nullptr);
  CloseSheet(sheet, IDCANCEL);
  EXPECT_TRUE(p.WaitExit(10000));
}

TEST_F(Shell, PositionAndPageAreRestored) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0));
  const int last = IsNT() ? 1 : 2;
  {
    Process p = Process::Start();
    HWND sheet = WaitForSheet();
    ASSERT_NE(sheet, nullptr);
    SetWindowPos(sheet, nullptr, 210, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(last), 0);
    ASSERT_EQ(ActivePage(sheet), last);
    CloseSheet(sheet, IDOK);
    ASSERT_TRUE(p.WaitExit(10000));
  }
  std::string data;
  DWORD type;
  ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_LEFT", &data, &type));
  EXPECT_EQ(*reinterpret_cast<const LONG*>(data.data()), 210);
  ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_TOP", &data, &type));
  EXPECT_EQ(*reinterpret_cast<const LONG*>(data.data()), 160);
  ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_PAGE", &data, &type));
  EXPECT_EQ(*reinterpret_cast<const DWORD*>(data.data()), static_cast<DWORD>(last));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

  const SheetSeen seen = OpenAndCloseSheet();
  EXPECT_EQ(seen.rect.left, 210);
  EXPECT_EQ(seen.rect.top, 160);
  EXPECT_EQ(seen.page, last);
}

TEST_F(Shell, NegativeLeftAndUnknownPageAreIgnored) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0));
  DeleteValue(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_LEFT");
  DeleteValue(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_TOP");
  const LONG defaultLeft = OpenAndCloseSheet().rect.left;
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_LEFT", static_cast<DWORD>(-50)));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_TOP", 120));
  // One past the last page: the NT sheet has two, so 3 there; 9x has four, so 7 there.
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_PAGE", IsNT() ? 3 : 7));
  const SheetSeen seen = OpenAndCloseSheet();
  EXPECT_EQ(seen.rect.left, defaultLeft);
  EXPECT_EQ(seen.rect.top, 120);
  EXPECT_EQ(seen.page, 0);
}

TEST_F(Shell, FarOffScreenPositionAndPage99KeepTheSheetInView) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 0));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_LEFT", 100000));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_TOP", 0x7FFFFFFF));
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "PROPSHEET_PAGE", 99));
  const SheetSeen seen = OpenAndCloseSheet();
  EXPECT_GE(seen.rect.left, 0);
  EXPECT_GE(seen.rect.top, 0);
  EXPECT_LE(seen.rect.right, GetSystemMetrics(SM_CXVIRTUALSCREEN));
  EXPECT_LE(seen.rect.bottom, GetSystemMetrics(SM_CYVIRTUALSCREEN));
  EXPECT_EQ(seen.page, 0);
}

TEST_F(Shell, TrayDoubleClickOpensOneSheetAndRightDoubleClickEnds) {
  Process resident = StartResident();
  HWND icon = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (icon = TrayIcon()) != nullptr; })) << "no tray icon";

  TrayMouse(icon, WM_LBUTTONDOWN, WM_LBUTTONUP, true);
  HWND sheet = WaitForSheet();
  ASSERT_NE(sheet, nullptr);
  HWND focus = TakeTheFront();
  ASSERT_NE(focus, nullptr);
  TrayMouse(icon, WM_LBUTTONDOWN, WM_LBUTTONUP, true);
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == sheet; })) << "the sheet did not come to the front";
  EXPECT_EQ(FindAllVisible("#32770", kSheetTitle).size(), 1u);
  DestroyWindow(focus);
  CloseSheet(sheet, IDCANCEL);
  ASSERT_TRUE(WaitUntil([] { return FindVisible("#32770", kSheetTitle) == nullptr; }));
  EXPECT_TRUE(resident.Running()) << "the tray copy stays after its sheet closes";

  // Only the double-click itself: a button-down first would open the menu.
  PostMessageA(icon, WM_RBUTTONDBLCLK, 0, MAKELPARAM(8, 8));
  EXPECT_TRUE(resident.WaitExit(10000));
  EXPECT_TRUE(WaitUntil([] { return TrayIcon() == nullptr; }, 5000)) << "the icon goes with the program";
}

TEST_F(Shell, RightButtonShowsTheMenuAndExitEnds) {
  Process resident = StartResident();
  HWND icon = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (icon = TrayIcon()) != nullptr; })) << "no tray icon";
  PostMessageA(icon, WM_RBUTTONDOWN, 0, MAKELPARAM(8, 8));
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (menu = FindVisible("#32768", nullptr)) != nullptr; }, 5000)) << "no popup menu";
  DWORD owner = 0;
  GetWindowThreadProcessId(menu, &owner);
  EXPECT_EQ(owner, resident.Pid());
  // Escape leaves the menu and the program stays.
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(menu, WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([] { return FindVisible("#32768", nullptr) == nullptr; }, 3000)) << "menu stays open";
  EXPECT_TRUE(resident.Running());

  // Again, and the last item, "Exit", ends the program.
  PostMessageA(icon, WM_RBUTTONDOWN, 0, MAKELPARAM(8, 8));
  ASSERT_TRUE(WaitUntil([&] { return (menu = FindVisible("#32768", nullptr)) != nullptr; }, 5000)) << "no popup menu";
  PostMessageA(menu, WM_KEYDOWN, VK_UP, 0);  // from no selection up wraps to the last item
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(resident.WaitExit(10000)) << "Exit did not end the program";
  EXPECT_TRUE(WaitUntil([] { return TrayIcon() == nullptr; }, 5000)) << "the icon goes with the program";
}

// A window of the test takes the keyboard so that the hook sees the keys; it counts the
// F12 releases that reach it.
int g_f12Releases = 0;

LRESULT CALLBACK FocusProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if ((msg == WM_SYSKEYUP || msg == WM_KEYUP) && wp == VK_F12) ++g_f12Releases;
  return DefWindowProcA(w, msg, wp, lp);
}

HWND MakeFocusWindow() {
  static ATOM cls = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FocusProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZephraE2eFocus";
    return RegisterClassA(&wc);
  }();
  HWND w = CreateWindowExA(0, MAKEINTATOM(cls), "focus", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 500, 200, 80,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(w);
  SetFocus(w);
  g_f12Releases = 0;
  return w;
}

void PressAltF12() {
  INPUT in[4] = {};
  WORD keys[4] = {VK_MENU, VK_F12, VK_F12, VK_MENU};
  for (int i = 0; i < 4; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = keys[i];
    in[i].ki.dwFlags = (i >= 2) ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(4, in, sizeof(INPUT));
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

HWND TakeTheFront() {
  HWND w = MakeFocusWindow();
  // A window of another program that activates late can take the front back: ask again.
  if (WaitUntil([&] {
        Pump();
        if (GetForegroundWindow() == w && GetFocus() == w) return true;
        SetForegroundWindow(w);
        SetFocus(w);
        return false;
      }))
    return w;
  DestroyWindow(w);
  return nullptr;
}

TEST_F(Shell, AltF12OpensTheSheetOnlyWithTheSystemKeyOn) {
  const DWORD kMissing = 0xFFFFFFFF;
  for (DWORD enabled : {kMissing, DWORD{0}, DWORD{1}}) {
    if (enabled == kMissing)
      DeleteValue(HKEY_CURRENT_USER, kPrefsKey, "SysKeyEnable");
    else
      ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "SysKeyEnable", enabled));
    Process resident = StartResident();
    ASSERT_NE(FindFrame(), nullptr);
    HWND focus = TakeTheFront();
    ASSERT_NE(focus, nullptr);
    PressAltF12();
    // With the hook on the sheet opens; without it the key's release reaches the window.
    bool opened = false;
    WaitUntil([&] {
      Pump();
      opened = FindVisible("#32770", kSheetTitle) != nullptr;
      return enabled == 1 ? opened : g_f12Releases > 0;
    });
    EXPECT_EQ(opened, enabled == 1) << "SysKeyEnable=" << static_cast<int>(enabled);
    // The hook swallows the keystroke it acts on; without it the window sees the release.
    EXPECT_EQ(g_f12Releases, enabled == 1 ? 0 : 1) << "SysKeyEnable=" << static_cast<int>(enabled);
    DestroyWindow(focus);
    EndAll();
  }
}

}  // namespace
