// The application object and the message loop.
#pragma once
#include <windows.h>

namespace fw {

class CWnd;

class CWinApp {
 public:
  explicit CWinApp(const char* appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitApplication();
  virtual BOOL InitInstance();
  virtual int ExitInstance();
  virtual int Run();
  // Called for the messages of modal loops (dialogs, property sheets, menus, message boxes).
  virtual BOOL ProcessMessageFilter(int code, LPMSG msg);

  void Enable3dControls();

  HINSTANCE m_hInstance = nullptr;
  LPSTR m_lpCmdLine = nullptr;
  int m_nCmdShow = SW_SHOWNORMAL;
  const char* m_pszAppName = nullptr;  // caption of message boxes
  CWnd* m_pMainWnd = nullptr;

  int WinMain(HINSTANCE inst, LPSTR cmdLine, int cmdShow);

 private:
  HHOOK m_hMsgFilter = nullptr;
  static LRESULT CALLBACK MsgFilterHook(int code, WPARAM wParam, LPARAM lParam);
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();

// Runs a modal message loop until *done is set; messages go through ProcessMessageFilter
// and, when dialog is not null, through the dialog manager. Returns false on WM_QUIT
// (which is posted again for the outer loop).
bool RunModalLoop(HWND dialog, const volatile bool* done, bool (*stillRunning)(HWND) = nullptr,
                  bool propertySheet = false);

}  // namespace fw
