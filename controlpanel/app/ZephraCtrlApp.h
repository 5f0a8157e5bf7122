// The control panel's application object: start-up, single instance, the Alt+F12 hook,
// and the services the pages of the modal property sheet are given (tooltip relay, tray,
// preferences, the platform family).
#pragma once
#include <windows.h>

#include <memory>

#include "shared/settings/Store.h"
#include "controlpanel/pages/PageServices.h"
#include "controlpanel/shell/HelpFile.h"
#include "framework/App.h"
#include "framework/Controls.h"

class CZephraCtrlApp : public fw::CWinApp, public CPageServices {
 public:
  CZephraCtrlApp();

  BOOL InitApplication() override;
  BOOL InitInstance() override;
  BOOL ProcessMessageFilter(int code, LPMSG msg) override;

  bool IsNtFamily() const override { return m_bNtFamily; }
  const char* ProgramDir() const override { return m_szProgramDir; }

  void SetToolTipOwner(fw::CToolTipCtrl* tip, HWND owner) override;
  int SetToolTipsEnable(BYTE on) override;
  BYTE ToolTips() const override { return m_bToolTips; }
  bool IsCardPresent();

  int TaskBarIcon() const override { return m_bTaskBarIcon; }
  // Stores the switch in "TaskBarIconEnable" through the kept Preferences key and here.
  void SetTaskBarIcon(int on) override;
  void ShowTrayIcon(bool show) override;

  // 0 until the Preferences page found the board.
  WORD BoardId() const { return m_wBoardId; }
  void SetBoardId(WORD id) override { m_wBoardId = id; }

  void SetHelpOwner(HWND owner, const char* directory) { m_helpFile.SetOwner(owner, directory); }
  void ShowHelp(int context);

 private:
  DWORD ReadPreference(const char* name, DWORD fallback) const;

  bool m_bNtFamily = false;
  int m_bTaskBarIcon = 0;
  WORD m_wBoardId = 0;
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
