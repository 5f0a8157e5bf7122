// The "Preferences" page: tray icon and log-on start, tooltips, DirectSound hardware
// acceleration, and the speaker equaliser of boards that have one.
#pragma once
#include <memory>

#include "controlpanel/driver/SpeakerLink.h"
#include "controlpanel/driver/DriverControl.h"
#include "framework/Controls.h"
#include "framework/PropSheet.h"

class CPageServices;

class CPagePrefs : public fw::CPropertyPage {
  DECLARE_MESSAGE_MAP()
 public:
  explicit CPagePrefs(CPageServices& services);
  ~CPagePrefs() override;

  void DoDataExchange(fw::CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  BOOL OnApply() override;
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;

 protected:
  LRESULT OnTaskBarClicked(WPARAM, LPARAM);
  LRESULT OnToolTipsClicked(WPARAM, LPARAM);
  LRESULT OnDisableDsHwBufClicked(WPARAM, LPARAM);
  LRESULT OnEqEnableClicked(WPARAM, LPARAM);
  LRESULT OnEqInputSelChange(WPARAM, LPARAM);
  LRESULT OnTimerMessage(WPARAM, LPARAM);
  LRESULT OnDestroyMessage(WPARAM, LPARAM);

 private:
  void SetUpEqualiser();
  void EnableEqGroup(bool enable) const;
  void EnableEqInput(bool enable) const;
  void SetRunValue(bool present) const;
  void StartPoll();
  void StopPoll();

  fw::CButton m_eqEnable;   // 1164
  fw::CComboBox m_eqInput;  // 1166
  fw::CStatic m_icon;       // 1037
  int m_bTaskBarIcon = 0;
  int m_bToolTips = 0;
  int m_bDisableDsHwBuf = 0;
  CDeviceHandle m_wave;
  CPageServices* const m_pServices;
  std::unique_ptr<fw::CToolTipCtrl> m_pToolTip;
  int m_bEqSupported = 0;
  std::unique_ptr<CSpeakerLink> m_pSpeaker;
  TAudioInfo m_audioInfo{};
  SpeakerEqRecord m_eqRecord{};
  int m_nAcceptedInput = 0;
  UINT_PTR m_nTimer = 0;
  int m_bSpeakerReady = 0;
  int m_bEqControlsEnabled = 0;
};
