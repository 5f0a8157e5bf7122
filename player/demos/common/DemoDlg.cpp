#include "player/demos/common/DemoDlg.h"

#include "shared/settings/Store.h"
#include "framework/App.h"
#include "framework/Util.h"
#include "player/demos/common/resource.h"

namespace demo {

namespace {
constexpr UINT_PTR kTick = 1;
constexpr UINT kTickMs = 33;
}  // namespace

BEGIN_MESSAGE_MAP(CDemoDlg, fw::CDialog)
  ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
  ON_MESSAGE(WM_TIMER, OnTimer)
  ON_MESSAGE(WM_DESTROY, OnDestroy)
  ON_BN_CLICKED(IDC_PAUSE, OnPause)
  ON_BN_CLICKED(IDC_ENGINE_TRIVOX, OnEngine)
  ON_BN_CLICKED(IDC_ENGINE_DS3D, OnEngine)
END_MESSAGE_MAP()

CDemoDlg::CDemoDlg(float span) : fw::CDialog(IDD_DEMO, nullptr), m_span(span) {
  m_hIcon = LoadIconA(fw::AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CDemoDlg::~CDemoDlg() = default;

std::string CDemoDlg::SoundPath(const char* file) {
  // Beside the program, wherever it was started from and whatever its command line.
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path);
  const std::string::size_type slash = dir.find_last_of("\\/");
  dir = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
  return dir + "sounds\\" + file;
}

void CDemoDlg::SetItemText(int id, const std::string& text) const {
  // Unchanged texts are not set again: no flicker at the tick's rate.
  char now[128] = {};
  GetDlgItemTextA(m_hWnd, id, now, sizeof now);
  if (text != now) SetDlgItemTextA(m_hWnd, id, text.c_str());
}

BOOL CDemoDlg::OnInitDialog() {
  fw::CDialog::OnInitDialog();
  HMENU sys = GetSystemMenu(m_hWnd, FALSE);
  std::string about = fw::LoadStr(IDS_ABOUTBOX);
  if (sys && !about.empty()) AppendMenuA(sys, MF_STRING, IDM_ABOUTBOX, about.c_str());
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_pSound = std::make_unique<CSound3D>();
  m_pSound->Startup();  // failures were shown by the engine
  // The sound matters more than the picture: the engines' threads, made by now, come first.
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  m_pVoices = std::make_unique<CVoiceSet>(*m_pSound);
  CheckRadioButton(m_hWnd, IDC_ENGINE_TRIVOX, IDC_ENGINE_DS3D, IDC_ENGINE_TRIVOX);
  OfferEngines();

  RECT r;
  GetWindowRect(GetDlgItem(IDC_VIEW), &r);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
  m_view.Create(this, r, this, m_span);
  ::ShowWindow(GetDlgItem(IDC_VIEW), SW_HIDE);

  StartScene();
  PlayVoices(true);
  m_lastTick = GetTickCount();
  SetTimer(kTick, kTickMs);
  return TRUE;
}

void CDemoDlg::OfferEngines() {
  // As in the player: the DirectSound 3D engine only when "EnableDS3D" is 1.
  DWORD enable = catalogue::EnableDS3D.byDefault.number, stored = 0;
  if (settings::ReadDword(catalogue::EnableDS3D, &stored)) enable = stored;
  if (enable == 1) return;
  ShowItem(IDC_ENGINE_TRIVOX, false);
  ShowItem(IDC_ENGINE_DS3D, false);
}

LRESULT CDemoDlg::OnSysCommand(WPARAM wParam, LPARAM) {
  if ((static_cast<UINT>(wParam) & 0xFFF0) == IDM_ABOUTBOX) {
    fw::CDialog about(IDD_ABOUTBOX, this);
    about.DoModal();
    return 0;
  }
  return Default();
}

LRESULT CDemoDlg::OnTimer(WPARAM wParam, LPARAM) {
  if (wParam != kTick) return Default();
  const DWORD now = GetTickCount();
  double dt = (now - m_lastTick) / 1000.0;
  m_lastTick = now;
  // A stalled tick does not make the sources jump.
  if (dt > 0.1) dt = 0.1;
  if (!m_bPaused) Advance(dt);
  m_view.Redraw();
  return 0;
}

LRESULT CDemoDlg::OnPause(WPARAM, LPARAM) {
  m_bPaused = !m_bPaused;
  SetDlgItemTextA(m_hWnd, IDC_PAUSE, fw::LoadStr(m_bPaused ? IDS_RESUME : IDS_PAUSE).c_str());
  PlayVoices(!m_bPaused);
  return 0;
}

LRESULT CDemoDlg::OnEngine(WPARAM, LPARAM) {
  const bool ds3d = IsDlgButtonChecked(m_hWnd, IDC_ENGINE_DS3D) == BST_CHECKED;
  m_pVoices->SelectEngine(ds3d ? kEngineDS3D : kEngineTrivox);
  return 0;
}

LRESULT CDemoDlg::OnDestroy(WPARAM, LPARAM) {
  KillTimer(kTick);
  m_pVoices->Release();
  m_pSound->Shutdown();
  m_pSound->FreeSampleData();
  return Default();
}

}  // namespace demo
