// The warning shown at start-up when the card's driver cannot be opened.
#pragma once
#include "framework/Dialog.h"

class CDriverWarningDlg : public fw::CDialog {
  DECLARE_MESSAGE_MAP()
 public:
  CDriverWarningDlg();
  void OnOK() override;
  void DoDataExchange(fw::CDataExchange* dx) override;

  int m_bDisableWarning = 0;

 protected:
  LRESULT OnCreate(WPARAM, LPARAM);
};
