// The control panel's application object: start-up, single instance, the Alt+F12 hook
// and the tooltip relay for the pages of the modal property sheet.
#pragma once
#include <windows.h>

#include <memory>

#include "shared/settings/Store.h"
#include "controlpanel/shell/HelpFile.h"
#include "framework/App.h"
#include "framework/Controls.h"

class CZephraCtrlApp : public fw::CWinApp {
 public:
  CZephraCtrlApp();

  BOOL InitApplication() override;
  BOOL InitInstance() override;
  BOOL ProcessMessageFilter(int code, LPMSG msg) override;

  void SetToolTipOwner(fw::CToolTipCtrl* tip, HWND owner);
  int SetToolTipsEnable(BYTE on);
  BYTE ToolTips() const { return m_bToolTips; }
  bool IsCardPresent();

  int TaskBarIcon() const { return m_bTaskBarIcon; }
  // Stores the switch in "TaskBarIconEnable" through the kept Preferences key and here.
  void SetTaskBarIcon(int on);

  // Short (8.3) form of the program's directory, with drive, ending in a backslash.
  const char* ProgramDir() const { return m_szProgramDir; }

  void SetHelpOwner(HWND owner, const char* directory) { m_helpFile.SetOwner(owner, directory); }
  void ShowHelp(int context);

 private:
  DWORD ReadPreference(const char* name, DWORD fallback) const;

  int m_bTaskBarIcon = 0;
  settings::Key m_hPrefsKey;
  CHelpFile m_helpFile;
  int m_nHelpContext = 100;
  HWND m_hToolTipOwner = nullptr;
  fw::CToolTipCtrl* m_pToolTip = nullptr;
  BYTE m_bToolTips = 1;
  HHOOK m_hKeyboardHook = nullptr;
  settings::Key m_hControlKey;
  char m_szProgramDir[260] = {};
  std::unique_ptr<fw::CWnd> m_frame;  // the main frame object outlives its window
};

CZephraCtrlApp* ZephraApp();
