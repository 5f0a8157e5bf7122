// The control panel's application object: start-up, single instance, the Alt+F12 hook
// and the tooltip relay for the pages of the modal property sheet.
#pragma once
#include <windows.h>

#include <memory>

#include "controlpanel/shell/HelpFile.h"
#include "framework/App.h"
#include "framework/Controls.h"

// Short (8.3) form of the program's directory, with drive, ending in a backslash.
extern char ProgramDir[260];

class CZephraCtrlApp : public fw::CWinApp {
 public:
  CZephraCtrlApp();

  BOOL InitApplication() override;
  BOOL InitInstance() override;
  BOOL ProcessMessageFilter(int code, LPMSG msg) override;

  void SetToolTipOwner(fw::CToolTipCtrl* tip, HWND owner);
  LONG SetToolTipsEnable(BYTE on);
  bool IsCardPresent();

  int m_bTaskBarIcon = 0;
  HKEY m_hPrefsKey = nullptr;
  CHelpFile m_helpFile;
  int m_nHelpContext = 100;
  HWND m_hToolTipOwner = nullptr;
  fw::CToolTipCtrl* m_pToolTip = nullptr;
  BYTE m_bToolTips = 1;
  HHOOK m_hKeyboardHook = nullptr;
  HKEY m_hControlKey = nullptr;

 private:
  std::unique_ptr<fw::CWnd> m_frame;  // the main frame object outlives its window
};

CZephraCtrlApp* ZephraApp();
