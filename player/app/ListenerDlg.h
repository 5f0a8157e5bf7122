// Distance, Doppler and rolloff factors of the listener of the current engine.
#pragma once
#include "framework/Controls.h"
#include "framework/Dialog.h"

class CSound3D;

class CListenerDlg : public fw::CDialog {
  DECLARE_MESSAGE_MAP()
 public:
  CListenerDlg(CSound3D* sound, fw::CWnd* parent);
  BOOL OnInitDialog() override;
  void DoDataExchange(fw::CDataExchange* dx) override;

  // Slider positions are tenths of the factor.
  static constexpr int kMaxPos = 100;

 private:
  LRESULT OnHScroll(WPARAM, LPARAM);
  void Show(int row, float factor);

  fw::CStatic m_wndText[3];     // distance, Doppler, rolloff
  fw::CSliderCtrl m_wndSlider[3];
  CSound3D* m_pSound;
};
