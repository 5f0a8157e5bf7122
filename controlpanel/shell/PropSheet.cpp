#include "controlpanel/shell/PropSheet.h"

#include "shared/settings/Store.h"

BEGIN_MESSAGE_MAP(CPropSheet, fw::CPropertySheet)
  ON_MESSAGE(WM_DESTROY, OnDestroy)
END_MESSAGE_MAP()

CPropSheet::CPropSheet(CPageServices& services, UINT captionId, fw::CWnd* parent, UINT selectPage)
    : fw::CPropertySheet(captionId, parent, selectPage),
      m_pageCfg(services),
      m_pagePrefs(services),
      m_page3D(services),
      m_pageMIDI(services) {
  if (services.IsNtFamily()) {
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
  DWORD page = catalogue::PropSheetPage.byDefault.number;

  const settings::Key key(catalogue::kUserPreferences, KEY_READ, settings::Open::Existing);
  if (key.IsOpen()) {
    // A value that cannot be read keeps what is there.
    auto read = [&key](const catalogue::Value& v, DWORD* out) {
      DWORD value = 0;
      const bool ok = settings::ReadDword(key, v.name, &value) != 0;
      if (ok) *out = value;
      return ok;
    };
    DWORD storedLeft = 0, storedTop = 0;
    const bool haveLeft = read(catalogue::PropSheetLeft, &storedLeft);
    const bool haveTop = read(catalogue::PropSheetTop, &storedTop);
    read(catalogue::PropSheetPage, &page);
    left = catalogue::SheetCoordinate(haveLeft, storedLeft, left);
    top = catalogue::SheetCoordinate(haveTop, storedTop, top);
    // A position stored on a larger screen, or by another program, must not lose the sheet.
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    left = catalogue::KeepOnScreen(left, width, vx, vx + GetSystemMetrics(SM_CXVIRTUALSCREEN));
    top = catalogue::KeepOnScreen(top, height, vy, vy + GetSystemMetrics(SM_CYVIRTUALSCREEN));
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
  // The key is not created here: a missing one stores nothing.
  const settings::Key key(catalogue::kUserPreferences, KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                          settings::Open::Existing);
  settings::WriteDword(key, catalogue::PropSheetPage.name, static_cast<DWORD>(GetActiveIndex()));
  settings::WriteDword(key, catalogue::PropSheetLeft.name, static_cast<DWORD>(wp.rcNormalPosition.left));
  settings::WriteDword(key, catalogue::PropSheetTop.name, static_cast<DWORD>(wp.rcNormalPosition.top));
  return Default();
}
