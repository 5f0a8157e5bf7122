#include "controlpanel/shell/HelpFile.h"

bool CHelpFile::SetOwner(HWND owner, const char* directory) {
  m_hOwner = owner;
  m_strDirectory = directory;
  return true;
}

void CHelpFile::Show(int context) const {
  std::string file = m_strDirectory + "\\ResonixTrivox.hlp";
  if (context >= 3002 && context <= 3005)
    WinHelpA(m_hOwner, file.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(context));
  else
    WinHelpA(m_hOwner, file.c_str(), HELP_FINDER, 0);
}
