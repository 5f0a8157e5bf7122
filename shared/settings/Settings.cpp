#include "shared/settings/Settings.h"

#include <cstring>

#include "shared/settings/Store.h"

using settings::Key;
using settings::Open;

int SettingsReadDword(HKEY root, const char* subKey, const char* name, DWORD* value) {
  return settings::ReadDword(Key(root, subKey, KEY_READ, Open::Existing), name, value);
}

int SettingsWriteDword(HKEY root, const char* subKey, const char* name, const DWORD* value) {
  return settings::WriteDword(Key(root, subKey, KEY_WRITE, Open::Create), name, *value);
}

int SettingsReadString(HKEY root, const char* subKey, const char* name, char value[256]) {
  return settings::ReadString(Key(root, subKey, KEY_READ, Open::Existing), name, value, 256);
}

int SettingsWriteString(HKEY root, const char* subKey, const char* name, const char* value) {
  return settings::WriteString(Key(root, subKey, KEY_WRITE, Open::Create), name, value);
}

bool IsWindowsNT() {
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = 148;  // the plain record, not the extended one
  if (!GetVersionExA(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
