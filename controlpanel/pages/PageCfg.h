// The "Config" page of the property sheet: the device on the card's output, the output
// test with its blinking pictures, and the Trivox rendering mode.
#pragma once
#include <memory>

#include "controlpanel/driver/DriverControl.h"
#include "controlpanel/wave/Playfree.h"
#include "framework/Controls.h"
#include "framework/PropSheet.h"

class CPageServices;

class CPageCfg : public fw::CPropertyPage {
  DECLARE_MESSAGE_MAP()
 public:
  explicit CPageCfg(CPageServices& services);
  ~CPageCfg() override;

  void DoDataExchange(fw::CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
  BOOL OnApply() override;
  BOOL OnSetActive() override;
  BOOL OnKillActive() override;

  int m_nRenderMode = 0;

 protected:
  LRESULT OnOutputSelChange(WPARAM, LPARAM);
  LRESULT OnTimerMessage(WPARAM, LPARAM);
  LRESULT OnDestroyMessage(WPARAM, LPARAM);
  LRESULT OnTestClicked(WPARAM, LPARAM);
  LRESULT OnRenderModeClicked(WPARAM, LPARAM);

 private:
  // Process-wide: cleared by the first output selection of any Config page, so the first
  // page shows what the driver already has and later pages send the stored choice again.
  static bool s_bFirstOutputCall;

  void HandleOutputSelection();
  void InitRenderMode();
  void PutIcon(const fw::CStatic& picture, UINT icon) const;
  void PutHeadphoneRest() const;
  void Blink();
  void EndTestFromLifeCycle();
  void SetTestButtonText(UINT stringId) const;
  void ToneFile(const char* name, char path[260]) const;

  fw::CStatic m_picLeft;         // 1089
  fw::CStatic m_picRight;        // 1090
  fw::CStatic m_picRight2;       // 1091
  fw::CStatic m_picLeft2;        // 1092
  fw::CStatic m_picHeadphones;   // 1094
  fw::CStatic m_picHeadphones2;  // 1095
  fw::CComboBox m_output;        // 1008

  CPageServices* const m_pServices;
  CDeviceHandle m_core;
  std::unique_ptr<fw::CToolTipCtrl> m_pToolTip;
  int m_nLastOutput = -1;
  UINT_PTR m_nTimer = 0;
  int m_bTestRunning = 0;
  int m_nTestStep = 0;
  CTonePlayer m_player;
  UINT m_nBlinkFrame = 0;
};
