// The About box: program version, installed release and the card's board id.
#pragma once
#include <windows.h>

#include "framework/Dialog.h"

class CAboutDlg : public fw::CDialog {
  DECLARE_MESSAGE_MAP()
 public:
  // boardId: what the Preferences page found, 0 when it has not looked.
  CAboutDlg(bool ntFamily, WORD boardId);
  BOOL OnInitDialog() override;

 private:
  void ShowVersionBlock();
  void ShowRelease();
  void ShowBoardId();

  bool m_bNtFamily;
  WORD m_wBoardId;
};
