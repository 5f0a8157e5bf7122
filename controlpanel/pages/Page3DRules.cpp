#include "controlpanel/pages/Page3DRules.h"

#include "shared/names/Names.h"

namespace demos {

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

// Appends a directory part with one separator after it, as a composed path has.
void AppendDirectory(std::string& path, const std::string& directory) {
  path += directory;
  if (!directory.empty() && !IsSlash(directory.back())) path += '\\';
}

}  // namespace

Launch DemoLaunch(const std::string& programDir, const char* demoName) {
  // Drive and directory: a file-name part after the last separator is not kept.
  std::string drive, directory = programDir;
  if (directory.size() >= 2 && directory[1] == ':') {
    drive = directory.substr(0, 2);
    directory.erase(0, 2);
  }
  const std::string::size_type last = directory.find_last_of("\\/");
  directory.erase(last == std::string::npos ? 0 : last + 1);
  directory += ZEPHRA_DEMOS_DIR;

  Launch launch;
  launch.directory = drive;
  AppendDirectory(launch.directory, directory);
  launch.program = launch.directory + demoName + ".exe";
  return launch;
}

}  // namespace demos
