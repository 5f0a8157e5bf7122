// The download's file operations on the platform's own file system.
#include "controlpanel/pages/BankDownload.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

class BankFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    dir_ = std::string(temp) + "bank-files-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    for (const char* name : {"a.ini", "src.dls", "dst.dls", "ro.dls"}) {
      SetFileAttributesA(Path(name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(Path(name).c_str());
    }
    RemoveDirectoryA(dir_.c_str());
  }
  std::string Path(const char* name) const { return dir_ + "\\" + name; }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  // Files named CSC*.TMP in the temporary directory: the rewrite's temporary and backup.
  static int TempFiles() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((std::string(temp) + "CSC*.TMP").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do ++n;
    while (FindNextFileA(h, &found));
    FindClose(h);
    return n;
  }
  std::string dir_;
};

TEST_F(BankFilesTest, IniLinesOnDisk) {
  const std::string ini = Path("a.ini");
  EXPECT_EQ(AddIniLine("Rename", "NUL", "C:\\x.dls", ini.c_str()), 1) << "a missing file is made";
  EXPECT_EQ(Read(ini), "\r\n[Rename]\r\nNUL=C:\\x.dls\r\n");
  EXPECT_EQ(AddIniLine("rename", "NUL", "C:\\y.dls", ini.c_str()), 1);
  EXPECT_EQ(Read(ini), "\r\n[Rename]\r\nNUL=C:\\y.dls\r\nNUL=C:\\x.dls\r\n");

  // A read-only file is only read, then replaced by the two moves: the entry is added and
  // no backup is left behind.
  ASSERT_TRUE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY));
  const int tempsBefore = TempFiles();
  EXPECT_EQ(AddIniLine("Rename", "NUL", "C:\\z.dls", ini.c_str()), 1);
  EXPECT_EQ(Read(ini), "\r\n[Rename]\r\nNUL=C:\\z.dls\r\nNUL=C:\\y.dls\r\nNUL=C:\\x.dls\r\n");
  EXPECT_EQ(TempFiles(), tempsBefore);
}

// The chosen bank is its own copy target: its bytes stay.
TEST_F(BankFilesTest, CopyOntoItselfKeepsTheFile) {
  const std::string bytes(10000, 'b');
  Write(Path("src.dls"), bytes);
  EXPECT_EQ(CopyBankFile(Path("src.dls").c_str(), Path("src.dls").c_str()), 1);
  EXPECT_TRUE(Read(Path("src.dls")) == bytes) << Read(Path("src.dls")).size() << " bytes left";
  std::string upper = Path("SRC.DLS");
  EXPECT_EQ(CopyBankFile(Path("src.dls").c_str(), upper.c_str()), 1);
  EXPECT_TRUE(Read(Path("src.dls")) == bytes) << Read(Path("src.dls")).size() << " bytes left";
}

TEST_F(BankFilesTest, CopyAndDelete) {
  std::string bytes;
  for (int i = 0; i < 10000; ++i) bytes += char(i * 7);
  Write(Path("src.dls"), bytes);
  Write(Path("dst.dls"), std::string(20000, 'x'));
  EXPECT_EQ(CopyBankFile(Path("src.dls").c_str(), Path("dst.dls").c_str()), 1);
  EXPECT_EQ(Read(Path("dst.dls")), bytes) << "blocks of 4096 and the rest; the old file truncated";
  EXPECT_EQ(CopyBankFile(Path("none.dls").c_str(), Path("dst.dls").c_str()), 0);

  // A read-only file is made writable and deleted; a missing one counts as gone.
  Write(Path("ro.dls"), "x");
  ASSERT_TRUE(SetFileAttributesA(Path("ro.dls").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(DeleteBankFile(Path("ro.dls").c_str()), 1);
  EXPECT_EQ(GetFileAttributesA(Path("ro.dls").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(DeleteBankFile(Path("none.dls").c_str()), 1);
}

}  // namespace
