// Rules of the Trivox Demos page that need no window. No <windows.h>.
#pragma once
#include <string>

namespace demos {

constexpr int kImageHeight = 16;
constexpr int kIconSize = 16;
constexpr int kLabelX = 18;
constexpr int kLabelY = 2;

// A demo button's image is this much narrower than the button's client area.
inline int ButtonImageWidth(int clientWidth) { return clientWidth - 10; }

struct Launch {
  std::string directory;  // made current before the start; ends in a backslash
  std::string program;    // the file started, and its only argument
};

// Where a demo runs from: the "demos" folder in the program directory (which ends in a
// backslash), split and composed the way the C runtime's path functions do it.
Launch DemoLaunch(const std::string& programDir, const char* demoName);

}  // namespace demos
