// The About box: program version, installed release and the card's board id.
#pragma once
#include "framework/Dialog.h"

class CAboutDlg : public fw::CDialog {
  DECLARE_MESSAGE_MAP()
 public:
  CAboutDlg();
  BOOL OnInitDialog() override;

 private:
  void ShowVersionBlock();
  void ShowRelease();
  void ShowBoardId();
};
