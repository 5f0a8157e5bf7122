// Driving the installed control panel from a test program in the same Wine prefix.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

extern const char kProgram[];      // the installed ZephraCtrl.exe
extern const char kFrameTitle[];   // the hidden main window
extern const char kSheetTitle[];
extern const char kWarningTitle[];
extern const char kPrefsKey[];     // K2 under HKEY_CURRENT_USER
extern const char kInstallKey[];   // K3 under HKEY_LOCAL_MACHINE

bool IsNT();  // the shape the test script installed

// Polls until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = 10000);

class Process {
 public:
  Process() = default;
  ~Process();
  Process(Process&& o) noexcept : pi_(o.pi_) { o.pi_ = {}; }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  static Process Start(const std::string& args = "");
  bool WaitExit(DWORD timeoutMs = 10000) const;
  bool Running() const { return pi_.hProcess && !WaitExit(0); }
  DWORD Pid() const { return pi_.dwProcessId; }

 private:
  PROCESS_INFORMATION pi_{};
};

HWND FindFrame();
HWND FindVisible(const char* cls, const char* title);
// Every visible top-level window with this class and title.
std::vector<HWND> FindAllVisible(const char* cls, const char* title);
HWND WaitForSheet(DWORD timeoutMs = 10000);
std::string Text(HWND w);

// Starts a resident copy and waits for its hidden window.
Process StartResident(const std::string& args = "");
// Ends every running copy: "/U", then whatever is left.
void EndAll();

// The tray icon child of Wine's stand-alone tray window, if any.
HWND TrayIcon();
void TrayMouse(HWND icon, UINT down, UINT up, bool doubleClick);

// Property sheet queries across processes.
int PageCount(HWND sheet);
std::vector<std::string> TabTexts(HWND sheet);
int ActivePage(HWND sheet);
void CloseSheet(HWND sheet, int button);  // IDOK or IDCANCEL

// Registry values of the test, put back as they were when the guard goes.
class RegistryGuard {
 public:
  RegistryGuard(HKEY root, const char* path, std::vector<std::string> names);
  ~RegistryGuard();

 private:
  struct Saved {
    std::string name;
    bool present;
    DWORD type;
    std::string data;
  };
  HKEY root_;
  std::string path_;
  std::vector<Saved> saved_;
};

bool SetDword(HKEY root, const char* path, const char* name, DWORD value);
bool SetString(HKEY root, const char* path, const char* name, const std::string& value);
void DeleteValue(HKEY root, const char* path, const char* name);
// The raw bytes and type of a value; false when it is missing.
bool ReadValue(HKEY root, const char* path, const char* name, std::string* data, DWORD* type);

// Which of the card's devices exist, changed at run time (0 takes the card away); the mask
// before the change goes to previous.
bool SetCardDevices(DWORD mask, DWORD* previous = nullptr);
constexpr DWORD kAllDevices = 0xF;

// The recording of the null sink that e2e_config_capture.sh runs beside the test
// (48 kHz, 16-bit stereo), read while it grows; unavailable without ZEPHRA_CAPTURE.
class Capture {
 public:
  Capture();
  bool Available() const { return !path_.empty(); }
  // Frames recorded so far.
  long long Now() const;
  // Interleaved left/right samples of frames [from, to).
  std::vector<short> Read(long long from, long long to) const;
  // Waits until the recording has passed `frames`.
  void WaitPast(long long frames, DWORD timeoutMs = 5000) const;

 private:
  std::string path_;
};

}  // namespace e2e
