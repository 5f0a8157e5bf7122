#include "controlpanel/settings/Settings.h"

#include <cstring>

int SettingsReadDword(HKEY root, const char* subKey, const char* name, DWORD* value) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD size = sizeof(DWORD);
  LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

int SettingsWriteDword(HKEY root, const char* subKey, const char* name, const DWORD* value) {
  HKEY key;
  if (RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return 0;
  LONG rc = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(value), sizeof(DWORD));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

int SettingsReadString(HKEY root, const char* subKey, const char* name, char value[256]) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD size = 256;
  LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

int SettingsWriteString(HKEY root, const char* subKey, const char* name, const char* value) {
  HKEY key;
  if (RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return 0;
  LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(std::strlen(value) + 1));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? 1 : 0;
}

bool IsWindowsNT() {
  OSVERSIONINFOA info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = 148;  // the plain record, not the extended one
  if (!GetVersionExA(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
