// Times the installed ZephraCtrl in the current Wine prefix and prints figures (no limits).
//   zephra_bench [RUNS]       start to hidden window, WM_SHOW_PROPSHEET to visible sheet, private bytes
//   zephra_bench resident     starts one resident copy, waits for its window, prints its pid
//   zephra_bench end          ends every running copy with "/U"
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shared/names/Names.h"

namespace {

const char kProgram[] = "C:\\Program Files\\Resonix Trivox\\ZephraCtrl.exe";
const char kFrameTitle[] = ZEPHRA_FRAME_TITLE;
const char kSheetTitle[] = "Resonix Trivox";
const char kPrefsKey[] = "Software\\Meridal\\Resonix Trivox\\Resonix Trivox Control\\Preferences";
const DWORD kTimeoutMs = 15000;

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

// Polls as fast as the scheduler lets it; false when the time is up.
template <typename Cond>
bool Poll(Cond cond, DWORD timeoutMs = kTimeoutMs) {
  DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(0);
  }
  return true;
}

HWND VisibleSheet() {
  HWND w = FindWindowA("#32770", kSheetTitle);
  return w && IsWindowVisible(w) ? w : nullptr;
}

bool Start(const char* args, PROCESS_INFORMATION* pi) {
  std::string cmd = std::string("\"") + kProgram + "\" " + args;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  *pi = {};
  return CreateProcessA(kProgram, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != 0;
}

void Close(PROCESS_INFORMATION& pi) {
  if (pi.hThread) CloseHandle(pi.hThread);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  pi = {};
}

void EndAll() {
  if (!FindWindowA(nullptr, kFrameTitle)) return;
  PROCESS_INFORMATION pi;
  if (Start("/U", &pi)) {
    WaitForSingleObject(pi.hProcess, kTimeoutMs);
    Close(pi);
  }
  Poll([] { return FindWindowA(nullptr, kFrameTitle) == nullptr; });
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The tray icon is the resident case being timed; the stored value is put back afterwards.
class TrayIconOn {
 public:
  TrayIconOn() {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kPrefsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof saved_;
    had_ = RegQueryValueExA(key_, "TaskBarIconEnable", nullptr, nullptr, reinterpret_cast<BYTE*>(&saved_), &size) ==
           ERROR_SUCCESS;
    DWORD on = 1;
    RegSetValueExA(key_, "TaskBarIconEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
  }
  ~TrayIconOn() {
    if (!key_) return;
    if (had_)
      RegSetValueExA(key_, "TaskBarIconEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved_), sizeof saved_);
    else
      RegDeleteValueA(key_, "TaskBarIconEnable");
    RegCloseKey(key_);
  }
  TrayIconOn(const TrayIconOn&) = delete;
  TrayIconOn& operator=(const TrayIconOn&) = delete;

 private:
  HKEY key_ = nullptr;
  DWORD saved_ = 0;
  bool had_ = false;
};

struct Memory {
  double privateKiB = 0;     // PrivateUsage
  double workingSetKiB = 0;  // WorkingSetSize
};

Memory MemoryOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX pmc{};
  pmc.cb = sizeof pmc;
  Memory m;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
    m.privateKiB = static_cast<double>(pmc.PrivateUsage) / 1024.0;
    m.workingSetKiB = static_cast<double>(pmc.WorkingSetSize) / 1024.0;
  }
  return m;
}

int Bench(int runs) {
  TrayIconOn tray;
  EndAll();
  std::vector<double> startMs, sheetMs, privKiB, wsKiB;
  for (int i = 0; i < runs; ++i) {
    PROCESS_INFORMATION pi;
    double t0 = Now();
    if (!Start("", &pi)) {
      std::fprintf(stderr, "cannot start %s (error %lu)\n", kProgram, GetLastError());
      return 1;
    }
    HWND frame = nullptr;
    bool found = Poll([&] { return (frame = FindWindowA(nullptr, kFrameTitle)) != nullptr; });
    double t1 = Now();
    if (!found) {
      std::fprintf(stderr, "run %d: no hidden window\n", i + 1);
      TerminateProcess(pi.hProcess, 1);
      Close(pi);
      return 1;
    }
    // Let the start-up finish (tray icon, message loop) before the sheet is asked for.
    WaitForInputIdle(pi.hProcess, kTimeoutMs);
    double t2 = Now();
    PostMessageA(frame, WM_SHOW_PROPSHEET, 0, 0);
    HWND sheet = nullptr;
    bool shown = Poll([&] { return (sheet = VisibleSheet()) != nullptr; });
    double t3 = Now();
    if (!shown) {
      std::fprintf(stderr, "run %d: no sheet\n", i + 1);
      TerminateProcess(pi.hProcess, 1);
      Close(pi);
      return 1;
    }
    PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Poll([] { return VisibleSheet() == nullptr; });
    WaitForInputIdle(pi.hProcess, kTimeoutMs);
    Memory mem = MemoryOf(pi.hProcess);

    startMs.push_back(t1 - t0);
    sheetMs.push_back(t3 - t2);
    privKiB.push_back(mem.privateKiB);
    wsKiB.push_back(mem.workingSetKiB);
    std::printf("run %d: start_to_window_ms=%.1f show_to_sheet_ms=%.1f private_usage_kib=%.0f working_set_kib=%.0f\n",
                i + 1, t1 - t0, t3 - t2, mem.privateKiB, mem.workingSetKiB);
    EndAll();
    WaitForSingleObject(pi.hProcess, kTimeoutMs);
    Close(pi);
  }
  std::printf("median of %d: start_to_window_ms=%.1f show_to_sheet_ms=%.1f private_usage_kib=%.0f working_set_kib=%.0f\n",
              runs, Median(startMs), Median(sheetMs), Median(privKiB), Median(wsKiB));
  return 0;
}

int Resident() {
  EndAll();
  PROCESS_INFORMATION pi;
  if (!Start("", &pi)) return 1;
  bool found = Poll([] { return FindWindowA(nullptr, kFrameTitle) != nullptr; });
  WaitForInputIdle(pi.hProcess, kTimeoutMs);
  Memory mem = MemoryOf(pi.hProcess);
  std::printf("resident pid=%lu private_usage_kib=%.0f working_set_kib=%.0f\n", pi.dwProcessId, mem.privateKiB,
              mem.workingSetKiB);
  Close(pi);
  return found ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc > 1 && !std::strcmp(argv[1], "resident")) return Resident();
  if (argc > 1 && !std::strcmp(argv[1], "end")) {
    EndAll();
    return 0;
  }
  int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  if (runs < 1) runs = 7;
  return Bench(runs);
}
