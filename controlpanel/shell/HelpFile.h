// The link to the help file: its owner window and directory.
#pragma once
#include <windows.h>

#include <string>

class CHelpFile {
 public:
  bool SetOwner(HWND owner, const char* directory);
  void Show(int context) const;

  HWND m_hOwner = nullptr;
  std::string m_strDirectory;
};
