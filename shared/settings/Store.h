// The one way both programs reach the registry: a key that closes itself and typed value
// operations on it. Each operation returns 1 when the registry call succeeded, 0 otherwise.
#pragma once
#include <windows.h>

#include "shared/settings/Catalogue.h"

namespace settings {

// The platform's root handle for a catalogue key.
inline HKEY RootOf(const catalogue::Key& key) {
  return key.root == catalogue::Root::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

enum class Open {
  Existing,         // RegOpenKeyExA with the access given; a missing key fails
  Create,           // RegCreateKeyExA, non-volatile, no class: the key and missing parents are made
  ExistingAllowed,  // RegOpenKeyA: whatever access the caller is allowed; the access given is unused
};

class Key {
 public:
  Key() = default;
  Key(HKEY parent, const char* path, REGSAM access, Open how);
  Key(const catalogue::Key& key, REGSAM access, Open how) : Key(RootOf(key), key.path, access, how) {}
  ~Key();
  Key(Key&& other) noexcept : m_hKey(other.m_hKey) { other.m_hKey = nullptr; }
  Key& operator=(Key&& other) noexcept;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  bool IsOpen() const { return m_hKey != nullptr; }
  HKEY Get() const { return m_hKey; }

 private:
  HKEY m_hKey = nullptr;
};

// Whether a string write stores the text's terminating zero.
enum class Zero { Keep, Drop };

// A key that is not open fails them all and leaves the caller's buffer alone.
// Four bytes into value, whatever the stored type; a longer value fails, a shorter one
// leaves the remaining bytes as they were.
int ReadDword(const Key& key, const char* name, DWORD* value);
int WriteDword(const Key& key, const char* name, DWORD value);
// At most size bytes, zero included; a longer value fails. The text always ends in a zero:
// one that fills the buffer without a zero loses its last byte, a failed read leaves it empty.
int ReadString(const Key& key, const char* name, char* text, DWORD size);
int WriteString(const Key& key, const char* name, const char* text, Zero zero = Zero::Keep);
int DeleteValue(const Key& key, const char* name);

// One catalogue value: read from the existing key (KEY_READ), written into a key that is
// created when missing (KEY_WRITE).
int ReadDword(const catalogue::Value& value, DWORD* out);
int WriteDword(const catalogue::Value& value, DWORD in);
// Strings as the control panel keeps them: at most 256 bytes, zero included.
int ReadString(const catalogue::Value& value, char text[256]);
int WriteString(const catalogue::Value& value, const char* text);

}  // namespace settings
