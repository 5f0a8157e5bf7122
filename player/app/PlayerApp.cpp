#include "player/app/PlayerApp.h"

#include "framework/Util.h"
#include "player/app/PlayerDlg.h"
#include "player/res/resource.h"

CPlayerApp theApp;

BOOL CPlayerApp::InitInstance() {
  // The title is every message box's caption.
  m_title = fw::LoadStr(IDS_APP_TITLE);
  m_pszAppName = m_title.c_str();
  Enable3dControls();
  CPlayerDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

// The command map: the framework's help command goes to its standard handler.
BOOL CPlayerApp::OnAppCommand(UINT id) {
  if (id != ID_HELP) return FALSE;
  OnHelp();
  return TRUE;
}
