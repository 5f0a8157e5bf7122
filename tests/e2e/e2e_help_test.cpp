// Help that opens: the tray menu's Help, Help while a page of the sheet is active, and F1 in
// the player, each checked in Wine's help viewer by its caption and the topic's title; and a
// link of the contents followed.
#include <gtest/gtest.h>
#include <windows.h>

#include <prsht.h>
#include <richedit.h>

#include <map>
#include <string>

#include "E2eSupport.h"

using namespace e2e;

namespace {

const char kViewerClass[] = "MS_WINHELP";  // the viewer's main window
const char kPanelHelpTitle[] = "Resonix Trivox Help";
const char kPlayerHelpTitle[] = "Trivox Player Help";
const char kPlayerExe[] = "C:\\Program Files\\Resonix Trivox\\demos\\TrivoxPlay.exe";
const char kPlayerTitle[] = "Trivox Player (Hit F1 For Help)";
const WPARAM kListenerCommand = 0x20;  // the player's system menu: listener settings

BOOL CALLBACK FindRichEdit(HWND child, LPARAM out) {
  char cls[64] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "RichEdit20A") != 0 && lstrcmpiA(cls, "RichEdit20W") != 0) return TRUE;
  *reinterpret_cast<HWND*>(out) = child;
  return FALSE;
}

// The viewer's text window, which shows the topic.
HWND TopicWindow(HWND viewer) {
  HWND text = nullptr;
  EnumChildWindows(viewer, FindRichEdit, reinterpret_cast<LPARAM>(&text));
  return text;
}

// The first line of the topic the viewer shows: its title, which our help files put first.
std::string ShownTitle(HWND viewer) {
  HWND w = TopicWindow(viewer);
  const std::string text = w ? Text(w) : std::string();
  return text.substr(0, text.find_first_of("\r\n"));
}

// A click on the first place that shows `words` in the topic; false when they are not shown.
bool ClickOn(HWND viewer, const std::string& words) {
  HWND w = TopicWindow(viewer);
  const std::string text = w ? Text(w) : std::string();
  const size_t at = text.find(words);
  if (at == std::string::npos) return false;
  // The text window counts a line's end as one character, its text has two.
  size_t index = at;
  for (size_t p = text.find("\r\n"); p != std::string::npos && p < at; p = text.find("\r\n", p + 2)) --index;
  const LRESULT pos = SendMessageA(w, EM_POSFROMCHAR, index + 1, 0);
  const LPARAM point = MAKELPARAM(LOWORD(pos) + 2, HIWORD(pos) + 4);
  PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageA(w, WM_LBUTTONUP, 0, point);
  return true;
}

// Waits for the viewer with this caption to show the topic; the last title seen goes to `seen`.
bool ViewerShows(const char* caption, const std::string& topic, std::string* seen) {
  return WaitUntil([&] {
    HWND viewer = FindVisible(kViewerClass, caption);
    if (!viewer) return false;
    *seen = ShownTitle(viewer);
    return *seen == topic;
  }, 20000);
}

void CloseViewers() {
  for (HWND w : FindAllVisible(kViewerClass, nullptr)) PostMessageA(w, WM_CLOSE, 0, 0);
  if (!WaitUntil([] { return FindAllVisible(kViewerClass, nullptr).empty(); }, 5000)) EndProcesses("winhlp32.exe");
}

// The tray menu's first item, "&Help".
void ChooseTrayHelp() {
  HWND icon = TrayIcon();
  ASSERT_NE(icon, nullptr) << "no tray icon";
  PostMessageA(icon, WM_RBUTTONDOWN, 0, MAKELPARAM(8, 8));
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (menu = FindVisible("#32768", nullptr)) != nullptr; }, 5000)) << "no popup menu";
  PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);  // from no selection down selects the first item
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitUntil([] { return FindVisible("#32768", nullptr) == nullptr; }, 5000)) << "menu stays open";
}

// F1 from the keyboard, which only the window in front gets.
void PressF1(HWND w) {
  ASSERT_TRUE(WaitUntil([&] {
    SetForegroundWindow(w);
    return GetForegroundWindow() == w;
  }, 5000)) << "the window does not come to the front";
  INPUT in[2] = {};
  for (int i = 0; i < 2; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = VK_F1;
    in[i].ki.dwFlags = i ? KEYEVENTF_KEYUP : 0;
  }
  ASSERT_EQ(SendInput(2, in, sizeof(INPUT)), 2u);
}

class Help : public ::testing::Test {
 protected:
  void SetUp() override {
    EndAll();
    EndProcesses("TrivoxPlay.exe");
    CloseViewers();
    ASSERT_TRUE(SetCardDevices(kAllDevices, &devices_)) << "virtual card missing";
  }
  void TearDown() override {
    CloseViewers();
    EndProcesses("TrivoxPlay.exe");
    EndAll();
    SetCardDevices(devices_);
  }

  DWORD devices_ = kAllDevices;
  RegistryGuard prefs_{HKEY_CURRENT_USER, kPrefsKey, {"TaskBarIconEnable", "PROPSHEET_PAGE"}};
};

TEST_F(Help, TrayHelpWithTheSheetClosedOpensTheContents) {
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 1));
  Process resident = StartResident();
  ASSERT_TRUE(WaitUntil([] { return TrayIcon() != nullptr; })) << "no tray icon";
  ChooseTrayHelp();
  std::string seen;
  ASSERT_TRUE(ViewerShows(kPanelHelpTitle, "Resonix Trivox Help", &seen)) << "the viewer shows \"" << seen << "\"";
  EXPECT_TRUE(resident.Running());
  // A link of the contents leads to its topic.
  ASSERT_TRUE(ClickOn(FindVisible(kViewerClass, kPanelHelpTitle), "MIDI:"));
  EXPECT_TRUE(ViewerShows(kPanelHelpTitle, "The MIDI Page", &seen)) << "the viewer shows \"" << seen << "\"";
}

// Each page's own topic, whatever its place in the sheet (the NT family has two pages).
TEST_F(Help, HelpOnEachPageOpensThatPagesTopic) {
  const std::map<std::string, std::string> topics = {{"Config", "The Config Page"},
                                                     {"Trivox Demos", "The Trivox Demos Page"},
                                                     {"MIDI", "The MIDI Page"},
                                                     {"Preferences", "The Preferences Page"}};
  ASSERT_TRUE(SetDword(HKEY_CURRENT_USER, kPrefsKey, "TaskBarIconEnable", 1));
  Process resident = StartResident();
  HWND icon = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (icon = TrayIcon()) != nullptr; })) << "no tray icon";
  TrayMouse(icon, WM_LBUTTONDOWN, WM_LBUTTONUP, true);
  HWND sheet = WaitForSheet();
  ASSERT_NE(sheet, nullptr);
  const std::vector<std::string> tabs = TabTexts(sheet);
  ASSERT_EQ(tabs.size(), IsNT() ? 2u : 4u);
  for (int i = 0; i < static_cast<int>(tabs.size()); ++i) {
    SCOPED_TRACE(tabs[static_cast<size_t>(i)]);
    const auto topic = topics.find(tabs[static_cast<size_t>(i)]);
    ASSERT_NE(topic, topics.end()) << "a page without a topic";
    SendMessageA(sheet, PSM_SETCURSEL, static_cast<WPARAM>(i), 0);
    ASSERT_TRUE(WaitUntil([&] { return ActivePage(sheet) == i; }, 5000));
    ChooseTrayHelp();
    std::string seen;
    EXPECT_TRUE(ViewerShows(kPanelHelpTitle, topic->second, &seen)) << "the viewer shows \"" << seen << "\"";
  }
  EXPECT_EQ(WaitForSheet(1000), sheet) << "the sheet stays open behind the help";
}

TEST_F(Help, F1InThePlayerOpensItsContentsAndInTheListenerSettingsTheirTopic) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = std::string("\"") + kPlayerExe + "\"";
  ASSERT_TRUE(CreateProcessA(kPlayerExe, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  HWND player = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (player = FindVisible("#32770", kPlayerTitle)) != nullptr; }, 20000));
  ASSERT_TRUE(Settled(player));
  PressF1(player);
  std::string seen;
  EXPECT_TRUE(ViewerShows(kPlayerHelpTitle, "Trivox Player", &seen)) << "the viewer shows \"" << seen << "\"";
  EXPECT_TRUE(IsWindow(player)) << "the player stays";

  // The listener settings have a topic of their own.
  PostMessageA(player, WM_SYSCOMMAND, kListenerCommand, 0);
  HWND listener = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (listener = FindVisible("#32770", "3D Listener Object Settings")) != nullptr; }));
  PressF1(listener);
  EXPECT_TRUE(ViewerShows(kPlayerHelpTitle, "Listener Settings", &seen)) << "the viewer shows \"" << seen << "\"";
  PostMessageA(listener, WM_CLOSE, 0, 0);
}

}  // namespace
