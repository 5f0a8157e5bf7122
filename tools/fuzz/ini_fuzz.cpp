// The INI rewriter: for any existing content, section, key and value, the result holds
// every original byte in order plus exactly one new entry (and, when no section matched,
// the new section), checked against a plain reading of the rule.
#include <cstddef>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <string>

#include "controlpanel/pages/IniFile.h"
#include "tools/fuzz/ini_take.h"

namespace {

bool HeaderAt(const std::string& text, size_t at, const std::string& header) {
  if (text.size() - at < header.size()) return false;
  for (size_t i = 0; i < header.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != std::tolower(static_cast<unsigned char>(header[i])))
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string section = Take(data, size, 12);
  const std::string key = Take(data, size, 8);
  const std::string value = Take(data, size, 40);
  const std::string content(reinterpret_cast<const char*>(data), size);
  const std::string result = ini::InsertEntry(content, section, key, value);

  const std::string header = "[" + section + "]";
  const std::string entry = key + "=" + value + "\r\n";
  size_t lineEnd = std::string::npos;
  for (size_t at = 0; at < content.size() && lineEnd == std::string::npos;) {
    const size_t nl = content.find('\n', at);
    const size_t next = nl == std::string::npos ? content.size() : nl + 1;
    if (HeaderAt(content, at, header)) lineEnd = next;
    at = next;
  }
  std::string expected;
  if (lineEnd == std::string::npos) {
    expected = content + "\r\n" + header + "\r\n" + entry;
  } else {
    const bool joined = lineEnd == content.size() && (content.empty() || content.back() != '\n');
    expected = content.substr(0, lineEnd) + (joined ? "\r\n" : "") + entry + content.substr(lineEnd);
  }
  if (result != expected) std::abort();
  return 0;
}
