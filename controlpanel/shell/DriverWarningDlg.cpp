#include "controlpanel/shell/DriverWarningDlg.h"

#include "controlpanel/res/resource.h"
#include "controlpanel/settings/Settings.h"

BEGIN_MESSAGE_MAP(CDriverWarningDlg, fw::CDialog)
  ON_MESSAGE(WM_CREATE, OnCreate)
END_MESSAGE_MAP()

CDriverWarningDlg::CDriverWarningDlg() : fw::CDialog(IDD_DRIVER_WARNING, nullptr) {}

void CDriverWarningDlg::DoDataExchange(fw::CDataExchange* dx) {
  fw::CDialog::DoDataExchange(dx);
  fw::DDX_Check(dx, IDC_DISABLE_WARNING, m_bDisableWarning);
}

LRESULT CDriverWarningDlg::OnCreate(WPARAM, LPARAM) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, catalogue::K3.path, 0, KEY_READ, &key) != ERROR_SUCCESS) return Default();
  char data[20];
  DWORD size = sizeof data;
  LONG rc = RegQueryValueExA(key, catalogue::DisableDriverWarning.name, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  // Any value that fits, whatever its content, silences the warning: the window is not made.
  if (rc == ERROR_SUCCESS) return -1;
  return Default();
}

void CDriverWarningDlg::OnOK() {
  UpdateData(TRUE);
  if (m_bDisableWarning == 1) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, catalogue::K3.path, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      const char text[] = "TRUE";
      RegSetValueExA(key, catalogue::DisableDriverWarning.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                     static_cast<DWORD>(lstrlenA(text)));
      RegCloseKey(key);
    }
  }
  fw::CDialog::EndDialog(IDOK);
}
