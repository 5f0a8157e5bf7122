#include "controlpanel/app/ZephraCtrlApp.h"

#include <mmsystem.h>
#include <stdlib.h>
#include <string.h>

#include "controlpanel/app/hook/KeyHook.h"
#include "controlpanel/driver/DriverControl.h"
#include "controlpanel/res/resource.h"
#include "controlpanel/settings/Settings.h"
#include "controlpanel/shell/DriverWarningDlg.h"
#include "controlpanel/shell/MainFrame.h"
#include "framework/Util.h"

char ProgramDir[260];

// Seen by every running copy of the program: only decides whether to look for one.
volatile LONG g_instanceCount __attribute__((section(".shared"), shared)) = 0;

CZephraCtrlApp theApp;

CZephraCtrlApp* ZephraApp() { return &theApp; }

CZephraCtrlApp::CZephraCtrlApp() : fw::CWinApp("ZephraCtrl") {}

BOOL CZephraCtrlApp::InitApplication() {
  if (RegCreateKeyExA(HKEY_CURRENT_USER, catalogue::K1.path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &m_hControlKey, nullptr) != ERROR_SUCCESS) {
    m_hControlKey = nullptr;
  } else if (RegCreateKeyExA(m_hControlKey, catalogue::kPreferencesSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_ALL_ACCESS, nullptr, &m_hPrefsKey, nullptr) != ERROR_SUCCESS) {
    m_hPrefsKey = nullptr;
  }

  char module[260];
  GetModuleFileNameA(nullptr, module, sizeof module);
  GetShortPathNameA(module, ProgramDir, sizeof ProgramDir);
  char drive[_MAX_DRIVE], dir[_MAX_DIR];
  _splitpath(ProgramDir, drive, dir, nullptr, nullptr);
  _makepath(ProgramDir, drive, dir, nullptr, nullptr);

  if (m_hPrefsKey) {
    std::string name = fw::LoadStr(IDS_SYSKEYENABLE);
    DWORD enabled = 0, size = sizeof enabled;
    if (RegQueryValueExA(m_hPrefsKey, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&enabled), &size) ==
            ERROR_SUCCESS &&
        enabled != 0) {
      // The procedure is called in every process that takes keyboard input, so it is
      // installed with the module handle of the DLL that holds it.
      m_hKeyboardHook =
          SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, GetModuleHandleA("ZephraHook.dll"), 0);
    }
  }
  return fw::CWinApp::InitApplication();
}

BOOL CZephraCtrlApp::InitInstance() {
  Enable3dControls();

  HWND running = nullptr;
  if (InterlockedIncrement(&g_instanceCount) > 1) {
    std::string title;
    if (fw::LoadStr(IDS_WINDOW_TITLE, title)) running = FindWindowA(nullptr, title.c_str());
  }

  _strupr(m_lpCmdLine);
  bool uninstall = strstr(m_lpCmdLine, "/U") != nullptr;

  if (!IsCardPresent() || waveOutGetNumDevs() == 0) {
    if (!uninstall) {
      CDriverWarningDlg warning;
      warning.DoModal();
    }
    return FALSE;
  }

  BOOL result;
  if (uninstall) {
    if (running) SendMessageA(running, WM_CLOSE_PANEL, 0, 0);
    result = FALSE;
  } else if (running) {
    PostMessageA(running, WM_SHOW_PROPSHEET, 0, 0);
    result = FALSE;
  } else {
    auto* frame = static_cast<CMainFrame*>(RUNTIME_CLASS(CMainFrame)->create());
    m_frame.reset(frame);
    m_pMainWnd = frame;
    frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | 0x00008000 /* FWS_ADDTOTITLE */, nullptr, nullptr);

    m_bTaskBarIcon = 1;
    if (m_hPrefsKey) {
      std::string name = fw::LoadStr(IDS_TASKBARICONENABLE);
      DWORD value = 0, size = sizeof value;
      if (RegQueryValueExA(m_hPrefsKey, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
          ERROR_SUCCESS)
        m_bTaskBarIcon = static_cast<int>(value);
    }
    if (m_bTaskBarIcon) {
      frame->AddTrayIcon();
      result = TRUE;
    } else {
      frame->OpenPropSheet();
      result = m_bTaskBarIcon ? TRUE : FALSE;
    }
  }

  m_bToolTips = 1;
  if (m_hPrefsKey) {
    DWORD value = 0, size = sizeof value;
    if (RegQueryValueExA(m_hPrefsKey, catalogue::ToolTipsEnable.name, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS)
      m_bToolTips = static_cast<BYTE>(value);
  }

  if (!result) InterlockedDecrement(&g_instanceCount);
  return result;
}

bool CZephraCtrlApp::IsCardPresent() {
  HANDLE device = OpenWavetableDevice();
  if (device == INVALID_HANDLE_VALUE) return false;
  CloseDevice(device);
  return true;
}

BOOL CZephraCtrlApp::ProcessMessageFilter(int code, LPMSG msg) {
  if (m_hToolTipOwner && ::IsWindow(m_hToolTipOwner) && m_pToolTip)
    m_pToolTip->SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
  return fw::CWinApp::ProcessMessageFilter(code, msg);
}

void CZephraCtrlApp::SetToolTipOwner(fw::CToolTipCtrl* tip, HWND owner) {
  m_pToolTip = tip;
  m_hToolTipOwner = owner;
  if (tip) tip->SendMessage(TTM_ACTIVATE, m_bToolTips, 0);
}

LONG CZephraCtrlApp::SetToolTipsEnable(BYTE on) {
  if (m_pToolTip) m_pToolTip->SendMessage(TTM_ACTIVATE, on, 0);
  m_bToolTips = on;
  DWORD value = on;
  return RegSetValueExA(m_hPrefsKey, catalogue::ToolTipsEnable.name, 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&value), sizeof value);
}
