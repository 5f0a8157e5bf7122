#include "controlpanel/shell/MainFrame.h"

#include <shellapi.h>

#include "controlpanel/app/ZephraCtrlApp.h"
#include "controlpanel/res/resource.h"
#include "controlpanel/shell/AboutDlg.h"
#include "controlpanel/shell/HelpContext.h"
#include "controlpanel/shell/PropSheet.h"
#include "framework/Util.h"

IMPLEMENT_DYNCREATE(CMainFrame)

BEGIN_MESSAGE_MAP(CMainFrame, fw::CFrameWnd)
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_COMMAND(IDM_EXIT, OnExit)
  ON_COMMAND(IDM_ABOUT, OnAbout)
  ON_COMMAND(IDM_HELP, OnHelp)
  ON_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
  ON_MESSAGE(WM_SHOW_PROPSHEET, OpenPropSheet)
  ON_MESSAGE(WM_CLOSE_PANEL, OnClosePanel)
END_MESSAGE_MAP()

namespace {

// The record of the first shell version, which every platform accepts: 88 bytes on i686.
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V1_SIZE == 88, "the first shell's record");

NOTIFYICONDATAA TrayRecord(HWND frame) {
  NOTIFYICONDATAA nid{};
  nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
  nid.hWnd = frame;
  nid.uID = IDI_TRAY;
  return nid;
}

}  // namespace

CMainFrame::~CMainFrame() { delete m_pPropSheet; }

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) {
  if (fw::LoadStr(IDS_WINDOW_TITLE, m_strWindowName)) cs.lpszName = m_strWindowName.c_str();
  return fw::CFrameWnd::PreCreateWindow(cs);
}

int CMainFrame::OnCreate(LPCREATESTRUCTA cs) {
  if (fw::CFrameWnd::OnCreate(cs) == -1) return -1;
  m_menuTray.LoadMenu(IDR_MAINFRAME);
  m_menuPopup.Attach(m_menuTray.GetSubMenu(0));
  CZephraCtrlApp* app = ZephraApp();
  app->SetHelpOwner(m_hWnd, (std::string(app->ProgramDir()) + "help").c_str());
  return 0;
}

void CMainFrame::OnDestroy() {
  fw::CFrameWnd::OnDestroy();
  m_menuPopup.Detach();  // goes with its parent menu
  m_menuTray.DestroyMenu();
  RemoveTrayIcon();
}

BOOL CMainFrame::AddTrayIcon() {
  NOTIFYICONDATAA nid = TrayRecord(m_hWnd);
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  nid.uCallbackMessage = WM_TRAY_NOTIFY;
  nid.hIcon = static_cast<HICON>(
      LoadImageA(fw::AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDI_TRAY), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  std::string tip;
  if (fw::LoadStr(IDS_TRAY_TIP, tip)) lstrcpynA(nid.szTip, tip.c_str(), 64);
  return Shell_NotifyIconA(NIM_ADD, &nid);
}

BOOL CMainFrame::RemoveTrayIcon() {
  NOTIFYICONDATAA nid = TrayRecord(m_hWnd);
  return Shell_NotifyIconA(NIM_DELETE, &nid);
}

LRESULT CMainFrame::OpenPropSheet(WPARAM, LPARAM) {
  if (m_pPropSheet) {
    SetForegroundWindow(m_pPropSheet->m_hWnd);
    return 0;
  }
  m_pPropSheet = new CPropSheet(*ZephraApp(), IDS_SHEET_CAPTION, nullptr, 0);
  m_pPropSheet->m_psh.dwFlags |= PSH_NOAPPLYNOW;
  m_pPropSheet->DoModal();
  ::SetFocus(nullptr);
  delete m_pPropSheet;
  m_pPropSheet = nullptr;
  if (m_bExitRequested || !ZephraApp()->TaskBarIcon()) DestroyWindow();
  return 1;
}

LRESULT CMainFrame::OnTrayNotify(WPARAM, LPARAM lParam) {
  switch (static_cast<UINT>(lParam)) {
    case WM_LBUTTONDBLCLK:
      if (OpenPropSheet() == 1) SetForegroundWindow(GetWindow(m_hWnd, GW_HWNDNEXT));
      break;
    case WM_RBUTTONDOWN: {
      SetForegroundWindow(m_hWnd);
      POINT pt;
      GetCursorPos(&pt);
      m_menuPopup.TrackPopupMenu(TPM_RIGHTBUTTON, pt.x, pt.y, this);
      break;
    }
    case WM_RBUTTONDBLCLK:
      OnClosePanel(0, 0);
      break;
    default:
      break;
  }
  return 1;
}

LRESULT CMainFrame::OnClosePanel(WPARAM, LPARAM) {
  if (m_pPropSheet) {
    m_bExitRequested = 1;
    m_pPropSheet->SendMessage(WM_CLOSE, 0, 0);
  } else {
    DestroyWindow();
  }
  return 1;
}

LRESULT CMainFrame::OnExit(WPARAM, LPARAM) {
  PostMessage(WM_CLOSE, 0, 0);
  return 0;
}

LRESULT CMainFrame::OnAbout(WPARAM, LPARAM) {
  static bool aboutOpen = false;  // one About box for the whole program
  if (aboutOpen) return 0;
  aboutOpen = true;
  const CZephraCtrlApp* app = ZephraApp();
  CAboutDlg about(app->IsNtFamily(), app->BoardId());
  about.DoModal();
  aboutOpen = false;
  return 0;
}

LRESULT CMainFrame::OnHelp(WPARAM, LPARAM) {
  int index = m_pPropSheet ? m_pPropSheet->GetActiveIndex() : -1;
  CZephraCtrlApp* app = ZephraApp();
  app->ShowHelp(HelpContextFor(m_pPropSheet != nullptr, app->IsNtFamily(), index));
  return 0;
}
