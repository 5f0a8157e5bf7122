#include "framework/Dialog.h"

#include "framework/App.h"

namespace fw {

BEGIN_MESSAGE_MAP(CDialog, CWnd)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
  if (m_hWnd && ::IsWindow(m_hWnd) && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

INT_PTR CALLBACK CDialog::StubDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

INT_PTR CDialog::DoModal() {
  HINSTANCE inst = AfxGetInstanceHandle();
  HRSRC res = FindResourceA(inst, MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(5));  // RT_DIALOG
  HGLOBAL mem = res ? LoadResource(inst, res) : nullptr;
  auto* tmpl = mem ? static_cast<LPCDLGTEMPLATEA>(LockResource(mem)) : nullptr;
  if (!tmpl) return -1;

  // Without a parent the application's main window owns the dialog, hidden or not.
  HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  CWinApp* app = AfxGetApp();
  if (!owner && app && app->m_pMainWnd && app->m_pMainWnd != this) owner = app->m_pMainWnd->m_hWnd;
  bool reenable = owner && ::IsWindowEnabled(owner);
  if (reenable) ::EnableWindow(owner, FALSE);

  m_bEnded = false;
  m_nResult = -1;
  HookWindowCreate(this);
  HWND hwnd = CreateDialogIndirectParamA(inst, tmpl, owner, StubDlgProc, reinterpret_cast<LPARAM>(this));
  UnhookWindowCreate();
  if (hwnd) {
    if (!m_bEnded) ::ShowWindow(hwnd, SW_SHOWNORMAL);
    RunModalLoop(hwnd, &m_bEnded);
  }
  if (reenable) ::EnableWindow(owner, TRUE);
  if (hwnd && ::IsWindow(hwnd)) {
    if (owner && ::GetActiveWindow() == hwnd) ::SetActiveWindow(owner);
    ::DestroyWindow(hwnd);
  }
  return m_nResult;
}

void CDialog::ExecuteDlgInit() {
  // Initial control data kept beside the template (resource type 240): entries of
  // control id, message, length and bytes, ended by a zero id.
  HINSTANCE inst = AfxGetInstanceHandle();
  HRSRC res = FindResourceA(inst, MAKEINTRESOURCEA(m_nIDTemplate), MAKEINTRESOURCEA(240));
  HGLOBAL mem = res ? LoadResource(inst, res) : nullptr;
  const BYTE* p = mem ? static_cast<const BYTE*>(LockResource(mem)) : nullptr;
  if (!p) return;
  const BYTE* end = p + SizeofResource(inst, res);
  auto word = [](const BYTE* q) { return static_cast<WORD>(q[0] | (q[1] << 8)); };
  while (end - p >= 2 && word(p) != 0) {
    if (end - p < 8) return;
    WORD id = word(p), message = word(p + 2);
    DWORD len = word(p + 4) | (static_cast<DWORD>(word(p + 6)) << 16);
    p += 8;
    if (static_cast<DWORD>(end - p) < len) return;
    std::string text(reinterpret_cast<const char*>(p), len);
    p += len;
    UINT m = message == 0x0403 ? CB_ADDSTRING : message == 0x0401 ? LB_ADDSTRING : message;
    ::SendDlgItemMessageA(m_hWnd, id, m, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    ExecuteDlgInit();
    const BOOL focus = OnInitDialog();
    m_textFit.Fit(m_hWnd);
    return focus;
  }
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    LRESULT r = 0;
    if (Dispatch(msg, wParam, lParam, &r)) return r;
    // Enter, Escape, the close box and OK/Cancel buttons without a map entry.
    if (LOWORD(wParam) == IDOK)
      OnOK();
    else
      OnCancel();
    return 0;
  }
  if (msg == WM_HELP && !(::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_CHILD)) {
    // F1: the framework's help command, sent to the main window.
    CWinApp* app = AfxGetApp();
    HWND main = app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : m_hWnd;
    ::SendMessageA(main, WM_COMMAND, ID_HELP, 0);
    return TRUE;
  }
  if (msg == WM_COMMANDHELP) {
    // This dialog's help context is its template's.
    CWinApp* app = AfxGetApp();
    if (!app) return FALSE;
    app->WinHelp(lParam ? static_cast<DWORD_PTR>(lParam) : HID_BASE_RESOURCE + m_nIDTemplate);
    return TRUE;
  }
  if (msg == WM_COMMAND && lParam == 0 && LOWORD(wParam) == ID_HELP) {
    LRESULT r = 0;
    if (Dispatch(msg, wParam, lParam, &r)) return r;
    CWinApp* app = AfxGetApp();
    if (app) app->OnAppCommand(ID_HELP);
    return 0;
  }
  return CWnd::WindowProc(msg, wParam, lParam);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
  if (!m_hWnd) return FALSE;
  CDataExchange dx{this, saveAndValidate};
  DoDataExchange(&dx);
  return TRUE;
}

void CDialog::EndDialog(int result) {
  m_nResult = result;
  m_bEnded = true;
  if (m_hWnd) {
    ::ShowWindow(m_hWnd, SW_HIDE);
    ::PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wake the modal loop
  }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (!control.m_hWnd) control.Attach(dx->m_pDlgWnd->GetDlgItem(id));
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  HWND ctl = dx->m_pDlgWnd->GetDlgItem(id);
  if (dx->m_bSaveAndValidate)
    value = static_cast<int>(::SendMessageA(ctl, BM_GETCHECK, 0, 0));
  else
    ::SendMessageA(ctl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* dx, int firstId, int& value) {
  // The group runs from the first button to the next control that starts a group.
  HWND first = dx->m_pDlgWnd->GetDlgItem(firstId);
  if (!first) return;
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  HWND ctl = first;
  do {
    if (dx->m_bSaveAndValidate) {
      if (::SendMessageA(ctl, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
    } else {
      ::SendMessageA(ctl, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    ++index;
    ctl = ::GetWindow(ctl, GW_HWNDNEXT);
  } while (ctl && !(::GetWindowLongA(ctl, GWL_STYLE) & WS_GROUP) &&
           (::SendMessageA(ctl, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON));
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
  HWND ctl = dx->m_pDlgWnd->GetDlgItem(id);
  if (dx->m_bSaveAndValidate) {
    int n = ::GetWindowTextLengthA(ctl);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    ::GetWindowTextA(ctl, &text[0], n + 1);
    text.resize(static_cast<size_t>(n));
    value = text;
  } else {
    ::SetWindowTextA(ctl, value.c_str());
  }
}

}  // namespace fw
