// The "MIDI" page: the wavetable synthesizer's effects, reverb and chorus levels and voice
// mode, the DOS-box MIDI destination and the instrument-bank download.
#pragma once
#include <memory>

#include "controlpanel/driver/DriverControl.h"
#include "controlpanel/pages/PageMIDIRules.h"
#include "framework/Controls.h"
#include "framework/PropSheet.h"

class CPageServices;

class CPageMIDI : public fw::CPropertyPage {
  DECLARE_MESSAGE_MAP()
 public:
  explicit CPageMIDI(CPageServices& services);
  ~CPageMIDI() override;

  void DoDataExchange(fw::CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  BOOL OnApply() override;
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;

 protected:
  LRESULT OnEffectsClicked(WPARAM, LPARAM);
  LRESULT OnHScroll(WPARAM, LPARAM);
  LRESULT OnModeClicked(WPARAM, LPARAM);
  LRESULT OnDestinationSelChange(WPARAM, LPARAM);
  LRESULT OnDownloadClicked(WPARAM, LPARAM);

 private:
  void ApplyNtLayout() const;
  void FillDestinations();
  void StoreMidiInPort(const std::string& driverName) const;
  void InitModeAndEffects();
  void InitSliders();
  void AddToolTips();

  fw::CSliderCtrl m_chorus;         // 1049
  fw::CSliderCtrl m_reverb;         // 1051
  fw::CComboBox m_destination;      // 4003
  int m_bEffects = 1;               // check box 1148
  int m_nMode = 0;                  // radio group 4000..4002
  CPageServices* const m_pServices;
  CDeviceHandle m_wavetable;
  std::unique_ptr<fw::CToolTipCtrl> m_pToolTip;
  int m_nRememberedDestination = -1;
  int m_nChorus = 0;
  int m_nReverb = 0;
  char m_destinationNames[midi::kMaxDevices][midi::kEntrySize] = {};
};
