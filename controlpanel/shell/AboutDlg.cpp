#include "controlpanel/shell/AboutDlg.h"

#include <memory>
#include <string>

#include "controlpanel/driver/SpeakerLink.h"
#include "controlpanel/pages/PagePrefsRules.h"
#include "controlpanel/res/resource.h"
#include "shared/settings/Store.h"
#include "framework/App.h"

BEGIN_MESSAGE_MAP(CAboutDlg, fw::CDialog)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg(bool ntFamily, WORD boardId)
    : fw::CDialog(IDD_ABOUT, nullptr), m_bNtFamily(ntFamily), m_wBoardId(boardId) {}

BOOL CAboutDlg::OnInitDialog() {
  fw::CDialog::OnInitDialog();
  ShowVersionBlock();
  ShowRelease();
  ShowBoardId();
  return TRUE;
}

void CAboutDlg::ShowVersionBlock() {
  char file[256];
  GetModuleFileNameA(fw::AfxGetInstanceHandle(), file, sizeof file);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(file, &handle);
  if (size == 0) return;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!mem) return;
  void* block = GlobalLock(mem);
  if (block && GetFileVersionInfoA(file, handle, size, block) == 1) {
    const struct {
      const char* query;
      int control;
    } fields[] = {{"\\StringFileInfo\\040904b0\\ProductVersion", IDC_ABOUT_UTILITY_VERSION},
                  {"\\StringFileInfo\\040904b0\\LegalCopyright", IDC_ABOUT_COPYRIGHT},
                  {"\\StringFileInfo\\040904b0\\Comments", IDC_ABOUT_EMAIL}};
    for (const auto& f : fields) {
      void* text = nullptr;
      UINT len = 0;
      if (VerQueryValueA(block, f.query, &text, &len) && text)
        ::SetWindowTextA(GetDlgItem(f.control), static_cast<const char*>(text));
    }
  }
  GlobalUnlock(mem);
  GlobalFree(mem);
}

void CAboutDlg::ShowRelease() {
  const settings::Key key(catalogue::kSetup, KEY_READ, settings::Open::Existing);
  for (const catalogue::Value* v : {&catalogue::SoftwareUpdatedToVersion, &catalogue::SoftwareVersion}) {
    char release[20];
    if (settings::ReadString(key, v->name, release, sizeof release)) {
      ::SetWindowTextA(GetDlgItem(IDC_ABOUT_RELEASE), release);
      break;
    }
  }
}

void CAboutDlg::ShowBoardId() {
  std::string text;
  if (m_bNtFamily) {
    text = "Unavailable";
  } else if (m_wBoardId != 0) {
    text = prefs::BoardIdText(m_wBoardId);
  } else {
    // Asked for this box only; the application keeps what the Preferences page found.
    auto speaker = std::make_unique<CSpeakerLink>();
    TAudioInfo info{};
    if (speaker->Initialize(&info, nullptr) == kKvOk) text = prefs::BoardIdText(info.boardId);
  }
  if (!text.empty()) ::SetWindowTextA(GetDlgItem(IDC_ABOUT_BOARD_ID), text.c_str());
}
