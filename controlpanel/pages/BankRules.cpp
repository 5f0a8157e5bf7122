#include "controlpanel/pages/BankRules.h"

#include "shared/settings/Catalogue.h"

namespace bank {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, size_t n, const std::string& b) {
  if (a.size() < n || b.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

}  // namespace

std::string DefaultBankPath(const std::string& systemDir) {
  return systemDir + "\\" + catalogue::kDefaultBankFile;
}

WorkingDirs WorkingDirFor(const std::string& programFilesDir) {
  WorkingDirs d;
  d.parent = programFilesDir;
  if (d.parent.empty() || d.parent.back() != '\\') d.parent += "\\";
  d.parent += "Orvane";
  d.dir = d.parent + "\\KV2240";
  return d;
}

PathParts SplitPath(const std::string& path) {
  PathParts p;
  size_t at = 0;
  if (path.size() >= 2 && path[1] == ':') {
    p.drive = path.substr(0, 2);
    at = 2;
  }
  const size_t slash = path.find_last_of("\\/");
  const size_t nameAt = slash == std::string::npos || slash < at ? at : slash + 1;
  p.dir = path.substr(at, nameAt - at);
  const std::string file = path.substr(nameAt);
  const size_t dot = file.rfind('.');
  p.name = dot == std::string::npos ? file : file.substr(0, dot);
  p.ext = dot == std::string::npos ? "" : file.substr(dot);
  return p;
}

namespace {

// One spelling of a path for comparison: '/' as '\', separators run together, case lowered.
std::string Canonical(const std::string& path) {
  std::string out;
  for (char c : path) {
    const char d = c == '/' ? '\\' : Lower(c);
    if (d == '\\' && !out.empty() && out.back() == '\\' && out.size() > 1) continue;
    out += d;
  }
  return out;
}

}  // namespace

bool SamePath(const std::string& a, const std::string& b) { return Canonical(a) == Canonical(b); }

bool Inside(const std::string& path, const std::string& dir) { return SameText(path, dir.size(), dir); }

Target ChooseTarget(const std::string& selected, unsigned driveType, const std::string& workingDir,
                    const std::string& currentBank) {
  if (driveType == kFixedDisk) return {selected, false, false};
  const PathParts parts = SplitPath(selected);
  Target t{workingDir + "\\" + parts.name + parts.ext, true, false};
  if (SamePath(t.path, currentBank)) {
    t.replace = true;
    t.path += kNewSuffix;
  } else if (SamePath(t.path, selected)) {
    t.copy = false;  // it already lies there: a copy onto itself would empty it
  }
  return t;
}

bool DeleteOldBank(const Target& target, const std::string& currentBank, const std::string& workingDir) {
  return Inside(currentBank, workingDir) && !SamePath(currentBank, target.path);
}

std::string BankInUse(const Target& target, const std::string& currentBank, bool renamed) {
  return target.replace && renamed ? currentBank : target.path;
}

std::string FailureText(const std::string& message, const std::string& selected) {
  return message + " \"" + selected + "\".";
}

}  // namespace bank
