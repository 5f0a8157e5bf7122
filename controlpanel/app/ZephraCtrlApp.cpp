#include "controlpanel/app/ZephraCtrlApp.h"

#include <mmsystem.h>
#include <stdlib.h>
#include <string.h>

#include "controlpanel/app/hook/KeyHook.h"
#include "controlpanel/driver/DriverControl.h"
#include "controlpanel/res/resource.h"
#include "shared/settings/Settings.h"
#include "shared/settings/Store.h"
#include "controlpanel/shell/DriverWarningDlg.h"
#include "controlpanel/shell/MainFrame.h"
#include "framework/Util.h"
#include "shared/names/Names.h"

// Seen by every running copy of the program: only decides whether to look for one.
volatile LONG g_instanceCount __attribute__((section(".shared"), shared)) = 0;

namespace {

// Held from the instance count until this copy's frame exists (or it knows it will not
// make one), so that a copy started at the same moment finds the frame instead of becoming
// a second resident. The wait is bounded: a holder that hangs must not keep a start from
// going on as the first copy, just as a stale counter must not.
class CStartLock {
 public:
  CStartLock() : m_hMutex(CreateMutexA(nullptr, FALSE, ZEPHRA_START_MUTEX)) {
    if (!m_hMutex) return;
    const DWORD got = WaitForSingleObject(m_hMutex, kWaitMs);
    m_bOwned = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;  // abandoned: its holder died
  }
  ~CStartLock() {
    Release();
    if (m_hMutex) CloseHandle(m_hMutex);
  }
  CStartLock(const CStartLock&) = delete;
  CStartLock& operator=(const CStartLock&) = delete;

  void Release() {
    if (m_bOwned) ReleaseMutex(m_hMutex);
    m_bOwned = false;
  }

 private:
  static constexpr DWORD kWaitMs = 5000;
  HANDLE m_hMutex;
  bool m_bOwned = false;
};

}  // namespace

CZephraCtrlApp theApp;

CZephraCtrlApp* ZephraApp() { return &theApp; }

CZephraCtrlApp::CZephraCtrlApp() : fw::CWinApp("ZephraCtrl") {}

BOOL CZephraCtrlApp::InitApplication() {
  // The one question about the platform; everything else asks IsNtFamily().
  m_bNtFamily = IsWindowsNT();
  m_hControlKey = settings::Key(catalogue::kUserControl, KEY_ALL_ACCESS, settings::Open::Create);
  if (m_hControlKey.IsOpen())
    m_hPrefsKey =
        settings::Key(m_hControlKey.Get(), catalogue::kPreferencesSubKey, KEY_ALL_ACCESS, settings::Open::Create);

  char module[260];
  GetModuleFileNameA(nullptr, module, sizeof module);
  GetShortPathNameA(module, m_szProgramDir, sizeof m_szProgramDir);
  char drive[_MAX_DRIVE], dir[_MAX_DIR];
  _splitpath(m_szProgramDir, drive, dir, nullptr, nullptr);
  _makepath(m_szProgramDir, drive, dir, nullptr, nullptr);

  if (ReadPreference(fw::LoadStr(IDS_SYSKEYENABLE).c_str(), catalogue::SysKeyEnable.byDefault.number) != 0) {
    // The procedure is called in every process that takes keyboard input, so it is
    // installed with the module handle of the DLL that holds it.
    m_hKeyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, GetModuleHandleA("ZephraHook.dll"), 0);
  }
  return fw::CWinApp::InitApplication();
}

BOOL CZephraCtrlApp::InitInstance() {
  Enable3dControls();

  CStartLock startLock;
  HWND running = nullptr;
  if (InterlockedIncrement(&g_instanceCount) > 1) {
    std::string title;
    if (fw::LoadStr(IDS_WINDOW_TITLE, title)) running = FindWindowA(nullptr, title.c_str());
  }

  _strupr(m_lpCmdLine);
  bool uninstall = strstr(m_lpCmdLine, "/U") != nullptr;

  if (!IsCardPresent() || waveOutGetNumDevs() == 0) {
    startLock.Release();
    if (!uninstall) {
      CDriverWarningDlg warning;
      warning.DoModal();
    }
    return FALSE;
  }

  BOOL result;
  if (uninstall || running) startLock.Release();  // this copy makes no frame
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
    startLock.Release();  // before the sheet of a start without tray icon, which may stay up long

    m_bTaskBarIcon = static_cast<int>(ReadPreference(fw::LoadStr(IDS_TASKBARICONENABLE).c_str(),
                                                     catalogue::TaskBarIconEnable.byDefault.number));
    if (m_bTaskBarIcon) {
      frame->AddTrayIcon();
      result = TRUE;
    } else {
      frame->OpenPropSheet();
      result = m_bTaskBarIcon ? TRUE : FALSE;
    }
  }

  m_bToolTips =
      static_cast<BYTE>(ReadPreference(catalogue::ToolTipsEnable.name, catalogue::ToolTipsEnable.byDefault.number));

  if (!result) InterlockedDecrement(&g_instanceCount);
  return result;
}

bool CZephraCtrlApp::IsCardPresent() {
  HANDLE device = OpenWavetableDevice(m_bNtFamily);
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

int CZephraCtrlApp::SetToolTipsEnable(BYTE on) {
  if (m_pToolTip) m_pToolTip->SendMessage(TTM_ACTIVATE, on, 0);
  m_bToolTips = on;
  return settings::WriteDword(m_hPrefsKey, catalogue::ToolTipsEnable.name, on);
}

void CZephraCtrlApp::SetTaskBarIcon(int on) {
  settings::WriteDword(m_hPrefsKey, fw::LoadStr(IDS_TASKBARICONENABLE).c_str(), static_cast<DWORD>(on));
  m_bTaskBarIcon = on;
}

void CZephraCtrlApp::ShowTrayIcon(bool show) {
  // Only while the frame's window exists: the icon belongs to it.
  auto* frame = static_cast<CMainFrame*>(m_frame.get());
  if (!frame || !frame->IsWindow()) return;
  if (show)
    frame->AddTrayIcon();
  else
    frame->RemoveTrayIcon();
}

void CZephraCtrlApp::ShowHelp(int context) {
  m_nHelpContext = context;
  m_helpFile.Show(m_nHelpContext);
}

// A 4-byte value of the Preferences key; fallback when it cannot be read (or the key is not open).
DWORD CZephraCtrlApp::ReadPreference(const char* name, DWORD fallback) const {
  DWORD value = 0;
  return settings::ReadDword(m_hPrefsKey, name, &value) ? value : fallback;
}
