#include "controlpanel/pages/IniFile.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

const std::string kEntry = "NUL=C:\\PROGRA~1\\Orvane\\KV2240\\old.dls\r\n";

std::string Insert(const std::string& content, const std::string& value = "C:\\PROGRA~1\\Orvane\\KV2240\\old.dls") {
  return ini::InsertEntry(content, "Rename", "NUL", value);
}

TEST(IniInsertTest, EntryGoesDirectlyBelowTheFirstHeaderWhateverItsCase) {
  EXPECT_EQ(Insert("[boot]\r\nx=1\r\n[rename]\r\nNUL=a\r\n[RENAME]\r\n"),
            "[boot]\r\nx=1\r\n[rename]\r\n" + kEntry + "NUL=a\r\n[RENAME]\r\n");
  EXPECT_EQ(Insert("[Rename] ; old\r\n"), "[Rename] ; old\r\n" + kEntry) << "the header begins the line";
  EXPECT_EQ(Insert("[Rename]"), "[Rename]\r\n" + kEntry) << "a last line without its end gets one";
}

TEST(IniInsertTest, NoSectionAppendsOneAfterALineEnd) {
  EXPECT_EQ(Insert("[boot]\r\nx=1\r\n"), "[boot]\r\nx=1\r\n\r\n[Rename]\r\n" + kEntry);
  EXPECT_EQ(Insert("x=1"), "x=1\r\n[Rename]\r\n" + kEntry);
  EXPECT_EQ(Insert(""), "\r\n[Rename]\r\n" + kEntry) << "a new file";
  EXPECT_EQ(Insert("\r\n"), "\r\n\r\n[Rename]\r\n" + kEntry) << "a file of only CR LF";
  EXPECT_EQ(Insert(" [Rename]\r\n[Renamed]\r\n"), " [Rename]\r\n[Renamed]\r\n\r\n[Rename]\r\n" + kEntry);
}

TEST(IniInsertTest, TwoEntriesInReverseOrder) {
  const std::string once = Insert("", "first");
  EXPECT_EQ(Insert(once, "second"), "\r\n[Rename]\r\nNUL=second\r\nNUL=first\r\n");
}

TEST(IniInsertTest, LongLinesStayWholeAndHideNoHeader) {
  // A header 299 and 600 characters into one line is not at a line's start.
  const std::string longLine = std::string(299, 'a') + "[Rename]" + std::string(293, 'b') + "[Rename]\n";
  ASSERT_GT(longLine.size(), 600u);
  const std::string lf = "plain\nlines\n";
  EXPECT_EQ(Insert(longLine + lf), longLine + lf + "\r\n[Rename]\r\n" + kEntry);
  const std::string binary = std::string("x\0\x1a\r", 4) + "\n[Rename]\n";
  EXPECT_EQ(Insert(binary), binary + kEntry) << "bytes kept as they were";
}

// Files in memory, with failures on demand.
class MemoryFiles : public ini::Files {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> locked;  // open elsewhere: reading for update fails
  int failMove = 0;              // which move fails (1 or 2), 0 none
  int tempNames = 0, moves = 0;
  int failTempName = 0;

  Read ReadAll(const std::string& path, std::string* content) override {
    if (locked.count(path)) return Read::Failed;
    auto f = files.find(path);
    if (f == files.end()) return Read::Missing;
    *content = f->second;
    return Read::Ok;
  }
  bool CreateEmpty(const std::string& path) override {
    files[path] = "";
    return true;
  }
  bool TempName(const char* prefix, std::string* name) override {
    if (++tempNames == failTempName) return false;
    *name = std::string("T\\") + prefix + std::to_string(tempNames) + ".tmp";
    files[*name] = "";
    return true;
  }
  bool WriteAll(const std::string& path, const std::string& content) override {
    files[path] = content;
    return true;
  }
  bool Move(const std::string& from, const std::string& to) override {
    if (++moves == failMove || !files.count(from) || files.count(to)) return false;
    files[to] = files[from];
    files.erase(from);
    return true;
  }
  bool Remove(const std::string& path) override { return files.erase(path) == 1; }
};

const char kIni[] = "C:\\WINDOWS\\WININIT.INI";

TEST(AddIniLineTest, ReplacesTheFileAndLeavesNoTemporaryFile) {
  MemoryFiles fs;
  fs.files[kIni] = "[Rename]\r\n";
  EXPECT_EQ(ini::AddIniLine(fs, "Rename", "NUL", "a", kIni), 1);
  EXPECT_EQ(fs.files[kIni], "[Rename]\r\nNUL=a\r\n");
  EXPECT_EQ(fs.files.size(), 1u);

  MemoryFiles none;
  EXPECT_EQ(ini::AddIniLine(none, "Rename", "NUL", "a", kIni), 1) << "a missing file is made";
  EXPECT_EQ(none.files[kIni], "\r\n[Rename]\r\nNUL=a\r\n");
}

TEST(AddIniLineTest, AFileLargerThanTheBudgetIsLeftAlone) {
  MemoryFiles fs;
  fs.files[kIni] = std::string(ini::kMaxIniBytes, 'x');
  EXPECT_EQ(ini::AddIniLine(fs, "Rename", "NUL", "a", kIni), 1) << "at the limit: rewritten";
  fs.files[kIni] = std::string(ini::kMaxIniBytes + 1, 'x');
  EXPECT_EQ(ini::AddIniLine(fs, "Rename", "NUL", "a", kIni), 0);
  EXPECT_EQ(ini::RemoveIniLine(fs, "Rename", "NUL", "a", kIni), 0);
  EXPECT_EQ(fs.files[kIni].size(), ini::kMaxIniBytes + 1);
  EXPECT_EQ(fs.files.size(), 1u) << "no temporary file";
}

TEST(AddIniLineTest, AnUnfinishedRewriteLeavesTheFileAsItWas) {
  const std::string before = "[boot]\r\n";
  for (int failMove : {1, 2}) {
    MemoryFiles fs;
    fs.files[kIni] = before;
    fs.failMove = failMove;
    EXPECT_EQ(ini::AddIniLine(fs, "Rename", "NUL", "a", kIni), 0) << failMove;
    EXPECT_EQ(fs.files[kIni], before) << "the backup went back, move " << failMove;
    EXPECT_EQ(fs.files.size(), 1u) << "temporary files removed, move " << failMove;
  }
  for (int failTemp : {1, 2}) {
    MemoryFiles fs;
    fs.files[kIni] = before;
    fs.failTempName = failTemp;
    EXPECT_EQ(ini::AddIniLine(fs, "Rename", "NUL", "a", kIni), 0);
    EXPECT_EQ(fs.files[kIni], before);
    EXPECT_EQ(fs.files.size(), 1u);
  }
  MemoryFiles fs;
  fs.files[kIni] = before;
  fs.locked.insert(kIni);
  EXPECT_EQ(ini::AddIniLine(fs, "Rename", "NUL", "a", kIni), 0) << "a file that cannot be written";
  EXPECT_EQ(fs.files[kIni], before);
  EXPECT_EQ(fs.tempNames, 0);
}

}  // namespace

namespace {

TEST(IniRemoveTest, OnlyThatEntryOfThatSectionGoes) {
  const std::string before = "[boot]\r\nNUL=C:\\a.dls\r\n[rename]\r\nNUL=C:\\b.dls\r\nNUL=c:\\A.DLS\r\nNUL=C:\\a.dls.new\r\n"
                             "[Other]\r\nNUL=C:\\a.dls\r\n[Rename]\nNUL=C:\\a.dls";
  EXPECT_EQ(ini::RemoveEntry(before, "Rename", "NUL", "C:\\a.dls"),
            "[boot]\r\nNUL=C:\\a.dls\r\n[rename]\r\nNUL=C:\\b.dls\r\nNUL=C:\\a.dls.new\r\n[Other]\r\nNUL=C:\\a.dls\r\n"
            "[Rename]\n");
  EXPECT_EQ(ini::RemoveEntry("x\r\n", "Rename", "NUL", "C:\\a.dls"), "x\r\n");
}

TEST(IniRemoveTest, NothingToTakeBackLeavesTheFileAlone) {
  MemoryFiles fs;
  EXPECT_EQ(ini::RemoveIniLine(fs, "Rename", "NUL", "a", kIni), 1) << "no file";
  EXPECT_TRUE(fs.files.empty()) << "none made";
  fs.files[kIni] = "[Rename]\r\nNUL=b\r\n";
  EXPECT_EQ(ini::RemoveIniLine(fs, "Rename", "NUL", "a", kIni), 1);
  EXPECT_EQ(fs.moves, 0) << "not rewritten";
  EXPECT_EQ(ini::RemoveIniLine(fs, "Rename", "NUL", "b", kIni), 1);
  EXPECT_EQ(fs.files[kIni], "[Rename]\r\n");
  EXPECT_EQ(fs.files.size(), 1u);
}

}  // namespace
