#include "controlpanel/pages/PageMIDI.h"

#include <mmsystem.h>

#include <cstring>
#include <string>

#include "controlpanel/pages/BankDownload.h"
#include "controlpanel/pages/PageServices.h"
#include "controlpanel/res/resource.h"
#include "controlpanel/trace/DebugTrace.h"
#include "shared/settings/Store.h"
#include "framework/Util.h"

namespace {

constexpr int kLevelMax = static_cast<int>(catalogue::kEffectLevelMax);
constexpr int kTickFrequency = 21;

// A stored name that fits the page's buffers; one that does not counts as absent.
bool ReadName(const catalogue::Value& value, std::string* out) {
  char text[256];
  return settings::ReadString(value, text) && midi::FitName(text, out);
}

std::string NameOrDefault(const catalogue::Value& value) {
  std::string name;
  return ReadName(value, &name) ? name : value.byDefault.text;
}

// The product name of a MIDI device from the platform's capabilities query.
template <typename Caps>
midi::CapsQuery CapsOf(MMRESULT(WINAPI* query)(UINT_PTR, Caps*, UINT)) {
  static_assert(sizeof(Caps) == 44 || sizeof(Caps) == 52, "the platform's MIDI capabilities records");
  return [query](unsigned id, std::string* name, uint32_t* error) {
    Caps caps{};
    const MMRESULT r = query(id, &caps, sizeof caps);
    *error = r;
    if (r != MMSYSERR_NOERROR) return false;
    name->assign(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
    return true;
  };
}

}  // namespace

BEGIN_MESSAGE_MAP(CPageMIDI, fw::CPropertyPage)
  ON_BN_CLICKED(IDC_EFFECTS, OnEffectsClicked)
  ON_MESSAGE(WM_HSCROLL, OnHScroll)
  ON_BN_CLICKED(IDC_MODE0, OnModeClicked)
  ON_BN_CLICKED(IDC_MODE1, OnModeClicked)
  ON_BN_CLICKED(IDC_MODE2, OnModeClicked)
  ON_CBN_SELCHANGE(IDC_DOS_MIDI, OnDestinationSelChange)
  ON_BN_CLICKED(IDC_DOWNLOAD, OnDownloadClicked)
END_MESSAGE_MAP()

CPageMIDI::CPageMIDI(CPageServices& services) : fw::CPropertyPage(IDD_PAGE_MIDI), m_pServices(&services) {}

CPageMIDI::~CPageMIDI() {
  m_pToolTip.reset();
  m_wavetable.Reset();
}

void CPageMIDI::DoDataExchange(fw::CDataExchange* dx) {
  fw::CPropertyPage::DoDataExchange(dx);
  fw::DDX_Control(dx, IDC_CHORUS, m_chorus);
  fw::DDX_Control(dx, IDC_REVERB, m_reverb);
  fw::DDX_Control(dx, IDC_DOS_MIDI, m_destination);
  fw::DDX_Check(dx, IDC_EFFECTS, m_bEffects);
  fw::DDX_Radio(dx, IDC_MODE0, m_nMode);
}

BOOL CPageMIDI::OnInitDialog() {
  fw::CPropertyPage::OnInitDialog();
  const bool nt = m_pServices->IsNtFamily();
  if (nt)
    ApplyNtLayout();
  else
    FillDestinations();
  m_wavetable.Reset(OpenWavetableDevice(nt));
  InitModeAndEffects();
  InitSliders();
  UpdateData(FALSE);
  AddToolTips();
  return TRUE;
}

void CPageMIDI::ApplyNtLayout() const {
  ShowItem(IDC_DOS_GROUP, false);
  ShowItem(IDC_DOS_MIDI, false);
  RECT page;
  ::GetWindowRect(m_hWnd, &page);
  for (const auto& shift : midi::NtLayout()) {
    HWND control = GetDlgItem(shift.id);
    RECT r;
    ::GetWindowRect(control, &r);
    ::MoveWindow(control, r.left - page.left, r.top - page.top + shift.top, r.right - r.left,
                 r.bottom - r.top + shift.bottom - shift.top, TRUE);
  }
}

void CPageMIDI::StoreMidiInPort(const std::string& driverName) const {
  const unsigned count = midiInGetNumDevs();
  const int port = midi::FindInputDevice(count, CapsOf<MIDIINCAPSA>(midiInGetDevCapsA), driverName);
  if (port >= 0) settings::WriteDword(catalogue::BrisaMidiInDeviceID, static_cast<DWORD>(port));
}

void CPageMIDI::FillDestinations() {
  StoreMidiInPort(NameOrDefault(catalogue::MidiDriverName));
  const unsigned count = midiOutGetNumDevs();
  if (count == 0) {
    DebugTrace("IDS_WARNING_NO_MIDIOUT");
    return;
  }
  const std::string driverName = NameOrDefault(catalogue::MidiDriverName);
  const std::string wavetableName = NameOrDefault(catalogue::WavetableDriverName);
  std::string stored;
  const bool haveStored = ReadName(catalogue::MidiOutDeviceName, &stored);

  m_destination.ResetContent();
  const midi::Destinations plan = midi::PlanDestinations(
      count, CapsOf<MIDIOUTCAPSA>(midiOutGetDevCapsA), driverName, wavetableName, haveStored ? &stored : nullptr);
  for (size_t i = 0; i < plan.names.size(); ++i) {
    lstrcpynA(m_destinationNames[i], plan.names[i].c_str(), midi::kEntrySize);
    const int at = m_destination.InsertString(static_cast<int>(i), m_destinationNames[i]);
    m_destination.SetItemData(at, i);
  }
  for (const auto& w : plan.writes) {
    if (w.value == midi::Write::MidiOutDeviceName)
      settings::WriteString(catalogue::MidiOutDeviceName, w.text.c_str());
    else
      settings::WriteDword(w.value == midi::Write::MidiOutDeviceID ? catalogue::MidiOutDeviceID
                                                                    : catalogue::BrisaMidiOutDeviceID,
                           w.number);
  }
  if (plan.failed) {
    char text[256] = {};
    midiOutGetErrorTextA(plan.error, text, sizeof text);
    DebugTrace(text);
  }
  m_destination.SetCurSel(plan.selection);
  OnDestinationSelChange(0, 0);
}

void CPageMIDI::InitModeAndEffects() {
  const HANDLE h = m_wavetable.Get();
  DWORD stored = 0;
  if (catalogue::SoftSynthModeUsable(settings::ReadDword(catalogue::SoftSynthMode, &stored) != 0, stored)) {
    m_nMode = static_cast<int>(stored);
  } else {
    DWORD level = 0, perfClass = 0, feature = 0;
    const bool levelOk = GetPerformanceLevel(h, &level) != 0;
    const bool classOk = GetPerformanceClass(h, &perfClass) != 0;
    const bool featureOk = GetPerformanceFeature(h, &feature) != 0;
    m_nMode = static_cast<int>(DefaultSoftSynthMode(level, levelOk, perfClass, classOk, feature, featureOk));
  }
  if (settings::ReadDword(catalogue::BrisaWavetableEffect, &stored)) {
    m_bEffects = static_cast<int>(stored);
  } else {
    DWORD level = 0, feature = 0;
    const bool levelOk = GetPerformanceLevel(h, &level) != 0;
    const bool featureOk = GetPerformanceFeature(h, &feature) != 0;
    m_bEffects = static_cast<int>(DefaultWavetableEffect(level, levelOk, feature, featureOk));
  }
  ::CheckDlgButton(m_hWnd, IDC_EFFECTS, m_bEffects ? BST_CHECKED : BST_UNCHECKED);
}

void CPageMIDI::InitSliders() {
  for (const fw::CSliderCtrl* slider : {&m_reverb, &m_chorus}) {
    slider->SetRange(0, kLevelMax, TRUE);
    slider->SetTicFreq(kTickFrequency);
  }
  DWORD level = 0;
  bool ok = settings::ReadDword(catalogue::ReverbAmount, &level) != 0;
  m_nReverb = static_cast<int>(catalogue::EffectLevelFromStore(ok, level));
  ok = settings::ReadDword(catalogue::ChorusAmount, &level) != 0;
  m_nChorus = static_cast<int>(catalogue::EffectLevelFromStore(ok, level));
  m_reverb.SetPos(m_nReverb);
  m_chorus.SetPos(m_nChorus);
}

void CPageMIDI::AddToolTips() {
  m_pToolTip = std::make_unique<fw::CToolTipCtrl>();
  if (!m_pToolTip->Create(this, TTS_ALWAYSTIP)) {
    m_pToolTip.reset();
    return;
  }
  static const struct {
    int control;
    UINT text;
  } tools[] = {{IDC_DOS_MIDI, IDS_TIP_DOS_MIDI}, {IDC_MODE0, IDS_TIP_MODE0},     {IDC_MODE1, IDS_TIP_MODE1},
               {IDC_MODE2, IDS_TIP_MODE2},       {IDC_REVERB, IDS_TIP_REVERB},   {IDC_CHORUS, IDS_TIP_CHORUS},
               {IDC_EFFECTS, IDS_TIP_EFFECTS},   {IDC_DOWNLOAD, IDS_TIP_DOWNLOAD}};
  for (const auto& t : tools) m_pToolTip->AddTool(this, t.control, fw::LoadStr(t.text).c_str());
}

LRESULT CPageMIDI::OnEffectsClicked(WPARAM, LPARAM) {
  const int before = m_bEffects;
  UpdateData(TRUE);
  if (m_wavetable.IsValid() && SetWavetableEffect(m_wavetable.Get(), static_cast<DWORD>(m_bEffects))) {
    settings::WriteDword(catalogue::BrisaWavetableEffect, static_cast<DWORD>(m_bEffects));
    return 0;
  }
  DebugTrace("Failed to enable/disable wavetable effects!");
  m_bEffects = before;
  ::CheckDlgButton(m_hWnd, IDC_EFFECTS, before ? BST_CHECKED : BST_UNCHECKED);
  return 0;
}

LRESULT CPageMIDI::OnHScroll(WPARAM, LPARAM lParam) {
  const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
  if (!m_wavetable.IsValid() && !m_pServices->IsNtFamily()) {
    DebugTrace("Failed to find BRS4WT.VxD");
    if (id == IDC_REVERB)
      m_reverb.SetPos(m_nReverb);
    else
      m_chorus.SetPos(m_nChorus);
  }
  if (id == IDC_CHORUS) {
    m_nChorus = m_chorus.GetPos();
    if (SetChorusAmount(m_wavetable.Get(), static_cast<DWORD>(m_nChorus)))
      settings::WriteDword(catalogue::ChorusAmount, static_cast<DWORD>(m_nChorus));
  } else if (id == IDC_REVERB) {
    m_nReverb = m_reverb.GetPos();
    if (SetReverbAmount(m_wavetable.Get(), static_cast<DWORD>(m_nReverb)))
      settings::WriteDword(catalogue::ReverbAmount, static_cast<DWORD>(m_nReverb));
  }
  return Default();
}

LRESULT CPageMIDI::OnModeClicked(WPARAM, LPARAM) {
  const int before = m_nMode;
  UpdateData(TRUE);
  if (!m_wavetable.IsValid() || m_nMode == before) return 0;
  if (SetSoftSynthMode(m_wavetable.Get(), static_cast<DWORD>(m_nMode))) {
    settings::WriteDword(catalogue::SoftSynthMode, static_cast<DWORD>(m_nMode));
    return 0;
  }
  DebugTrace("Failed to update wavetable mode");
  m_nMode = before;
  UpdateData(FALSE);
  return 0;
}

LRESULT CPageMIDI::OnDestinationSelChange(WPARAM, LPARAM) {
  const int selection = m_destination.GetCurSel();
  if (!midi::DestinationChanged(m_destination.GetCount(), selection, &m_nRememberedDestination)) return 0;
  if (selection < 0 || selection >= static_cast<int>(midi::kMaxDevices)) return 0;
  settings::WriteDword(catalogue::MidiOutDeviceID, static_cast<DWORD>(m_destination.GetItemData(selection)));
  settings::WriteString(catalogue::MidiOutDeviceName, m_destinationNames[selection]);
  return 0;
}

LRESULT CPageMIDI::OnDownloadClicked(WPARAM, LPARAM) {
  DownloadInstrumentBank(m_wavetable.Get());
  return 0;
}

BOOL CPageMIDI::OnSetActive() {
  m_pServices->SetToolTipOwner(m_pToolTip.get(), m_pToolTip ? m_hWnd : nullptr);
  return fw::CPropertyPage::OnSetActive();
}

BOOL CPageMIDI::OnKillActive() {
  m_pServices->SetToolTipOwner(nullptr, nullptr);
  return fw::CPropertyPage::OnKillActive();
}

BOOL CPageMIDI::OnApply() { return fw::CPropertyPage::OnApply(); }
