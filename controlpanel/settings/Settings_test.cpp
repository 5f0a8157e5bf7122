#include "controlpanel/settings/Settings.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <string>

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
