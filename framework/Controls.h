// Thin wrappers over the controls the programs use. None owns its window except the
// tooltip control, which the page creates and deletes.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "framework/Wnd.h"

namespace fw {

class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

class CStatic : public CWnd {
 public:
  HICON SetIcon(HICON icon) const { return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon))); }
};

class CComboBox : public CWnd {
 public:
  int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
  int SetCurSel(int i) const { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(i))); }
  int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
  int AddString(const char* s) const { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s))); }
  int InsertString(int i, const char* s) const {
    return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s)));
  }
  void ResetContent() const { SendMessage(CB_RESETCONTENT); }
  DWORD_PTR GetItemData(int i) const { return static_cast<DWORD_PTR>(SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(i))); }
  int SetItemData(int i, DWORD_PTR d) const {
    return static_cast<int>(SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(i), static_cast<LPARAM>(d)));
  }
};

class CSliderCtrl : public CWnd {
 public:
  int GetPos() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
  void SetPos(int pos) const { SendMessage(TBM_SETPOS, TRUE, pos); }
  void SetRange(int lo, int hi, BOOL redraw = FALSE) const { SendMessage(TBM_SETRANGE, static_cast<WPARAM>(redraw), MAKELPARAM(lo, hi)); }
  void SetTicFreq(int f) const { SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(f)); }
};

class CToolTipCtrl : public CWnd {
 public:
  ~CToolTipCtrl() override;
  BOOL Create(CWnd* parent, DWORD style = 0);
  // Adds a tool for a control of the parent; the text is copied by the control.
  BOOL AddTool(CWnd* parent, int controlId, const char* text) const;
  void Activate(BOOL on) const { SendMessage(TTM_ACTIVATE, static_cast<WPARAM>(on)); }
  void RelayEvent(LPMSG msg) const { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
};

class CMenu {
 public:
  CMenu() = default;
  ~CMenu() { DestroyMenu(); }
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  BOOL LoadMenu(UINT id);
  BOOL Attach(HMENU m) {
    m_hMenu = m;
    return m != nullptr;
  }
  HMENU Detach() {
    HMENU m = m_hMenu;
    m_hMenu = nullptr;
    return m;
  }
  HMENU GetSubMenu(int pos) const { return ::GetSubMenu(m_hMenu, pos); }
  // Destroys the menu with its sub-menus; a menu that is already gone is left alone.
  BOOL DestroyMenu();
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) const {
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner->m_hWnd, nullptr);
  }
  HMENU m_hMenu = nullptr;
};

}  // namespace fw
