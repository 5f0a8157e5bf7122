// The About box of the system menu.
#pragma once
#include "framework/Dialog.h"
#include "player/res/resource.h"

class CPlayerAboutDlg : public fw::CDialog {
 public:
  explicit CPlayerAboutDlg(fw::CWnd* parent = nullptr) : fw::CDialog(IDD_ABOUTBOX, parent) {}
};
