// The hidden main window: owns the tray icon and its menu, receives the private messages
// of other copies and of the keyboard hook, and runs one property sheet at a time.
#pragma once
#include <string>

#include "framework/Controls.h"
#include "framework/Wnd.h"

class CPropSheet;

class CMainFrame : public fw::CFrameWnd {
  DECLARE_DYNCREATE(CMainFrame)
  DECLARE_MESSAGE_MAP()

 public:
  CMainFrame() = default;
  ~CMainFrame() override;

  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  BOOL AddTrayIcon();
  BOOL RemoveTrayIcon();
  LRESULT OpenPropSheet(WPARAM = 0, LPARAM = 0);

 protected:
  int OnCreate(LPCREATESTRUCTA cs) override;
  void OnDestroy() override;
  LRESULT OnExit(WPARAM, LPARAM);
  LRESULT OnAbout(WPARAM, LPARAM);
  LRESULT OnHelp(WPARAM, LPARAM);
  LRESULT OnTrayNotify(WPARAM, LPARAM);
  LRESULT OnClosePanel(WPARAM, LPARAM);

 private:
  fw::CMenu m_menuPopup;
  fw::CMenu m_menuTray;
  CPropSheet* m_pPropSheet = nullptr;
  int m_bExitRequested = 0;
  std::string m_strWindowName;
};
