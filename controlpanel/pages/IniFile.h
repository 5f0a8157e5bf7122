// Adding one entry to an INI file such as WININIT.INI. The rewrite goes through a
// temporary copy and two moves, so the file is either the old one or the new one.
// No <windows.h>: the file operations come from the caller.
#pragma once
#include <cstddef>
#include <string>

namespace ini {

// "[" section "]".
std::string Header(const std::string& section);

// The content with key=value as the first entry of the section: directly below the first
// line that begins with the header (case ignored), or a new section at the end. Every
// original byte stays as it was; the new lines end in CR LF.
std::string InsertEntry(const std::string& content, const std::string& section, const std::string& key,
                        const std::string& value);

// The content without the section's lines that read key=value exactly (case ignored, as
// paths are); everything else byte for byte.
std::string RemoveEntry(const std::string& content, const std::string& section, const std::string& key,
                        const std::string& value);

// The largest INI file rewritten: WININIT.INI holds a few lines, and the rewrite keeps two
// copies of it in memory. A larger file is left alone (the result is 0).
constexpr size_t kMaxIniBytes = size_t(1) << 20;

// The file operations the rewrite needs.
class Files {
 public:
  virtual ~Files() = default;
  enum class Read { Ok, Missing, Failed };
  // The whole file, or its first kMaxIniBytes + 1 bytes when it is longer.
  virtual Read ReadAll(const std::string& path, std::string* content) = 0;
  virtual bool CreateEmpty(const std::string& path) = 0;
  // A fresh name in the temporary directory with the given prefix; the file may exist.
  virtual bool TempName(const char* prefix, std::string* name) = 0;
  virtual bool WriteAll(const std::string& path, const std::string& content) = 0;
  virtual bool Move(const std::string& from, const std::string& to) = 0;
  virtual bool Remove(const std::string& path) = 0;
};

// 1 when the file holds the new entry, 0 when it was left as it was.
int AddIniLine(Files& files, const std::string& section, const std::string& key, const std::string& value,
               const std::string& iniPath);
// Takes such entries back out; 1 also when there is none or no file, 0 when the file holds
// one and could not be rewritten.
int RemoveIniLine(Files& files, const std::string& section, const std::string& key, const std::string& value,
                  const std::string& iniPath);

}  // namespace ini
