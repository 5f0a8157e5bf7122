// Typed registry helpers by root and path, and the platform-family test.
#pragma once
#include <windows.h>

// Each returns 1 when the registry operation succeeded, 0 otherwise.
int SettingsReadDword(HKEY root, const char* subKey, const char* name, DWORD* value);
int SettingsWriteDword(HKEY root, const char* subKey, const char* name, const DWORD* value);
int SettingsReadString(HKEY root, const char* subKey, const char* name, char value[256]);
int SettingsWriteString(HKEY root, const char* subKey, const char* name, const char* value);

// True on the NT family; evaluated afresh at every call.
bool IsWindowsNT();
