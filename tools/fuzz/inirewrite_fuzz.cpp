// The INI rewriter's file steps: adding and removing an entry through a temporary copy and
// two moves, with any step failing. Whatever fails, the file holds either its old content or
// the new one, and the old content is never lost (after a failed move back it waits under
// the backup name); temporary files go unless their removal itself failed.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "controlpanel/pages/IniFile.h"
#include "tools/fuzz/ini_take.h"

namespace {

class FakeFiles : public ini::Files {
 public:
  FakeFiles(uint32_t failures, bool unreadable) : fail_(failures), unreadable_(unreadable) {}
  std::map<std::string, std::string> disk;
  bool removeFailed = false;

  Read ReadAll(const std::string& path, std::string* content) override {
    if (unreadable_) return Read::Failed;
    auto it = disk.find(path);
    if (it == disk.end()) return Read::Missing;
    *content = it->second;
    return Read::Ok;
  }
  bool CreateEmpty(const std::string& path) override { return !Fails() && (disk[path] = "", true); }
  bool TempName(const char*, std::string* name) override {
    if (Fails()) return false;
    *name = "tmp" + std::to_string(serial_++);
    disk[*name] = "";  // the platform makes the file
    return true;
  }
  bool WriteAll(const std::string& path, const std::string& content) override {
    return !Fails() && (disk[path] = content, true);
  }
  bool Move(const std::string& from, const std::string& to) override {
    if (Fails() || !disk.count(from) || disk.count(to)) return false;
    disk[to] = disk[from];
    disk.erase(from);
    return true;
  }
  bool Remove(const std::string& path) override {
    if (Fails()) {
      removeFailed = true;
      return false;
    }
    return disk.erase(path) != 0;
  }

 private:
  bool Fails() { return (fail_ >> (calls_++ & 31)) & 1; }
  uint32_t fail_;
  bool unreadable_;
  uint32_t calls_ = 0;
  int serial_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const bool add = data[0] & 1, exists = data[0] & 2, unreadable = (data[0] & 0x1C) == 0x1C;
  const uint32_t failures = uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16;
  data += 4, size -= 4;
  const std::string section = Take(data, size, 12), key = Take(data, size, 8), value = Take(data, size, 40);
  const std::string old(reinterpret_cast<const char*>(data), size);
  const std::string path = "C:\\WINDOWS\\WININIT.INI";

  FakeFiles files(failures, unreadable);
  if (exists) files.disk[path] = old;
  const int result = add ? ini::AddIniLine(files, section, key, value, path)
                         : ini::RemoveIniLine(files, section, key, value, path);
  const std::string before = exists ? old : "";
  const std::string want = add ? ini::InsertEntry(before, section, key, value) : ini::RemoveEntry(before, section, key, value);
  auto it = files.disk.find(path);
  if (result == 1) {
    if (!exists && !add) {
      if (it != files.disk.end()) __builtin_trap();  // nothing to remove from: nothing made
    } else if (it == files.disk.end() || it->second != want) {
      __builtin_trap();
    }
  } else {
    bool kept = false;  // the old content, at its name or under a backup name
    for (const auto& f : files.disk) kept = kept || (f.second == before && (f.first == path || exists));
    if (exists && !kept) __builtin_trap();
    if (it != files.disk.end() && it->second != before) __builtin_trap();
  }
  if (!files.removeFailed) {
    size_t others = 0;
    for (const auto& f : files.disk) others += f.first != path && f.second != before;
    if (others) __builtin_trap();  // a temporary copy left behind
  }
  return 0;
}
