#include "framework/PropSheet.h"

#include "framework/App.h"

namespace fw {

// ---- page

BEGIN_MESSAGE_MAP(CPropertyPage, CDialog)
END_MESSAGE_MAP()

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId, nullptr), m_psp{} {
  m_psp.dwSize = sizeof(PROPSHEETPAGEA);
  m_psp.dwFlags = PSP_DEFAULT;
  m_psp.hInstance = AfxGetInstanceHandle();
  m_psp.pszTemplate = MAKEINTRESOURCEA(templateId);
  m_psp.pfnDlgProc = &CPropertyPage::PageDlgProc;
  m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

INT_PTR CALLBACK CPropertyPage::PageDlgProc(HWND hwnd, UINT msg, WPARAM, LPARAM lParam) {
  if (msg != WM_INITDIALOG) return FALSE;
  auto* page = reinterpret_cast<CPropertyPage*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
  page->Subclass(hwnd);
  page->ExecuteDlgInit();
  const BOOL focus = page->OnInitDialog();
  page->m_textFit.Fit(hwnd);
  return focus;
}

BOOL CPropertyPage::OnSetActive() { return TRUE; }
BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }
BOOL CPropertyPage::OnApply() {
  OnOK();
  return TRUE;
}
BOOL CPropertyPage::OnQueryCancel() { return TRUE; }
void CPropertyPage::OnOK() {}
void CPropertyPage::OnCancel() {}

LRESULT CPropertyPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NOTIFY && lParam) {
    const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
    LRESULT r = 0;
    switch (hdr->code) {
      case PSN_SETACTIVE:
        if (Dispatch(msg, wParam, lParam, &r)) return r;
        if (!OnSetActive()) return -1;
        if (m_pSheet) {
          for (int i = 0; i < m_pSheet->GetPageCount(); ++i)
            if (m_pSheet->GetPage(i) == this) m_pSheet->m_nTrackedActive = i;
        }
        return 0;
      case PSN_KILLACTIVE:
        if (Dispatch(msg, wParam, lParam, &r)) return r;
        return OnKillActive() ? FALSE : TRUE;
      case PSN_APPLY:
        if (Dispatch(msg, wParam, lParam, &r)) return r;
        return OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
      case PSN_RESET:
        if (Dispatch(msg, wParam, lParam, &r)) return r;
        OnCancel();
        return 0;
      case PSN_QUERYCANCEL:
        if (Dispatch(msg, wParam, lParam, &r)) return r;
        return OnQueryCancel() ? FALSE : TRUE;
      default:
        break;
    }
  }
  // Pages do not end themselves: skip the dialog's OK/Cancel handling.
  return CWnd::WindowProc(msg, wParam, lParam);
}

// ---- sheet

BEGIN_MESSAGE_MAP(CPropertySheet, CWnd)
END_MESSAGE_MAP()

CPropertySheet::CPropertySheet(UINT captionId, CWnd* parent, UINT selectPage) : m_psh{}, m_pParentWnd(parent) {
  m_psh.dwSize = sizeof(PROPSHEETHEADERA);
  m_psh.dwFlags = PSH_PROPSHEETPAGE;
  m_psh.hInstance = AfxGetInstanceHandle();
  m_psh.pszCaption = MAKEINTRESOURCEA(captionId);
  m_psh.nStartPage = selectPage;
}

CPropertySheet::~CPropertySheet() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

void CPropertySheet::AddPage(CPropertyPage* page) {
  page->m_pSheet = this;
  m_pages.push_back(page);
}

int CALLBACK CPropertySheet::SheetCallback(HWND, UINT msg, LPARAM lParam) {
  // Shown only after the sheet has placed itself.
  if (msg == PSCB_PRECREATE && lParam) reinterpret_cast<DLGTEMPLATE*>(lParam)->style &= ~WS_VISIBLE;
  return 0;
}

BOOL CPropertySheet::OnInitDialog() { return TRUE; }

INT_PTR CPropertySheet::DoModal() {
  m_pageRecords.clear();
  for (CPropertyPage* p : m_pages) m_pageRecords.push_back(p->m_psp);
  m_psh.nPages = static_cast<UINT>(m_pageRecords.size());
  m_psh.ppsp = m_pageRecords.data();
  m_psh.dwFlags |= PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_USECALLBACK;
  m_psh.pfnCallback = &CPropertySheet::SheetCallback;

  HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  CWinApp* app = AfxGetApp();
  if (!owner && app && app->m_pMainWnd) owner = app->m_pMainWnd->m_hWnd;
  m_psh.hwndParent = owner;
  bool reenable = owner && ::IsWindowEnabled(owner);
  if (reenable) ::EnableWindow(owner, FALSE);

  HWND hwnd = reinterpret_cast<HWND>(PropertySheetA(&m_psh));
  if (!hwnd || hwnd == reinterpret_cast<HWND>(-1)) {
    if (reenable) ::EnableWindow(owner, TRUE);
    return -1;
  }
  Subclass(hwnd);
  OnInitDialog();
  ::ShowWindow(hwnd, SW_SHOW);
  ::SetForegroundWindow(hwnd);

  static const bool notDone = false;
  RunModalLoop(hwnd, &notDone, [](HWND h) {
    return ::IsWindow(h) && ::SendMessageA(h, PSM_GETCURRENTPAGEHWND, 0, 0) != 0;
  }, true);
  if (reenable) ::EnableWindow(owner, TRUE);
  if (m_hWnd && ::IsWindow(m_hWnd)) {
    if (owner && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(owner);
    ::DestroyWindow(m_hWnd);
  }
  return IDOK;
}

int CPropertySheet::GetActiveIndex() const {
  if (m_hWnd) {
    HWND page = reinterpret_cast<HWND>(::SendMessageA(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (page) {
      LRESULT i = ::SendMessageA(m_hWnd, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0);
      if (i >= 0) return static_cast<int>(i);
    }
  }
  return m_nTrackedActive >= 0 ? m_nTrackedActive : static_cast<int>(m_psh.nStartPage);
}

BOOL CPropertySheet::SetActivePage(int index) {
  if (!m_hWnd) {
    m_psh.nStartPage = static_cast<UINT>(index);
    return TRUE;
  }
  if (index < 0 || index >= GetPageCount()) return FALSE;
  return static_cast<BOOL>(::SendMessageA(m_hWnd, PSM_SETCURSEL, static_cast<WPARAM>(index), 0));
}

}  // namespace fw
