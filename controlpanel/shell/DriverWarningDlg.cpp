#include "controlpanel/shell/DriverWarningDlg.h"

#include "controlpanel/res/resource.h"
#include "shared/settings/Store.h"

BEGIN_MESSAGE_MAP(CDriverWarningDlg, fw::CDialog)
  ON_MESSAGE(WM_CREATE, OnCreate)
END_MESSAGE_MAP()

CDriverWarningDlg::CDriverWarningDlg() : fw::CDialog(IDD_DRIVER_WARNING, nullptr) {}

void CDriverWarningDlg::DoDataExchange(fw::CDataExchange* dx) {
  fw::CDialog::DoDataExchange(dx);
  fw::DDX_Check(dx, IDC_DISABLE_WARNING, m_bDisableWarning);
}

LRESULT CDriverWarningDlg::OnCreate(WPARAM, LPARAM) {
  const settings::Key key(catalogue::kInstall, KEY_READ, settings::Open::Existing);
  char data[20];
  // Any value that fits, whatever its content, silences the warning: the window is not made.
  if (settings::ReadString(key, catalogue::DisableDriverWarning.name, data, sizeof data)) return -1;
  return Default();
}

void CDriverWarningDlg::OnOK() {
  UpdateData(TRUE);
  if (m_bDisableWarning == 1) {
    // Only into the installer's key, and without the zero, as the card's other software has it.
    const settings::Key key(catalogue::kInstall, KEY_SET_VALUE, settings::Open::Existing);
    settings::WriteString(key, catalogue::DisableDriverWarning.name, "TRUE", settings::Zero::Drop);
  }
  fw::CDialog::EndDialog(IDOK);
}
