#include "player/demos/common/DemoApp.h"

#include "framework/Util.h"
#include "player/demos/common/resource.h"

namespace demo {

BOOL CDemoApp::InitInstance() {
  // The title is every message box's caption.
  m_title = fw::LoadStr(IDS_APP_TITLE);
  m_pszAppName = m_title.c_str();
  Enable3dControls();
  std::unique_ptr<CDemoDlg> dlg = m_make();
  m_pMainWnd = dlg.get();
  dlg->DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}

}  // namespace demo
