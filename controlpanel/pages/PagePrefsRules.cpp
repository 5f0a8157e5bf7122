#include "controlpanel/pages/PagePrefsRules.h"

#include <cstdio>
#include <cstring>

namespace prefs {

int EqListPosition(int32_t inputIndex, int entries) {
  const int64_t position = int64_t(inputIndex) + 1;
  if (position < 0 || position > kMaxEqPosition || position >= entries) return 0;
  return int(position);
}

int EqInputsToShow(unsigned reportedCount) {
  return reportedCount > unsigned(kMaxEqPosition) ? kMaxEqPosition : int(reportedCount);
}

std::string EqInputName(const char* name, unsigned size) {
  return std::string(name, strnlen(name, size));
}

std::string RunCommand(const char* programDir) { return std::string(programDir) + "ZephraCtrl.exe"; }

std::string BoardIdText(uint16_t boardId) {
  char text[8];
  std::snprintf(text, sizeof text, "%x", unsigned(boardId));
  return text;
}

}  // namespace prefs
