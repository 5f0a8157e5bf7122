#include "framework/Util.h"

#include <commdlg.h>

#include <cstring>

#include "framework/App.h"

namespace fw {

bool LoadStr(UINT id, std::string& out) {
  char buf[1024];
  int n = LoadStringA(AfxGetInstanceHandle(), id, buf, sizeof buf);
  if (n <= 0) return false;
  out.assign(buf, static_cast<size_t>(n));
  return true;
}

std::string LoadStr(UINT id) {
  std::string s;
  LoadStr(id, s);
  return s;
}

int AfxMessageBox(const char* text, UINT type) {
  CWinApp* app = AfxGetApp();
  HWND owner = GetActiveWindow();
  return MessageBoxA(owner, text, app && app->m_pszAppName ? app->m_pszAppName : "", type);
}

int AfxMessageBox(UINT stringId, UINT type) { return AfxMessageBox(LoadStr(stringId).c_str(), type); }

CFileDialog::CFileDialog(BOOL open, const char* defaultExt, const char* fileName, DWORD flags, const char* filter,
                         HWND owner)
    : m_ofn{}, m_bOpen(open) {
  if (filter) {
    // "Name|*.ext|...||" as the framework writes it; the platform wants zeros.
    m_filter = filter;
    for (char& c : m_filter)
      if (c == '|') c = '\0';
    m_filter.push_back('\0');
  }
  if (fileName) lstrcpynA(m_fileBuffer, fileName, MAX_PATH);
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.hwndOwner = owner;
  m_ofn.hInstance = AfxGetInstanceHandle();
  m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
  m_ofn.lpstrFile = m_fileBuffer;
  m_ofn.nMaxFile = MAX_PATH;
  m_ofn.lpstrDefExt = defaultExt;
  m_ofn.Flags = flags | OFN_EXPLORER;
}

INT_PTR CFileDialog::DoModal() {
  BOOL ok = m_bOpen ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
  if (!ok) return IDCANCEL;
  m_file = m_fileBuffer;
  return IDOK;
}

}  // namespace fw
