// Driving the installed control panel from a test program in the same Wine prefix.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "card/core/CardCore.h"
#include "shared/card/CardClient.h"

namespace e2e {

extern const char kProgramDir[];   // where setup installs, with the closing backslash
extern const char kProgram[];      // the installed ZephraCtrl.exe
extern const char kFrameTitle[];   // the hidden main window
extern const char kSheetTitle[];
extern const char kWarningTitle[];
extern const char kPrefsKey[];     // K2 under HKEY_CURRENT_USER
extern const char kInstallKey[];   // K3 under HKEY_LOCAL_MACHINE

bool IsNT();  // the shape the test script installed

// Polls until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs = 10000);

// The recording of the sound server's null sink that e2e_capture.sh runs beside the test:
// 48 kHz, 16-bit stereo, growing in real time. Its length is the test's clock for sound.
class Capture {
 public:
  static constexpr int kRate = 48000;
  Capture();
  bool Available() const { return !path_.empty(); }
  // Frames recorded so far; -1 without a recording.
  long long Now() const;
  // Interleaved left/right samples of frames [from, to).
  std::vector<short> Read(long long from, long long to) const;
  // Waits until the recording has passed `frames`.
  bool WaitPast(long long frames, DWORD timeoutMs = 10000) const;
  // Waits until the recording grows, and returns its length then; -1 when it does not.
  long long Running() const;
  // The first frame from `from` on in a 10 ms window louder than `db` (dBFS RMS on either
  // channel), waiting for it; -1 when none comes.
  long long WaitForSound(long long from, double db = -50, DWORD timeoutMs = 10000) const;
  // Waits until the recording after `from` ends in `ms` without such a window.
  bool WaitForSilence(long long from, int ms, double db = -50, DWORD timeoutMs = 10000) const;

 private:
  std::string path_;
};

class Process {
 public:
  Process() = default;
  ~Process();
  Process(Process&& o) noexcept : pi_(o.pi_) { o.pi_ = {}; }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // A suspended copy runs nothing of its own until Resume, so that two can be let go at once.
  static Process Start(const std::string& args = "", bool suspended = false);
  bool Resume() const { return pi_.hThread && ResumeThread(pi_.hThread) != static_cast<DWORD>(-1); }
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
// Sends the window a message that does nothing; true once its thread took it. The thread
// has then come to a point where it takes messages: its loop, or a modal window's.
bool Settled(HWND w);

// Starts a resident copy and waits for its hidden window.
Process StartResident(const std::string& args = "");
// Ends every running copy: "/U", then whatever is left.
void EndAll();
// Ends every process of this file name.
void EndProcesses(const char* exe);

// The tray icon child of Wine's stand-alone tray window, if any.
HWND TrayIcon();
int TrayIconCount();
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
// The card's configuration changed in place; false when it cannot be read or set.
bool ConfigureCard(kv22::CardClient& card, const std::function<void(kv22::CardConfig&)>& change);
// The card's state now; all zero when it cannot be read.
kv22::CardState CardStateOf(kv22::CardClient& card);

// Mean square of each channel of interleaved stereo over frames [from, to), clipped to the
// samples there are; 0 for an empty stretch.
void MeanSquare(const std::vector<short>& s, size_t from, size_t to, double* left, double* right);

// A file moved aside for a test and put back, over whatever the test left there, when the
// guard goes. The test may write other bytes in its place meanwhile.
class FileAway {
 public:
  explicit FileAway(std::string path);
  ~FileAway();
  FileAway(const FileAway&) = delete;
  FileAway& operator=(const FileAway&) = delete;
  bool Moved() const { return moved_; }
  const std::string& Path() const { return path_; }
  const std::string& Aside() const { return aside_; }

 private:
  std::string path_, aside_;
  bool moved_ = false;
};

// A platform library taken away from one program (Wine's per-program override; the
// environment's WINEDLLOVERRIDES does not reach a child under Wine 8) until the guard goes.
class DllTakenAway {
 public:
  DllTakenAway(const char* exe, const char* dll);
  ~DllTakenAway();
  DllTakenAway(const DllTakenAway&) = delete;
  DllTakenAway& operator=(const DllTakenAway&) = delete;
  bool Set() const { return set_; }

 private:
  std::string key_, dll_;
  bool set_ = false;
};

// The card's kernel driver stopped, as on a machine where it did not load, and started
// again when the guard goes (waiting until the card answers).
class CardDriverStopped {
 public:
  CardDriverStopped();
  ~CardDriverStopped();
  CardDriverStopped(const CardDriverStopped&) = delete;
  CardDriverStopped& operator=(const CardDriverStopped&) = delete;
  bool Stopped() const { return stopped_; }

 private:
  bool stopped_ = false;
};

// The Trivox splash switched off for a test suite that measures the sound of programs
// starting a Trivox device; the stored values are put back afterwards.
class SplashOff {
 public:
  SplashOff();
  ~SplashOff();
  SplashOff(const SplashOff&) = delete;
  SplashOff& operator=(const SplashOff&) = delete;

 private:
  HKEY key_ = nullptr;
  bool had_[2] = {};
  DWORD type_[2] = {}, size_[2] = {};
  BYTE old_[2][64] = {};
};

}  // namespace e2e
