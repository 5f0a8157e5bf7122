#include "shared/settings/Settings.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstring>
#include <string>

#include "shared/settings/Store.h"

namespace {

const char* const kBase = "Software\\ZephraTest";

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override { SHDeleteKeyA(HKEY_CURRENT_USER, kBase); }
  void TearDown() override { SHDeleteKeyA(HKEY_CURRENT_USER, kBase); }
  static bool KeyExists(const char* path) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
  }
  static void RawSet(const char* path, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(k);
  }
  static std::string RawGet(const char* path, const char* name, DWORD* type) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return "<nokey>";
    char buf[1024];
    DWORD size = sizeof buf;
    LONG rc = RegQueryValueExA(k, name, nullptr, type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS ? std::string(buf, size) : "<novalue>";
  }
};

TEST_F(SettingsStore, WritesCreateMissingParents) {
  const char* deep = "Software\\ZephraTest\\A\\B\\C";
  DWORD v = 0x12345678;
  EXPECT_EQ(SettingsWriteDword(HKEY_CURRENT_USER, deep, "D", &v), 1);
  EXPECT_EQ(SettingsWriteString(HKEY_CURRENT_USER, "Software\\ZephraTest\\X\\Y", "S", "text"), 1);
  DWORD type = 0;
  std::string raw = RawGet(deep, "D", &type);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(raw, std::string("\x78\x56\x34\x12", 4));
  raw = RawGet("Software\\ZephraTest\\X\\Y", "S", &type);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw, std::string("text\0", 5));  // the zero is stored

  DWORD back = 0;
  EXPECT_EQ(SettingsReadDword(HKEY_CURRENT_USER, deep, "D", &back), 1);
  EXPECT_EQ(back, 0x12345678u);
  char text[256] = {};
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, "Software\\ZephraTest\\X\\Y", "S", text), 1);
  EXPECT_STREQ(text, "text");
}

TEST_F(SettingsStore, ReadsOfMissingKeysFailAndCreateNothing) {
  DWORD v = 77;
  char text[256] = "untouched";
  EXPECT_EQ(SettingsReadDword(HKEY_CURRENT_USER, "Software\\ZephraTest\\Missing", "D", &v), 0);
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, "Software\\ZephraTest\\Missing", "S", text), 0);
  EXPECT_EQ(v, 77u);  // untouched when the key cannot be opened
  EXPECT_STREQ(text, "untouched");
  EXPECT_FALSE(KeyExists("Software\\ZephraTest\\Missing"));
  EXPECT_FALSE(KeyExists(kBase));
}

TEST_F(SettingsStore, MissingValueFails) {
  DWORD v = 1;
  ASSERT_EQ(SettingsWriteDword(HKEY_CURRENT_USER, kBase, "Other", &v), 1);
  EXPECT_EQ(SettingsReadDword(HKEY_CURRENT_USER, kBase, "Absent", &v), 0);
  char text[256];
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, kBase, "Absent", text), 0);
}

TEST_F(SettingsStore, DwordSizesOtherThanFour) {
  const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const unsigned char two[2] = {0xAA, 0xBB};
  RawSet(kBase, "Long", REG_BINARY, eight, 8);
  RawSet(kBase, "Short", REG_BINARY, two, 2);
  DWORD v = 0x11111111;
  EXPECT_EQ(SettingsReadDword(HKEY_CURRENT_USER, kBase, "Long", &v), 0);
  v = 0x11111111;
  EXPECT_EQ(SettingsReadDword(HKEY_CURRENT_USER, kBase, "Short", &v), 1);
  EXPECT_EQ(v, 0x1111BBAAu);  // the stored bytes, the rest as it was
  // The stored type is ignored: a 4-byte string reads as a number.
  RawSet(kBase, "Str", REG_SZ, "abc", 4);
  EXPECT_EQ(SettingsReadDword(HKEY_CURRENT_USER, kBase, "Str", &v), 1);
  EXPECT_EQ(v, 0x00636261u);
}

TEST_F(SettingsStore, StringLimitIs255Characters) {
  std::string fits(255, 'a'), over(256, 'b');
  ASSERT_EQ(SettingsWriteString(HKEY_CURRENT_USER, kBase, "Fits", fits.c_str()), 1);
  ASSERT_EQ(SettingsWriteString(HKEY_CURRENT_USER, kBase, "Over", over.c_str()), 1);
  char text[256];
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, kBase, "Fits", text), 1);
  EXPECT_EQ(std::string(text), fits);
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, kBase, "Over", text), 0);
}

TEST_F(SettingsStore, EmptyStringStoresOneByte) {
  ASSERT_EQ(SettingsWriteString(HKEY_CURRENT_USER, kBase, "Empty", ""), 1);
  DWORD type = 0;
  EXPECT_EQ(RawGet(kBase, "Empty", &type), std::string("\0", 1));
}

// Whatever is stored, what a string read hands back ends in a zero within the buffer.
TEST_F(SettingsStore, StringReadsAlwaysEndInAZero) {
  // No zero follows the counted bytes, so Wine adds none in the NT shape; in the 9x shape
  // it stores a REG_SZ up to its zero, as Windows 98 does: 401 bytes, too long.
  const std::string fill(400, 'a');
  RawSet(kBase, "Full", REG_SZ, fill.data(), 256);
  RawSet(kBase, "Binary", REG_BINARY, fill.data(), 256);
  const DWORD number = 0x44434241;  // "ABCD", no zero byte
  RawSet(kBase, "Number", REG_DWORD, &number, sizeof number);
  RawSet(kBase, "TooLong", REG_BINARY, fill.data(), 300);

  const bool nt = IsWindowsNT();
  char text[256];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, kBase, "Full", text), nt ? 1 : 0);
  EXPECT_EQ(std::string(text), nt ? std::string(255, 'a') : std::string());
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, kBase, "Binary", text), 1);
  EXPECT_EQ(std::string(text), std::string(255, 'a'));
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, kBase, "Number", text), 1);
  EXPECT_STREQ(text, "ABCD");
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(SettingsReadString(HKEY_CURRENT_USER, kBase, "TooLong", text), 0);
  EXPECT_STREQ(text, "");

  // The 20-byte reads of the About box and the hardware warning: 20 bytes fit, 21 do not.
  RawSet(kBase, "Twenty", REG_BINARY, fill.data(), 20);
  RawSet(kBase, "TwentyOne", REG_BINARY, fill.data(), 21);
  const settings::Key key(HKEY_CURRENT_USER, kBase, KEY_READ, settings::Open::Existing);
  char small[20];
  EXPECT_EQ(settings::ReadString(key, "Twenty", small, sizeof small), 1);
  EXPECT_EQ(std::string(small), std::string(19, 'a'));
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(settings::ReadString(key, "TwentyOne", small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

TEST_F(SettingsStore, KeysOpenAsAsked) {
  using settings::Key;
  using settings::Open;
  const std::string deep = std::string(kBase) + "\\A\\B";
  for (Open how : {Open::Existing, Open::ExistingAllowed}) {
    EXPECT_FALSE(Key(HKEY_CURRENT_USER, deep.c_str(), KEY_ALL_ACCESS, how).IsOpen());
    EXPECT_FALSE(KeyExists(kBase));
  }
  EXPECT_TRUE(Key(HKEY_CURRENT_USER, deep.c_str(), KEY_WRITE, Open::Create).IsOpen());
  EXPECT_TRUE(KeyExists(deep.c_str()));

  // The access asked for holds on NT (Windows 98 has none to check); the platform's own
  // open (RegOpenKeyA) may set values.
  const Key readOnly(HKEY_CURRENT_USER, kBase, KEY_READ, Open::Existing);
  ASSERT_TRUE(readOnly.IsOpen());
  EXPECT_EQ(settings::WriteDword(readOnly, "D", 1), IsWindowsNT() ? 0 : 1);
  const Key allowed(HKEY_CURRENT_USER, kBase, 0, Open::ExistingAllowed);
  ASSERT_TRUE(allowed.IsOpen());
  EXPECT_EQ(settings::WriteDword(allowed, "D", 7), 1);
  DWORD v = 0;
  EXPECT_EQ(settings::ReadDword(readOnly, "D", &v), 1);
  EXPECT_EQ(v, 7u);

  EXPECT_EQ(settings::DeleteValue(allowed, "D"), 1);
  EXPECT_EQ(settings::ReadDword(readOnly, "D", &v), 0);
  EXPECT_EQ(settings::DeleteValue(allowed, "D"), 0);

  // A key that did not open fails every operation and leaves the buffers alone.
  const Key closed;
  v = 5;
  char text[8] = "kept";
  EXPECT_EQ(settings::ReadDword(closed, "D", &v), 0);
  EXPECT_EQ(settings::ReadString(closed, "S", text, sizeof text), 0);
  EXPECT_EQ(v, 5u);
  EXPECT_STREQ(text, "kept");
  EXPECT_EQ(settings::WriteString(closed, "S", "x"), 0);
}

TEST_F(SettingsStore, StringWritesKeepOrDropTheZero) {
  const settings::Key key(HKEY_CURRENT_USER, kBase, KEY_WRITE, settings::Open::Create);
  ASSERT_EQ(settings::WriteString(key, "Keep", "", settings::Zero::Keep), 1);
  ASSERT_EQ(settings::WriteString(key, "Drop", "", settings::Zero::Drop), 1);
  DWORD type = 0;
  EXPECT_EQ(RawGet(kBase, "Keep", &type), std::string("\0", 1));
  // Wine adds the zero to a dropped one when it follows in memory, and in the 9x shape
  // always; only an empty text in the NT shape shows the count that was written.
  EXPECT_EQ(RawGet(kBase, "Drop", &type), IsWindowsNT() ? std::string() : std::string("\0", 1));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

TEST(Platform, IsWindowsNTFollowsTheWineVersion) {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(&v));
  const char* shape = getenv("ZEPHRA_SHAPE");
  ASSERT_NE(shape, nullptr) << "the test script names the prefix's shape";
  EXPECT_EQ(IsWindowsNT(), std::string(shape) == "nt");
  EXPECT_EQ(IsWindowsNT(), v.dwPlatformId == VER_PLATFORM_WIN32_NT);
}

}  // namespace
