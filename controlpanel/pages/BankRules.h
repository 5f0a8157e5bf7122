// Decisions of the instrument-bank download that need no platform: where the chosen bank is
// loaded from, what happens to the bank it replaces and which path is kept. No <windows.h>.
#pragma once
#include <string>

namespace bank {

constexpr unsigned kFixedDisk = 3;  // the platform's drive type of a hard disk
constexpr const char* kNewSuffix = ".new";

// The system directory, "\" and "orvanegm".
std::string DefaultBankPath(const std::string& systemDir);

// The directories the working directory is made of: "Orvane" in the program files
// directory, and "KV2240" in that. The last one is the working directory.
struct WorkingDirs {
  std::string parent;  // ...\Orvane
  std::string dir;     // ...\Orvane\KV2240
};
WorkingDirs WorkingDirFor(const std::string& programFilesDir);

struct PathParts {
  std::string drive, dir, name, ext;
};
// As the runtime's _splitpath: "C:", "\dir\", "name", ".ext".
PathParts SplitPath(const std::string& path);

// Case ignored, '/' taken as '\', repeated separators as one.
bool SamePath(const std::string& a, const std::string& b);
// The first characters of path equal dir (case ignored).
bool Inside(const std::string& path, const std::string& dir);

struct Target {
  std::string path;  // what the card is told to load
  bool copy;         // the chosen file is copied there first
  bool replace;      // the copy carries ".new" because the bank in use has its name
};
// A fixed disk loads the file in place; any other drive loads a copy in the working directory,
// unless the chosen file is that copy's place already.
Target ChooseTarget(const std::string& selected, unsigned driveType, const std::string& workingDir,
                    const std::string& currentBank);

// Whether the bank that was in use goes once the new one is loaded: only from the working
// directory, and never when it is the file just loaded.
bool DeleteOldBank(const Target& target, const std::string& currentBank, const std::string& workingDir);

// The bank in use afterwards: the old name when the ".new" copy took it, else the target.
std::string BankInUse(const Target& target, const std::string& currentBank, bool renamed);

// The download failure's text: the message, a blank and the chosen path quoted, a full stop.
std::string FailureText(const std::string& message, const std::string& selected);

}  // namespace bank
