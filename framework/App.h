// The application object and the message loop.
#pragma once
#include <windows.h>

#include <string>

// The framework's help command and the base of a dialog's help context (template id added).
#ifndef ID_HELP
#define ID_HELP 0xE146
#endif
#ifndef HID_BASE_RESOURCE
#define HID_BASE_RESOURCE 0x20000UL
#endif
#ifndef WM_COMMANDHELP
#define WM_COMMANDHELP 0x0365
#endif

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

  // Commands that no window handled arrive here (the application's command map).
  virtual BOOL OnAppCommand(UINT id);
  // The standard help handler: the active window's help context, else the contents.
  void OnHelp();
  // Help from the file beside the program, named after it with ".HLP".
  void WinHelp(DWORD_PTR data, UINT cmd = HELP_CONTEXT);

  HINSTANCE m_hInstance = nullptr;
  LPSTR m_lpCmdLine = nullptr;
  int m_nCmdShow = SW_SHOWNORMAL;
  const char* m_pszAppName = nullptr;  // caption of message boxes
  CWnd* m_pMainWnd = nullptr;
  const char* m_pszHelpFilePath = nullptr;

  int WinMain(HINSTANCE inst, LPSTR cmdLine, int cmdShow);

 private:
  HHOOK m_hMsgFilter = nullptr;
  std::string m_strHelpFilePath;
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
