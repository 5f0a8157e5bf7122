// Every text of both programs fits its control under the fonts this prefix
// has. A font handle cannot cross processes, so each dialog template of the
// installed programs is made here, from the program's own resources, with the
// font the dialog manager picks for it, and fitted as the programs' dialogs
// and pages fit theirs; every static, button and radio text is then measured
// in its control's font against the room the control leaves for it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/TextFit.h"

namespace {

const char kPanel[] = "C:\\Program Files\\Resonix Trivox\\ZephraCtrl.exe";
const char kPlayer[] = "C:\\Program Files\\Resonix Trivox\\demos\\TrivoxPlay.exe";

struct Window {
  std::string name;
  bool created = false;
  std::vector<std::pair<std::string, int>> spares;  // text, pixels to spare
};

BOOL CALLBACK Collect(HWND c, LPARAM out) {
  char text[1024] = {};
  GetWindowTextA(c, text, sizeof text);
  int spare = 0;
  if (fw::TextSpare(c, &spare)) reinterpret_cast<Window*>(out)->spares.push_back({text, spare});
  return TRUE;
}

INT_PTR CALLBACK Quiet(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

// The dialog as the program makes it, hidden; controls of the program's own
// classes are left out.
HWND Create(HMODULE exe, HRSRC res, HWND host) {
  const DWORD size = SizeofResource(exe, res);
  const void* data = LockResource(LoadResource(exe, res));
  if (!data || size < sizeof(DLGTEMPLATE)) return nullptr;
  std::vector<DWORD> copy(size / 4 + 1);
  std::copy_n(static_cast<const BYTE*>(data), size, reinterpret_cast<BYTE*>(copy.data()));
  const bool ex = reinterpret_cast<const WORD*>(copy.data())[1] == 0xFFFF;
  DWORD& style = copy[ex ? 3 : 0];
  const bool child = (style & WS_CHILD) != 0;
  style = (style & ~WS_VISIBLE) | DS_NOFAILCREATE;
  return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<DLGTEMPLATE*>(copy.data()),
                                    child ? host : nullptr, Quiet, 0);
}

BOOL CALLBACK EachDialog(HMODULE exe, LPCSTR, LPSTR name, LONG_PTR out) {
  const std::string id = IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name;
  HWND host = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 600, 500, nullptr, nullptr, nullptr, nullptr);
  HWND dlg = Create(exe, FindResourceA(exe, name, RT_DIALOG), host);
  Window w{"dialog " + id, dlg != nullptr, {}};
  if (dlg) {
    fw::CTextFit fit;
    fit.Fit(dlg);
    EnumChildWindows(dlg, Collect, reinterpret_cast<LPARAM>(&w));
    DestroyWindow(dlg);
  }
  if (host) DestroyWindow(host);
  reinterpret_cast<std::vector<Window>*>(out)->push_back(w);
  return TRUE;
}

void ExpectAllFit(const char* program, const char* path, size_t dialogs) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  std::vector<Window> windows;
  HMODULE exe = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(exe) << path;
  EnumResourceNamesA(exe, RT_DIALOG, EachDialog, reinterpret_cast<LONG_PTR>(&windows));
  FreeLibrary(exe);
  EXPECT_GE(windows.size(), dialogs) << "dialogs of " << path;
  for (const Window& w : windows) {
    EXPECT_TRUE(w.created) << program << " " << w.name << " could not be made";
    int margin = INT_MAX;
    std::string tightest;
    for (const auto& s : w.spares) {
      EXPECT_GE(s.second, 0) << program << " " << w.name << ": \"" << s.first << "\" is cut off by " << -s.second
                             << " pixels";
      if (s.second < margin) {
        margin = s.second;
        tightest = s.first;
      }
    }
    if (w.spares.empty())
      std::printf("[ figures ] %s %s: no text\n", program, w.name.c_str());
    else
      std::printf("[ figures ] %s %s: %u texts, tightest \"%.40s\" with %d pixels to spare\n", program,
                  w.name.c_str(), static_cast<unsigned>(w.spares.size()), tightest.c_str(), margin);
  }
}

TEST(TextFit, EveryTextOfTheControlPanelFitsItsControl) {
  // Pages Config, Trivox Demos, MIDI, Preferences; the About box, the warning, the Trivox About box.
  ExpectAllFit("ZephraCtrl", kPanel, 7);
}

TEST(TextFit, EveryTextOfThePlayerFitsItsControl) {
  // The player's dialog, its About box and the listener settings.
  ExpectAllFit("TrivoxPlay", kPlayer, 3);
}

}  // namespace
