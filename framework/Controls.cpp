#include "framework/Controls.h"

#include "framework/App.h"

namespace fw {

CToolTipCtrl::~CToolTipCtrl() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
  m_hWnd = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, parent ? parent->m_hWnd : nullptr, nullptr,
                           AfxGetInstanceHandle(), nullptr);
  return m_hWnd != nullptr;
}

BOOL CToolTipCtrl::AddTool(CWnd* parent, int controlId, const char* text) const {
  TTTOOLINFOA ti{};
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.uFlags = TTF_IDISHWND;
  ti.hwnd = parent->m_hWnd;
  ti.uId = reinterpret_cast<UINT_PTR>(parent->GetDlgItem(controlId));
  ti.hinst = nullptr;
  ti.lpszText = const_cast<char*>(text);
  return static_cast<BOOL>(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

BOOL CMenu::LoadMenu(UINT id) {
  DestroyMenu();
  m_hMenu = ::LoadMenuA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(id));
  return m_hMenu != nullptr;
}

BOOL CMenu::DestroyMenu() {
  HMENU m = Detach();
  return m && ::IsMenu(m) ? ::DestroyMenu(m) : FALSE;
}

}  // namespace fw
