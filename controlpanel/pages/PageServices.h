// What the pages of the property sheet need from the program around them. The sheet hands
// it to every page it makes, so that the pages know nothing of the application or its frame.
#pragma once
#include <windows.h>

namespace fw {
class CToolTipCtrl;
}

class CPageServices {
 public:
  virtual ~CPageServices() = default;

  // The platform family, decided once at start-up: true on NT, false on 9x.
  virtual bool IsNtFamily() const = 0;
  // Short (8.3) form of the program's directory, with drive, ending in a backslash.
  virtual const char* ProgramDir() const = 0;

  // The active page's tooltips get the messages of the sheet's modal loop; nullptr ends it.
  virtual void SetToolTipOwner(fw::CToolTipCtrl* tip, HWND owner) = 0;
  virtual BYTE ToolTips() const = 0;
  // Switches every page's tooltips and stores the choice; 1 when stored.
  virtual int SetToolTipsEnable(BYTE on) = 0;

  // The stored "TaskBarIconEnable" switch.
  virtual int TaskBarIcon() const = 0;
  virtual void SetTaskBarIcon(int on) = 0;
  // Puts the tray icon up or takes it down, while the program's tray window exists.
  virtual void ShowTrayIcon(bool show) = 0;

  // The card's board identifier as the Preferences page found it, for the About box.
  virtual void SetBoardId(WORD id) = 0;
};
