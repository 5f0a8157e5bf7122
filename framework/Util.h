// String table, message box and file dialog.
#pragma once
#include <windows.h>

#include <string>

namespace fw {

// The text of a string-table entry; empty when there is none.
std::string LoadStr(UINT id);
bool LoadStr(UINT id, std::string& out);

// A message box captioned with the application's title.
int AfxMessageBox(const char* text, UINT type = MB_OK);
int AfxMessageBox(UINT stringId, UINT type = MB_OK);

class CFileDialog {
 public:
  CFileDialog(BOOL open, const char* defaultExt = nullptr, const char* fileName = nullptr,
              DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
              HWND owner = nullptr);
  INT_PTR DoModal();
  std::string GetPathName() const { return m_file; }

  OPENFILENAMEA m_ofn;

 private:
  BOOL m_bOpen;
  std::string m_filter;
  char m_fileBuffer[MAX_PATH] = {};
  std::string m_file;
};

}  // namespace fw
