#include "controlpanel/shell/PropSheet.h"

#include "controlpanel/settings/Settings.h"

BEGIN_MESSAGE_MAP(CPropSheet, fw::CPropertySheet)
  ON_MESSAGE(WM_DESTROY, OnDestroy)
END_MESSAGE_MAP()

CPropSheet::CPropSheet(UINT captionId, fw::CWnd* parent, UINT selectPage)
    : fw::CPropertySheet(captionId, parent, selectPage) {
  if (IsWindowsNT()) {
    AddPage(&m_pageMIDI);
    AddPage(&m_pagePrefs);
  } else {
    AddPage(&m_pageCfg);
    AddPage(&m_page3D);
    AddPage(&m_pageMIDI);
    AddPage(&m_pagePrefs);
  }
}

BOOL CPropSheet::OnInitDialog() {
  BOOL result = fw::CPropertySheet::OnInitDialog();

  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(m_hWnd, &wp);
  LONG width = wp.rcNormalPosition.right - wp.rcNormalPosition.left;
  LONG height = wp.rcNormalPosition.bottom - wp.rcNormalPosition.top;
  LONG left = wp.rcNormalPosition.left, top = wp.rcNormalPosition.top;
  DWORD page = catalogue::kDefaultPropSheetPage;

  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, catalogue::K2.path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    auto read = [key](const char* name, DWORD* out) {
      DWORD value = 0, size = sizeof value;
      bool ok = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS;
      if (ok) *out = value;
      return ok;
    };
    DWORD storedLeft = 0, storedTop = 0;
    bool haveLeft = read(catalogue::PropSheetLeft.name, &storedLeft);
    bool haveTop = read(catalogue::PropSheetTop.name, &storedTop);
    read(catalogue::PropSheetPage.name, &page);
    RegCloseKey(key);
    left = catalogue::SheetCoordinate(haveLeft, storedLeft, left);
    top = catalogue::SheetCoordinate(haveTop, storedTop, top);
  }

  wp.rcNormalPosition = {left, top, left + width, top + height};
  SetWindowPlacement(m_hWnd, &wp);
  if (page != catalogue::kKeepFirstPage) SetActivePage(static_cast<int>(page));
  return result;
}

LRESULT CPropSheet::OnDestroy(WPARAM, LPARAM) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(m_hWnd, &wp);
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, catalogue::K2.path, 0, KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                    &key) == ERROR_SUCCESS) {
    auto write = [key](const char* name, DWORD value) {
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    };
    write(catalogue::PropSheetPage.name, static_cast<DWORD>(GetActiveIndex()));
    write(catalogue::PropSheetLeft.name, static_cast<DWORD>(wp.rcNormalPosition.left));
    write(catalogue::PropSheetTop.name, static_cast<DWORD>(wp.rcNormalPosition.top));
    RegCloseKey(key);
  }
  return Default();
}
