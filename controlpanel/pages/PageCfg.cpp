#include "controlpanel/pages/PageCfg.h"

#include <cstdio>
#include <cstring>

#include "controlpanel/pages/PageServices.h"
#include "controlpanel/res/resource.h"
#include "controlpanel/trace/DebugTrace.h"
#include "shared/settings/Store.h"
#include "framework/App.h"
#include "framework/Util.h"

namespace {

constexpr UINT_PTR kTestTimerId = 256;
constexpr UINT kTestTimerMs = 100;
constexpr int kHeadphones = 0;
constexpr int kExternalSpeakers = 1;

}  // namespace

bool CPageCfg::s_bFirstOutputCall = true;

BEGIN_MESSAGE_MAP(CPageCfg, fw::CPropertyPage)
  ON_CBN_SELCHANGE(IDC_OUTPUT, OnOutputSelChange)
  ON_MESSAGE(WM_TIMER, OnTimerMessage)
  ON_MESSAGE(WM_DESTROY, OnDestroyMessage)
  ON_BN_CLICKED(IDC_TEST, OnTestClicked)
  ON_BN_CLICKED(IDC_RENDER_QUALITY, OnRenderModeClicked)
  ON_BN_CLICKED(IDC_RENDER_SPEED, OnRenderModeClicked)
END_MESSAGE_MAP()

CPageCfg::CPageCfg(CPageServices& services)
    : fw::CPropertyPage(IDD_PAGE_CFG), m_pServices(&services), m_player(this) {}

CPageCfg::~CPageCfg() {
  m_pToolTip.reset();
  if (!m_pServices->IsNtFamily()) m_core.Reset();
}

void CPageCfg::DoDataExchange(fw::CDataExchange* dx) {
  fw::CPropertyPage::DoDataExchange(dx);
  fw::DDX_Control(dx, IDC_PIC_LEFT, m_picLeft);
  fw::DDX_Control(dx, IDC_PIC_RIGHT, m_picRight);
  fw::DDX_Control(dx, IDC_PIC_RIGHT2, m_picRight2);
  fw::DDX_Control(dx, IDC_PIC_LEFT2, m_picLeft2);
  fw::DDX_Control(dx, IDC_PIC_HEADPHONES, m_picHeadphones);
  fw::DDX_Control(dx, IDC_PIC_HEADPHONES2, m_picHeadphones2);
  fw::DDX_Control(dx, IDC_OUTPUT, m_output);
  fw::DDX_Radio(dx, IDC_RENDER_QUALITY, m_nRenderMode);
}

BOOL CPageCfg::OnInitDialog() {
  fw::CPropertyPage::OnInitDialog();
  m_bTestRunning = 0;

  // The second output exists on other boards only.
  m_picLeft2.ShowWindow(SW_HIDE);
  m_picRight2.ShowWindow(SW_HIDE);
  m_picHeadphones2.ShowWindow(SW_HIDE);

  if (!m_pServices->IsNtFamily()) m_core.Reset(OpenDevice9x(kCoreDriverFile));

  DWORD stored = 0;
  const bool readOk = settings::ReadDword(catalogue::OutputMode, &stored) != 0;
  m_output.SetCurSel(static_cast<int>(catalogue::OutputModeFromStore(readOk, stored)));
  m_nLastOutput = -1;
  HandleOutputSelection();

  InitRenderMode();
  UpdateData(FALSE);

  m_pToolTip = std::make_unique<fw::CToolTipCtrl>();
  if (!m_pToolTip->Create(this, TTS_ALWAYSTIP)) {
    m_pToolTip.reset();
  } else {
    static const struct {
      int control;
      UINT text;
    } tools[] = {
        {IDC_OUTPUT, IDS_TIP_OUTPUT},        {IDC_PIC_HEADPHONES, IDS_TIP_HEADPHONES},
        {IDC_PIC_HEADPHONES2, IDS_TIP_HEADPHONES2}, {IDC_PIC_LEFT, IDS_TIP_LEFT},
        {IDC_PIC_RIGHT, IDS_TIP_RIGHT},      {IDC_PIC_LEFT2, IDS_TIP_LEFT2},
        {IDC_PIC_RIGHT2, IDS_TIP_RIGHT2},    {IDC_TEST, IDS_TIP_TEST},
        {IDC_RENDER_QUALITY, IDS_TIP_QUALITY}, {IDC_RENDER_SPEED, IDS_TIP_SPEED},
    };
    for (const auto& t : tools) m_pToolTip->AddTool(this, t.control, fw::LoadStr(t.text).c_str());
  }

  m_nTimer = SetTimer(kTestTimerId, kTestTimerMs);
  return TRUE;
}

void CPageCfg::HandleOutputSelection() {
  const int index = m_output.GetCurSel();
  if (index != m_nLastOutput) {
    if (index == kHeadphones) {
      m_picLeft.ShowWindow(SW_HIDE);
      m_picRight.ShowWindow(SW_HIDE);
      PutIcon(m_picHeadphones, IDI_HEADPHONES);
      m_picHeadphones.ShowWindow(SW_SHOW);
    } else if (index == kExternalSpeakers) {
      m_picLeft.ShowWindow(SW_SHOW);
      m_picRight.ShowWindow(SW_SHOW);
      m_picHeadphones.ShowWindow(SW_HIDE);
    }
    if (!m_pServices->IsNtFamily() && !s_bFirstOutputCall && m_core.IsValid()) {
      DebugTrace("Calling the driver");
      if (SetOutputMode(m_core.Get(), index)) settings::WriteDword(catalogue::OutputMode, static_cast<DWORD>(index));
    }
    m_nLastOutput = index;
  }
  s_bFirstOutputCall = false;
}

void CPageCfg::InitRenderMode() {
  CDeviceHandle wt;
  if (!m_pServices->IsNtFamily()) wt.Reset(OpenDevice9x(kWavetableDriverFile));
  bool capable = false;
  if (wt.IsValid()) {
    DWORD level = 0, feature = 0;
    const bool levelOk = GetPerformanceLevel(wt.Get(), &level) != 0;
    const bool featureOk = GetPerformanceFeature(wt.Get(), &feature) != 0;
    capable = RenderingModeAvailable(levelOk, level, featureOk, feature);
  }
  if (!capable) {
    ShowItem(IDC_RENDER_GROUP, false);
    ShowItem(IDC_RENDER_QUALITY, false);
    ShowItem(IDC_RENDER_SPEED, false);
    return;
  }
  DWORD stored = 0;
  const bool readOk = settings::ReadDword(catalogue::TrivoxMode, &stored) != 0;
  m_nRenderMode = catalogue::RenderModeIndexFromStore(readOk, stored);
}

void CPageCfg::PutIcon(const fw::CStatic& picture, UINT icon) const {
  // Icons from the module's resources are shared: nothing to destroy afterwards.
  picture.SetIcon(LoadIconA(fw::AfxGetInstanceHandle(), MAKEINTRESOURCEA(icon)));
}

void CPageCfg::PutHeadphoneRest() const {
  const UINT rest = m_output.GetCurSel() == kHeadphones ? IDI_HEADPHONES : IDI_HEADPHONES_DIM;
  PutIcon(m_picHeadphones, rest);
  PutIcon(m_picHeadphones2, rest);
}

void CPageCfg::SetTestButtonText(UINT stringId) const {
  ::SetDlgItemTextA(m_hWnd, IDC_TEST, fw::LoadStr(stringId).c_str());
}

void CPageCfg::ToneFile(const char* name, char path[260]) const {
  std::snprintf(path, 260, "%s%s", m_pServices->ProgramDir(), name);
}

LRESULT CPageCfg::OnOutputSelChange(WPARAM, LPARAM) {
  HandleOutputSelection();
  return 0;
}

LRESULT CPageCfg::OnTestClicked(WPARAM, LPARAM) {
  PutIcon(m_picRight, IDI_RIGHT_REST);
  PutIcon(m_picRight2, IDI_RIGHT2_REST);
  PutIcon(m_picLeft, IDI_LEFT_REST);
  PutIcon(m_picLeft2, IDI_LEFT2_REST);
  PutHeadphoneRest();

  if (m_bTestRunning == 1) {
    m_bTestRunning = 0;
    m_player.Stop();
    m_player.ReleaseAll();
    SetTestButtonText(IDS_BEGIN_TEST);
    return 0;
  }
  char path[260];
  ToneFile("l.wav", path);
  if (m_player.LoadWave(path)) {
    m_player.SetPan(-10000);
    m_player.Play();
    m_nTestStep = 1;
    m_bTestRunning = 1;
    SetTestButtonText(IDS_END_TEST);
  } else {
    m_player.ReleaseAll();
  }
  return 0;
}

LRESULT CPageCfg::OnTimerMessage(WPARAM wParam, LPARAM) {
  if (wParam == kTestTimerId && m_bTestRunning) {
    if (!m_player.IsDone()) {
      Blink();
    } else {
      m_player.Stop();
      m_player.ReleaseAll();
      m_bTestRunning = 0;
      if (m_nTestStep == 1) {
        PutIcon(m_picLeft, IDI_LEFT_REST);
        PutIcon(m_picLeft2, IDI_LEFT2_REST);
        PutHeadphoneRest();
        char path[260];
        ToneFile("r.wav", path);
        if (m_player.LoadWave(path)) {
          m_player.SetPan(10000);
          m_player.Play();
          m_bTestRunning = 1;
          m_nTestStep = 2;
        } else {
          m_player.ReleaseAll();
          SetTestButtonText(IDS_BEGIN_TEST);
        }
      } else {
        PutIcon(m_picRight, IDI_RIGHT_REST);
        PutIcon(m_picRight2, IDI_RIGHT2_REST);
        PutHeadphoneRest();
        SetTestButtonText(IDS_BEGIN_TEST);
      }
    }
  }
  return Default();
}

void CPageCfg::Blink() {
  const int index = m_output.GetCurSel();
  const fw::CStatic* picture = nullptr;
  UINT first = 0, second = 0;
  if (index == kHeadphones) {
    picture = &m_picHeadphones;
    first = m_nTestStep == 1 ? IDI_HEADPHONES_LEFT1 : IDI_HEADPHONES_RIGHT1;
    second = m_nTestStep == 1 ? IDI_HEADPHONES_LEFT2 : IDI_HEADPHONES_RIGHT2;
  } else if (index == kExternalSpeakers) {
    picture = m_nTestStep == 1 ? &m_picLeft : &m_picRight;
    first = m_nTestStep == 1 ? IDI_LEFT_BLINK1 : IDI_RIGHT_BLINK1;
    second = m_nTestStep == 1 ? IDI_LEFT_BLINK2 : IDI_RIGHT_BLINK2;
  } else {
    return;
  }
  const UINT frame = m_nBlinkFrame != first ? first : second;
  PutIcon(*picture, frame);
  m_nBlinkFrame = frame;
}

void CPageCfg::EndTestFromLifeCycle() {
  if (m_bTestRunning == 1) SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(IDC_TEST)));
}

LRESULT CPageCfg::OnRenderModeClicked(WPARAM, LPARAM) {
  const int before = m_nRenderMode;
  UpdateData(TRUE);
  if (m_nRenderMode == before) return 0;
  if (fw::AfxMessageBox(IDS_REBOOT_QUESTION, MB_YESNO | MB_ICONQUESTION) == IDYES) {
    // Takes effect at the next system start; 1 is not a mode of ours.
    settings::WriteDword(catalogue::TrivoxMode, catalogue::TrivoxModeForIndex(m_nRenderMode));
  } else {
    m_nRenderMode = before;
    UpdateData(FALSE);
  }
  return 0;
}

BOOL CPageCfg::OnSetActive() {
  if (m_pToolTip) m_pServices->SetToolTipOwner(m_pToolTip.get(), m_hWnd);
  return fw::CPropertyPage::OnSetActive();
}

BOOL CPageCfg::OnKillActive() {
  EndTestFromLifeCycle();
  m_pServices->SetToolTipOwner(nullptr, nullptr);
  return fw::CPropertyPage::OnKillActive();
}

void CPageCfg::OnCancel() {
  if (m_nTimer) {
    KillTimer(m_nTimer);
    m_nTimer = 0;
  }
  EndTestFromLifeCycle();
  fw::CPropertyPage::OnCancel();
}

BOOL CPageCfg::OnApply() { return fw::CPropertyPage::OnApply(); }

LRESULT CPageCfg::OnDestroyMessage(WPARAM, LPARAM) {
  const LRESULT r = Default();
  if (m_nTimer) {
    KillTimer(m_nTimer);
    m_nTimer = 0;
  }
  EndTestFromLifeCycle();
  return r;
}
