#include "controlpanel/pages/IniFile.h"

#include <functional>

namespace ini {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kTempPrefix = "CSC";

bool BeginsWith(const std::string& text, size_t at, const std::string& header) {
  if (text.size() - at < header.size()) return false;
  for (size_t i = 0; i < header.size(); ++i) {
    const unsigned char a = static_cast<unsigned char>(text[at + i]);
    const unsigned char b = static_cast<unsigned char>(header[i]);
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); };
    if (lower(a) != lower(b)) return false;
  }
  return true;
}

}  // namespace

std::string Header(const std::string& section) { return "[" + section + "]"; }

std::string InsertEntry(const std::string& content, const std::string& section, const std::string& key,
                        const std::string& value) {
  const std::string header = Header(section);
  const std::string entry = key + "=" + value + kLineEnd;
  // Headers count at the start of a line only, however long the lines are.
  for (size_t start = 0; start < content.size();) {
    const size_t newline = content.find('\n', start);
    const size_t end = newline == std::string::npos ? content.size() : newline + 1;
    if (BeginsWith(content, start, header)) {
      const std::string joint = newline == std::string::npos ? kLineEnd : "";
      return content.substr(0, end) + joint + entry + content.substr(end);
    }
    start = end;
  }
  return content + kLineEnd + header + kLineEnd + entry;
}

std::string RemoveEntry(const std::string& content, const std::string& section, const std::string& key,
                        const std::string& value) {
  const std::string header = Header(section);
  const std::string entry = key + "=" + value;
  std::string out;
  bool inSection = false;
  for (size_t start = 0; start < content.size();) {
    const size_t newline = content.find('\n', start);
    const size_t end = newline == std::string::npos ? content.size() : newline + 1;
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line[0] == '[') inSection = BeginsWith(content, start, header);
    std::string bare = line;
    while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r')) bare.pop_back();
    const bool match = inSection && bare.size() == entry.size() && BeginsWith(bare, 0, entry);
    if (!match) out += line;
    start = end;
  }
  return out;
}

namespace {

// Replaces the file with `change` of its content through a temporary copy and two moves.
int Rewrite(Files& files, const std::string& iniPath, bool createMissing,
            const std::function<std::string(const std::string&)>& change) {
  std::string content;
  switch (files.ReadAll(iniPath, &content)) {
    case Files::Read::Ok:
      break;
    case Files::Read::Missing:
      if (!createMissing) return 1;
      if (!files.CreateEmpty(iniPath)) return 0;
      content.clear();
      break;
    case Files::Read::Failed:
      return 0;
  }
  if (content.size() > kMaxIniBytes) return 0;
  const std::string changed = change(content);
  if (!createMissing && changed == content) return 1;
  std::string temp;
  if (!files.TempName(kTempPrefix, &temp)) return 0;
  if (!files.WriteAll(temp, changed)) {
    files.Remove(temp);
    return 0;
  }
  std::string backup;
  if (!files.TempName(kTempPrefix, &backup)) {
    files.Remove(temp);
    return 0;
  }
  files.Remove(backup);
  if (!files.Move(iniPath, backup)) {
    files.Remove(temp);
    return 0;
  }
  if (!files.Move(temp, iniPath)) {
    files.Move(backup, iniPath);
    files.Remove(temp);
    return 0;
  }
  files.Remove(backup);
  return 1;
}

}  // namespace

int AddIniLine(Files& files, const std::string& section, const std::string& key, const std::string& value,
               const std::string& iniPath) {
  return Rewrite(files, iniPath, true,
                 [&](const std::string& content) { return InsertEntry(content, section, key, value); });
}

int RemoveIniLine(Files& files, const std::string& section, const std::string& key, const std::string& value,
                  const std::string& iniPath) {
  return Rewrite(files, iniPath, false,
                 [&](const std::string& content) { return RemoveEntry(content, section, key, value); });
}

}  // namespace ini
