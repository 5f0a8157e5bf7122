#include "controlpanel/pages/PagePrefs.h"

#include "controlpanel/pages/PagePrefsRules.h"
#include "controlpanel/pages/PageServices.h"
#include "controlpanel/res/resource.h"
#include "controlpanel/trace/DebugTrace.h"
#include "shared/settings/Settings.h"
#include "shared/settings/Store.h"
#include "framework/Util.h"

namespace {

constexpr UINT_PTR kPollTimerId = 512;
constexpr UINT kPollMs = 500;

const int kEqGroup[] = {IDC_EQ_GROUP, IDC_EQ_ENABLE, IDC_EQ_INPUT_LABEL, IDC_EQ_INPUT};

}  // namespace

BEGIN_MESSAGE_MAP(CPagePrefs, fw::CPropertyPage)
  ON_BN_CLICKED(IDC_TASKBAR, OnTaskBarClicked)
  ON_BN_CLICKED(IDC_TOOLTIPS, OnToolTipsClicked)
  ON_BN_CLICKED(IDC_DISABLE_DSHWBUF, OnDisableDsHwBufClicked)
  ON_BN_CLICKED(IDC_EQ_ENABLE, OnEqEnableClicked)
  ON_CBN_SELCHANGE(IDC_EQ_INPUT, OnEqInputSelChange)
  ON_MESSAGE(WM_TIMER, OnTimerMessage)
  ON_MESSAGE(WM_DESTROY, OnDestroyMessage)
END_MESSAGE_MAP()

CPagePrefs::CPagePrefs(CPageServices& services) : fw::CPropertyPage(IDD_PAGE_PREFS), m_pServices(&services) {
  m_bTaskBarIcon = m_pServices->TaskBarIcon();
  m_bToolTips = m_pServices->ToolTips();

  // Other software of the card expects "Default_Board"; only its existence is ours.
  const settings::Key key(catalogue::kTrivoxShared, 0, settings::Open::ExistingAllowed);
  DWORD board = 0;
  if (key.IsOpen() && !settings::ReadDword(key, catalogue::DefaultBoard.name, &board))
    settings::WriteDword(key, catalogue::DefaultBoard.name, catalogue::DefaultBoard.byDefault.number);
}

CPagePrefs::~CPagePrefs() {
  m_pToolTip.reset();
  if (!m_pServices->IsNtFamily()) m_wave.Reset();
  m_pSpeaker.reset();
}

void CPagePrefs::DoDataExchange(fw::CDataExchange* dx) {
  fw::CPropertyPage::DoDataExchange(dx);
  fw::DDX_Control(dx, IDC_EQ_ENABLE, m_eqEnable);
  fw::DDX_Control(dx, IDC_EQ_INPUT, m_eqInput);
  fw::DDX_Control(dx, IDC_PREFS_ICON, m_icon);
  fw::DDX_Check(dx, IDC_TASKBAR, m_bTaskBarIcon);
  fw::DDX_Check(dx, IDC_TOOLTIPS, m_bToolTips);
  fw::DDX_Check(dx, IDC_DISABLE_DSHWBUF, m_bDisableDsHwBuf);
}

BOOL CPagePrefs::OnInitDialog() {
  fw::CPropertyPage::OnInitDialog();
  const bool nt = m_pServices->IsNtFamily();
  if (nt) ShowItem(IDC_DISABLE_DSHWBUF, false);

  m_pToolTip = std::make_unique<fw::CToolTipCtrl>();
  if (!m_pToolTip->Create(this, TTS_ALWAYSTIP)) {
    m_pToolTip.reset();
  } else {
    static const struct {
      int control;
      UINT text;
    } tools[] = {{IDC_TASKBAR, IDS_TIP_TASKBAR},
                 {IDC_TOOLTIPS, IDS_TIP_TOOLTIPS},
                 {IDC_EQ_ENABLE, IDS_TIP_EQ},
                 {IDC_EQ_INPUT, IDS_TIP_EQ_INPUT}};
    for (const auto& t : tools) m_pToolTip->AddTool(this, t.control, fw::LoadStr(t.text).c_str());
    if (!nt) m_pToolTip->AddTool(this, IDC_DISABLE_DSHWBUF, fw::LoadStr(IDS_TIP_DISABLE_DSHWBUF).c_str());
  }

  if (!nt) {
    m_pSpeaker = std::make_unique<CSpeakerLink>();
    if (m_pSpeaker->Initialize(&m_audioInfo, nullptr) == kKvOk) {
      m_bSpeakerReady = 1;
      m_pServices->SetBoardId(m_audioInfo.boardId);
      m_bEqSupported = m_audioInfo.boardId == kBoardWithSpeakerEq;
    }
  }
  if (m_bEqSupported) {
    SetUpEqualiser();
  } else {
    m_pSpeaker.reset();
    for (int id : kEqGroup) ShowItem(id, false);
  }

  if (!nt) {
    m_wave.Reset(OpenDevice9x(kWaveDriverFile));
    DWORD flag = 0;
    GetDisableDsHwBuf(m_wave.Get(), &flag);
    m_bDisableDsHwBuf = static_cast<int>(flag);
  }
  UpdateData(FALSE);
  if (m_bEqSupported) StartPoll();
  return TRUE;
}

void CPagePrefs::SetUpEqualiser() {
  if (!m_bSpeakerReady) {
    EnableEqGroup(false);
    return;
  }
  if (m_pSpeaker->GetStatus(&m_eqRecord, 0) != kKvOk) {
    EnableEqGroup(false);
    m_bEqControlsEnabled = 0;
    return;
  }
  const bool on = (m_eqRecord.flags & kEqFlagOn) != 0;
  m_eqEnable.SetCheck(on ? BST_CHECKED : BST_UNCHECKED);

  m_eqInput.ResetContent();
  m_eqInput.AddString(fw::LoadStr(IDS_EQ_NONE).c_str());
  const int names = prefs::EqInputsToShow(m_audioInfo.inputCount);
  for (int i = 0; i < names; ++i)
    m_eqInput.AddString(prefs::EqInputName(m_audioInfo.inputNames[i], kAudioInfoNameSize).c_str());
  m_nAcceptedInput = prefs::EqListPosition(m_eqRecord.input, names + 1);
  m_eqInput.SetCurSel(m_nAcceptedInput);

  EnableEqInput(on);
  if (m_eqRecord.status & kEqUnavailableNow) {
    EnableEqGroup(false);
    m_bEqControlsEnabled = 0;
  } else {
    m_bEqControlsEnabled = 1;
  }
}

void CPagePrefs::EnableEqGroup(bool enable) const {
  for (int id : kEqGroup) EnableItem(id, enable);
}

void CPagePrefs::EnableEqInput(bool enable) const {
  EnableItem(IDC_EQ_INPUT_LABEL, enable);
  EnableItem(IDC_EQ_INPUT, enable);
}

void CPagePrefs::StartPoll() {
  StopPoll();
  m_nTimer = SetTimer(kPollTimerId, kPollMs);
}

void CPagePrefs::StopPoll() {
  if (m_nTimer) {
    KillTimer(m_nTimer);
    m_nTimer = 0;
  }
}

LRESULT CPagePrefs::OnTimerMessage(WPARAM, LPARAM) {
  if (m_bSpeakerReady && m_pSpeaker) {
    const bool ok = m_pSpeaker->GetStatus(&m_eqRecord, 0) == kKvOk;
    const bool on = (m_eqRecord.flags & kEqFlagOn) != 0;
    if (ok && !(m_eqRecord.status & kEqUnavailableNow)) {
      if (!m_bEqControlsEnabled) {
        EnableEqGroup(true);
        m_eqEnable.SetCheck(on ? BST_CHECKED : BST_UNCHECKED);
        EnableEqInput(m_eqEnable.GetCheck() == BST_CHECKED);
      }
      m_bEqControlsEnabled = 1;
    } else {
      if (m_bEqControlsEnabled) {
        m_eqEnable.SetCheck(on ? BST_CHECKED : BST_UNCHECKED);
        EnableEqGroup(false);
      }
      m_bEqControlsEnabled = 0;
    }
  }
  return Default();
}

LRESULT CPagePrefs::OnEqEnableClicked(WPARAM, LPARAM) {
  if (!m_pSpeaker) return 0;
  m_eqRecord.mask = kEqFieldOnOff;
  const bool on = m_eqEnable.GetCheck() == BST_CHECKED;
  m_eqRecord.flags = static_cast<uint16_t>(on ? (m_eqRecord.flags | kEqFlagOn) : (m_eqRecord.flags & ~kEqFlagOn));
  EnableEqInput(on);
  m_pSpeaker->SetConfig(&m_eqRecord, 0);
  return 0;
}

LRESULT CPagePrefs::OnEqInputSelChange(WPARAM, LPARAM) {
  if (!m_pSpeaker) return 0;
  m_eqRecord.mask = kEqFieldInput;
  m_eqRecord.input = prefs::EqInputIndex(m_eqInput.GetCurSel());
  if (m_pSpeaker->SetConfig(&m_eqRecord, 0) != 0)
    m_nAcceptedInput = m_eqRecord.input + 1;
  else
    m_eqInput.SetCurSel(m_nAcceptedInput);
  return 0;
}

void CPagePrefs::SetRunValue(bool present) const {
  const settings::Key key(catalogue::kRunAtLogon, KEY_WRITE, settings::Open::Existing);
  if (present)
    settings::WriteString(key, catalogue::ResonixTrivoxControl.name,
                          prefs::RunCommand(m_pServices->ProgramDir()).c_str(), settings::Zero::Drop);
  else
    settings::DeleteValue(key, catalogue::ResonixTrivoxControl.name);
}

LRESULT CPagePrefs::OnTaskBarClicked(WPARAM, LPARAM) {
  UpdateData(TRUE);
  const bool on = m_bTaskBarIcon == 1;
  SetRunValue(on);
  m_pServices->ShowTrayIcon(on);
  m_pServices->SetTaskBarIcon(m_bTaskBarIcon);
  return 0;
}

LRESULT CPagePrefs::OnToolTipsClicked(WPARAM, LPARAM) {
  UpdateData(TRUE);
  m_pServices->SetToolTipsEnable(static_cast<BYTE>(m_bToolTips));
  return 0;
}

LRESULT CPagePrefs::OnDisableDsHwBufClicked(WPARAM, LPARAM) {
  const int before = m_bDisableDsHwBuf;
  UpdateData(TRUE);
  bool ok = false;
  if (!m_pServices->IsNtFamily() && m_wave.IsValid()) {
    ok = SetDisableDsHwBuf(m_wave.Get(), static_cast<DWORD>(m_bDisableDsHwBuf)) != 0;
    if (ok) {
      const DWORD value = static_cast<DWORD>(m_bDisableDsHwBuf);
      SettingsWriteDword(settings::RootOf(*catalogue::DisableDsHwBuf.key), catalogue::DisableDsHwBuf.key->path,
                         catalogue::DisableDsHwBuf.name, &value);
    } else {
      DebugTrace("Failed to disable/enable DirectSound hardware acceleration");
    }
  }
  if (!ok) {
    m_bDisableDsHwBuf = before;
    ::CheckDlgButton(m_hWnd, IDC_DISABLE_DSHWBUF, static_cast<UINT>(before));
  }
  return 0;
}

BOOL CPagePrefs::OnSetActive() {
  m_pServices->SetToolTipOwner(m_pToolTip.get(), m_pToolTip ? m_hWnd : nullptr);
  if (m_bEqSupported) StartPoll();
  return fw::CPropertyPage::OnSetActive();
}

BOOL CPagePrefs::OnKillActive() {
  m_pServices->SetToolTipOwner(nullptr, nullptr);
  StopPoll();
  return fw::CPropertyPage::OnKillActive();
}

BOOL CPagePrefs::OnApply() { return fw::CPropertyPage::OnApply(); }

LRESULT CPagePrefs::OnDestroyMessage(WPARAM, LPARAM) {
  const LRESULT r = Default();
  StopPoll();
  return r;
}
