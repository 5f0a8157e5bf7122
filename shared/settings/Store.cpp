#include "shared/settings/Store.h"

#include <cstring>

namespace settings {

namespace {
int Succeeded(LONG rc) { return rc == ERROR_SUCCESS ? 1 : 0; }

// A 32-bit program on 64-bit Windows keeps its settings in the 64-bit view, where the 64-bit
// programs and setup keep theirs; everywhere else the view is the process's own (0).
REGSAM View() {
  static const REGSAM view = [] {
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto fn = reinterpret_cast<IsWow64>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL wow = FALSE;
    return fn && fn(GetCurrentProcess(), &wow) && wow ? REGSAM(KEY_WOW64_64KEY) : REGSAM(0);
  }();
  return view;
}
}  // namespace

Key::Key(HKEY parent, const char* path, REGSAM access, Open how) {
  HKEY key = nullptr;
  LONG rc = ERROR_INVALID_PARAMETER;
  const REGSAM view = View();
  switch (how) {
    case Open::Create:
      rc = RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access | view, nullptr, &key, nullptr);
      break;
    case Open::ExistingAllowed:
      rc = view ? RegOpenKeyExA(parent, path, 0, MAXIMUM_ALLOWED | view, &key) : RegOpenKeyA(parent, path, &key);
      break;
    case Open::Existing:
      rc = RegOpenKeyExA(parent, path, 0, access | view, &key);
      break;
  }
  if (rc == ERROR_SUCCESS) m_hKey = key;
}

Key::~Key() {
  if (m_hKey) RegCloseKey(m_hKey);
}

Key& Key::operator=(Key&& other) noexcept {
  if (this != &other) {
    if (m_hKey) RegCloseKey(m_hKey);
    m_hKey = other.m_hKey;
    other.m_hKey = nullptr;
  }
  return *this;
}

int ReadDword(const Key& key, const char* name, DWORD* value) {
  if (!key.IsOpen()) return 0;
  DWORD size = sizeof(DWORD);
  return Succeeded(RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size));
}

int WriteDword(const Key& key, const char* name, DWORD value) {
  if (!key.IsOpen()) return 0;
  return Succeeded(
      RegSetValueExA(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
}

int ReadString(const Key& key, const char* name, char* text, DWORD size) {
  if (!key.IsOpen() || size == 0) return 0;
  DWORD got = size;
  if (RegQueryValueExA(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &got) != ERROR_SUCCESS) {
    text[0] = '\0';
    return 0;
  }
  // The stored bytes need not hold a zero: not every writer stores one, nor is every value text.
  text[got < size ? got : size - 1] = '\0';
  return 1;
}

int WriteString(const Key& key, const char* name, const char* text, Zero zero) {
  if (!key.IsOpen()) return 0;
  const DWORD size = static_cast<DWORD>(std::strlen(text) + (zero == Zero::Keep ? 1 : 0));
  return Succeeded(RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size));
}

int DeleteValue(const Key& key, const char* name) {
  if (!key.IsOpen()) return 0;
  return Succeeded(RegDeleteValueA(key.Get(), name));
}

int ReadDword(const catalogue::Value& value, DWORD* out) {
  return ReadDword(Key(*value.key, KEY_READ, Open::Existing), value.name, out);
}

int WriteDword(const catalogue::Value& value, DWORD in) {
  return WriteDword(Key(*value.key, KEY_WRITE, Open::Create), value.name, in);
}

int ReadString(const catalogue::Value& value, char text[256]) {
  return ReadString(Key(*value.key, KEY_READ, Open::Existing), value.name, text, 256);
}

int WriteString(const catalogue::Value& value, const char* text) {
  return WriteString(Key(*value.key, KEY_WRITE, Open::Create), value.name, text);
}

}  // namespace settings
