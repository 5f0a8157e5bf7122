#include "framework/App.h"

#include <commctrl.h>
#include <prsht.h>

#include "framework/Wnd.h"

namespace fw {
namespace {
CWinApp* g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }
HINSTANCE AfxGetInstanceHandle() { return g_app && g_app->m_hInstance ? g_app->m_hInstance : GetModuleHandleA(nullptr); }

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) { g_app = this; }

CWinApp::~CWinApp() {
  if (m_hMsgFilter) UnhookWindowsHookEx(m_hMsgFilter);
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitApplication() { return TRUE; }
BOOL CWinApp::InitInstance() { return TRUE; }
int CWinApp::ExitInstance() { return 0; }
BOOL CWinApp::ProcessMessageFilter(int, LPMSG) { return FALSE; }

void CWinApp::Enable3dControls() {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
}

LRESULT CALLBACK CWinApp::MsgFilterHook(int code, WPARAM wParam, LPARAM lParam) {
  CWinApp* app = g_app;
  if (code >= 0 && app && app->ProcessMessageFilter(code, reinterpret_cast<LPMSG>(lParam))) return 1;
  return CallNextHookEx(app ? app->m_hMsgFilter : nullptr, code, wParam, lParam);
}

int CWinApp::Run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return ExitInstance();
}

BOOL CWinApp::OnAppCommand(UINT) { return FALSE; }

void CWinApp::OnHelp() {
  // Ask the active window and its owners for a context, as the framework's dialogs answer.
  HWND w = GetActiveWindow();
  if (!w && m_pMainWnd) w = m_pMainWnd->m_hWnd;
  for (; w; w = GetWindow(w, GW_OWNER)) {
    if (SendMessageA(w, WM_COMMANDHELP, 0, 0)) return;
  }
  WinHelp(0, HELP_FINDER);
}

void CWinApp::WinHelp(DWORD_PTR data, UINT cmd) {
  HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
  ::WinHelpA(owner, m_pszHelpFilePath, cmd, data);
}

int CWinApp::WinMain(HINSTANCE inst, LPSTR cmdLine, int cmdShow) {
  m_hInstance = inst;
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(inst, path, sizeof path);
  if (n > 0 && n < sizeof path) {
    m_strHelpFilePath = path;
    const size_t slash = m_strHelpFilePath.find_last_of("\\/");
    const size_t dot = m_strHelpFilePath.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) m_strHelpFilePath.resize(dot);
    m_strHelpFilePath += ".HLP";
    m_pszHelpFilePath = m_strHelpFilePath.c_str();
  }
  m_lpCmdLine = cmdLine;
  m_nCmdShow = cmdShow;
  // Modal loops of the platform (message boxes, menus) reach ProcessMessageFilter through this.
  m_hMsgFilter = SetWindowsHookExA(WH_MSGFILTER, MsgFilterHook, nullptr, GetCurrentThreadId());
  int rc;
  if (!InitApplication() || !InitInstance()) {
    if (m_pMainWnd && m_pMainWnd->IsWindow()) m_pMainWnd->DestroyWindow();
    rc = ExitInstance();
  } else {
    rc = Run();
  }
  if (m_hMsgFilter) {
    UnhookWindowsHookEx(m_hMsgFilter);
    m_hMsgFilter = nullptr;
  }
  return rc;
}

bool RunModalLoop(HWND dialog, const volatile bool* done, bool (*stillRunning)(HWND), bool propertySheet) {
  MSG msg;
  while (!*done && (!stillRunning || stillRunning(dialog))) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    CWinApp* app = AfxGetApp();
    if (app && app->ProcessMessageFilter(MSGF_DIALOGBOX, &msg)) continue;
    if (dialog && ::IsWindow(dialog)) {
      if (propertySheet ? ::SendMessageA(dialog, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&msg)) != 0
                        : IsDialogMessageA(dialog, &msg) != 0)
        continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

}  // namespace fw
