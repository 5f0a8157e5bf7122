#include "E2eSupport.h"

#include <commctrl.h>
#include <prsht.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "shared/card/CardClient.h"
#include "shared/names/Names.h"

namespace e2e {

const char kProgramDir[] = "C:\\Program Files\\Resonix Trivox\\";
const char kProgram[] = "C:\\Program Files\\Resonix Trivox\\ZephraCtrl.exe";
const char kFrameTitle[] = ZEPHRA_FRAME_TITLE;
const char kSheetTitle[] = "Resonix Trivox";
const char kWarningTitle[] = "Resonix Trivox Warning";
const char kPrefsKey[] = "Software\\Meridal\\Resonix Trivox\\Resonix Trivox Control\\Preferences";
const char kInstallKey[] = "Software\\Meridal\\Resonix Trivox";

bool IsNT() {
  const char* shape = std::getenv("ZEPHRA_SHAPE");
  return shape && std::strcmp(shape, "nt") == 0;
}

bool WaitUntil(const std::function<bool()>& cond, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(15);
  }
}

namespace {
constexpr long long kWindow = Capture::kRate / 100;  // 10 ms

// Level of the louder channel over one 10 ms window of interleaved samples.
double WindowDb(const short* s) {
  double l = 0, r = 0;
  for (long long i = 0; i < kWindow; ++i) {
    l += double(s[2 * i]) * s[2 * i];
    r += double(s[2 * i + 1]) * s[2 * i + 1];
  }
  const double rms = std::sqrt(std::max(l, r) / kWindow);
  return rms > 0 ? 20.0 * std::log10(rms / 32768.0) : -150.0;
}
}  // namespace

Capture::Capture() {
  const char* unixPath = std::getenv("ZEPHRA_CAPTURE");
  if (!unixPath) return;
  path_ = "Z:";
  for (const char* p = unixPath; *p; ++p) path_ += *p == '/' ? '\\' : *p;
}

long long Capture::Now() const {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (path_.empty() || !GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &a)) return -1;
  return ((static_cast<long long>(a.nFileSizeHigh) << 32) | a.nFileSizeLow) / 4;
}

std::vector<short> Capture::Read(long long from, long long to) const {
  std::vector<short> out;
  if (to <= from) return out;
  HANDLE f = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return out;
  LARGE_INTEGER pos;
  pos.QuadPart = from * 4;
  SetFilePointerEx(f, pos, nullptr, FILE_BEGIN);
  out.resize(static_cast<size_t>((to - from) * 2));
  DWORD got = 0;
  ReadFile(f, out.data(), static_cast<DWORD>(out.size() * 2), &got, nullptr);
  out.resize(got / 2);
  CloseHandle(f);
  return out;
}

bool Capture::WaitPast(long long frames, DWORD timeoutMs) const {
  return WaitUntil([&] { return Now() >= frames; }, timeoutMs);
}

long long Capture::Running() const {
  const long long start = Now();
  long long now = -1;
  if (start < 0 || !WaitUntil([&] { return (now = Now()) > start; }, 5000)) return -1;
  return now;
}

long long Capture::WaitForSound(long long from, double db, DWORD timeoutMs) const {
  long long at = from, found = -1;
  WaitUntil([&] {
    const std::vector<short> s = Read(at, at + (Now() - at) / kWindow * kWindow);
    for (size_t i = 0; i + 2 * kWindow <= s.size(); i += 2 * kWindow, at += kWindow)
      if (WindowDb(&s[i]) > db) {
        found = at;
        return true;
      }
    return false;
  }, timeoutMs);
  return found;
}

bool Capture::WaitForSilence(long long from, int ms, double db, DWORD timeoutMs) const {
  const long long span = static_cast<long long>(kRate) * ms / 1000;
  return WaitUntil([&] {
    const long long now = Now();
    if (now - from < span) return false;
    const std::vector<short> s = Read(now - span, now);
    for (size_t i = 0; i + 2 * kWindow <= s.size(); i += 2 * kWindow)
      if (WindowDb(&s[i]) > db) return false;
    return true;
  }, timeoutMs);
}

Process::~Process() {
  if (pi_.hProcess) {
    if (!WaitExit(0)) TerminateProcess(pi_.hProcess, 1);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
}

Process Process::Start(const std::string& args, bool suspended) {
  Process p;
  std::string cmd = std::string("\"") + kProgram + "\"" + (args.empty() ? "" : " " + args);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  if (!CreateProcessA(kProgram, &cmd[0], nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &si,
                      &p.pi_))
    p.pi_ = {};
  return p;
}

bool Process::WaitExit(DWORD timeoutMs) const {
  return !pi_.hProcess || WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

HWND FindFrame() { return FindWindowA(nullptr, kFrameTitle); }

namespace {
struct Search {
  const char* cls;
  const char* title;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND w, LPARAM l) {
  auto* s = reinterpret_cast<Search*>(l);
  char c[64] = {}, t[128] = {};
  GetClassNameA(w, c, sizeof c);
  GetWindowTextA(w, t, sizeof t);
  if (IsWindowVisible(w) && (!s->cls || !std::strcmp(c, s->cls)) && (!s->title || !std::strcmp(t, s->title)))
    s->found.push_back(w);
  return TRUE;
}
}  // namespace

std::vector<HWND> FindAllVisible(const char* cls, const char* title) {
  Search s{cls, title, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND FindVisible(const char* cls, const char* title) {
  std::vector<HWND> all = FindAllVisible(cls, title);
  return all.empty() ? nullptr : all.front();
}

HWND WaitForSheet(DWORD timeoutMs) {
  HWND sheet = nullptr;
  WaitUntil([&] { return (sheet = FindVisible("#32770", kSheetTitle)) != nullptr; }, timeoutMs);
  return sheet;
}

std::string Text(HWND w) {
  char buf[512] = {};
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
  return buf;
}

bool Settled(HWND w) {
  DWORD_PTR result = 0;
  return w && SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) != 0;
}

Process StartResident(const std::string& args) {
  Process p = Process::Start(args);
  WaitUntil([] { return FindFrame() != nullptr; });
  return p;
}

namespace {
std::vector<DWORD> RunningCopies(const char* exe) {
  std::vector<DWORD> pids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return pids;
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe))
    if (!lstrcmpiA(pe.szExeFile, exe)) pids.push_back(pe.th32ProcessID);
  CloseHandle(snap);
  return pids;
}
}  // namespace

void EndProcesses(const char* exe) {
  for (DWORD pid : RunningCopies(exe)) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (h) {
      TerminateProcess(h, 1);
      WaitForSingleObject(h, 5000);
      CloseHandle(h);
    }
  }
}

void EndAll() {
  if (FindFrame()) {
    Process u = Process::Start("/U");
    u.WaitExit(10000);
    WaitUntil([] { return FindFrame() == nullptr; }, 5000);
  }
  EndProcesses("ZephraCtrl.exe");
  // Modal boxes left by a failed test go with their process; the frame's title too.
  WaitUntil([] { return FindFrame() == nullptr; }, 5000);
}

HWND TrayIcon() {
  HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
  return tray ? FindWindowExA(tray, nullptr, "__winex11_tray_icon", nullptr) : nullptr;
}

int TrayIconCount() {
  HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
  int n = 0;
  for (HWND icon = nullptr; tray && (icon = FindWindowExA(tray, icon, "__winex11_tray_icon", nullptr));) ++n;
  return n;
}

void TrayMouse(HWND icon, UINT down, UINT up, bool doubleClick) {
  LPARAM at = MAKELPARAM(8, 8);
  PostMessageA(icon, down, 0, at);
  PostMessageA(icon, up, 0, at);
  if (doubleClick) {
    PostMessageA(icon, down + 2, 0, at);  // the double-click message follows button-up
    PostMessageA(icon, up, 0, at);
  }
}

int PageCount(HWND sheet) {
  HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  return tab ? static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0)) : -1;
}

std::vector<std::string> TabTexts(HWND sheet) {
  // Pages not shown yet have no window: ask the tab control, whose item texts live in the
  // program's own memory.
  std::vector<std::string> texts;
  HWND tab = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
  DWORD pid = 0;
  if (!tab || !GetWindowThreadProcessId(tab, &pid)) return texts;
  HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!proc) return texts;
  const SIZE_T kText = 128;
  auto* remote = static_cast<char*>(VirtualAllocEx(proc, nullptr, sizeof(TCITEMA) + kText, MEM_COMMIT, PAGE_READWRITE));
  if (remote) {
    int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = remote + sizeof(TCITEMA);
      item.cchTextMax = static_cast<int>(kText);
      char text[kText] = {};
      SIZE_T n = 0;
      WriteProcessMemory(proc, remote, &item, sizeof item, &n);
      WriteProcessMemory(proc, remote + sizeof(TCITEMA), text, kText, &n);
      bool ok = SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote)) != 0 &&
                ReadProcessMemory(proc, remote + sizeof(TCITEMA), text, kText - 1, &n);
      texts.push_back(ok ? text : "?");
    }
    VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
  }
  CloseHandle(proc);
  return texts;
}

int ActivePage(HWND sheet) {
  HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  return page ? static_cast<int>(SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0)) : -1;
}

void CloseSheet(HWND sheet, int button) {
  PostMessageA(sheet, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

RegistryGuard::RegistryGuard(HKEY root, const char* path, std::vector<std::string> names) : root_(root), path_(path) {
  for (auto& n : names) {
    Saved s{n, false, 0, {}};
    s.present = ReadValue(root, path, n.c_str(), &s.data, &s.type);
    saved_.push_back(s);
  }
}

RegistryGuard::~RegistryGuard() {
  HKEY k;
  if (RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return;
  for (const auto& s : saved_) {
    if (s.present)
      RegSetValueExA(k, s.name.c_str(), 0, s.type, reinterpret_cast<const BYTE*>(s.data.data()),
                     static_cast<DWORD>(s.data.size()));
    else
      RegDeleteValueA(k, s.name.c_str());
  }
  RegCloseKey(k);
}

bool SetDword(HKEY root, const char* path, const char* name, DWORD value) {
  HKEY k;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS) return false;
  LONG rc = RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

bool SetString(HKEY root, const char* path, const char* name, const std::string& value) {
  HKEY k;
  if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS) return false;
  LONG rc = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1));
  RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

void DeleteValue(HKEY root, const char* path, const char* name) {
  HKEY k;
  if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  RegDeleteValueA(k, name);
  RegCloseKey(k);
}

bool ReadValue(HKEY root, const char* path, const char* name, std::string* data, DWORD* type) {
  HKEY k;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  char buf[1024];
  DWORD size = sizeof buf;
  LONG rc = RegQueryValueExA(k, name, nullptr, type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS) return false;
  data->assign(buf, size);
  return true;
}

bool SetCardDevices(DWORD mask, DWORD* previous) {
  kv22::CardClient card;
  kv22::CardStatus status{};
  if (!card.Open() || !card.GetStatus(status)) return false;
  kv22::CardConfig cfg = status.config;
  if (previous) *previous = cfg.deviceMask;
  cfg.deviceMask = mask;
  return card.SetConfig(cfg);
}

bool ConfigureCard(kv22::CardClient& card, const std::function<void(kv22::CardConfig&)>& change) {
  kv22::CardStatus status{};
  if (!card.GetStatus(status)) return false;
  change(status.config);
  return card.SetConfig(status.config);
}

kv22::CardState CardStateOf(kv22::CardClient& card) {
  kv22::CardStatus status{};
  card.GetStatus(status);
  return status.state;
}

void MeanSquare(const std::vector<short>& s, size_t from, size_t to, double* left, double* right) {
  *left = *right = 0;
  to = std::min(to, s.size() / 2);
  for (size_t i = from; i < to; ++i) {
    *left += double(s[2 * i]) * s[2 * i];
    *right += double(s[2 * i + 1]) * s[2 * i + 1];
  }
  if (to > from) *left /= double(to - from), *right /= double(to - from);
}

namespace {
const char kTrivoxKey[] = "Software\\Orvane\\Trivox";
const char* const kSplashNames[2] = {"SplashAudio", "SplashScreen"};
}  // namespace

SplashOff::SplashOff() {
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTrivoxKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) !=
      ERROR_SUCCESS)
    key_ = nullptr;
  for (int i = 0; key_ && i < 2; ++i) {
    DWORD size = sizeof old_[i], zero = 0;
    had_[i] = RegQueryValueExA(key_, kSplashNames[i], nullptr, &type_[i], old_[i], &size) == ERROR_SUCCESS;
    size_[i] = size;
    RegSetValueExA(key_, kSplashNames[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4);
  }
}

SplashOff::~SplashOff() {
  for (int i = 0; key_ && i < 2; ++i) {
    if (had_[i]) {
      RegSetValueExA(key_, kSplashNames[i], 0, type_[i], old_[i], size_[i]);
    } else {
      RegDeleteValueA(key_, kSplashNames[i]);
    }
  }
  if (key_) RegCloseKey(key_);
}

FileAway::FileAway(std::string path) : path_(std::move(path)), aside_(path_ + ".away") {
  moved_ = MoveFileExA(path_.c_str(), aside_.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

FileAway::~FileAway() {
  if (moved_) MoveFileExA(aside_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
}

DllTakenAway::DllTakenAway(const char* exe, const char* dll)
    : key_(std::string("Software\\Wine\\AppDefaults\\") + exe + "\\DllOverrides"), dll_(dll) {
  set_ = SetString(HKEY_CURRENT_USER, key_.c_str(), dll, "");
}

DllTakenAway::~DllTakenAway() {
  if (set_) DeleteValue(HKEY_CURRENT_USER, key_.c_str(), dll_.c_str());
}

namespace {

// The card's service in the state asked for, waiting for it; false when it cannot be reached.
bool DriveCardService(bool run) {
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!scm) return false;
  SC_HANDLE svc = OpenServiceA(scm, ZEPHRA_CARD_SERVICE, SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
  bool ok = false;
  if (svc) {
    SERVICE_STATUS st{};
    if (run)
      StartServiceA(svc, 0, nullptr);
    else
      ControlService(svc, SERVICE_CONTROL_STOP, &st);
    const DWORD want = run ? SERVICE_RUNNING : SERVICE_STOPPED;
    ok = WaitUntil([&] { return QueryServiceStatus(svc, &st) && st.dwCurrentState == want; }, 20000);
    CloseServiceHandle(svc);
  }
  CloseServiceHandle(scm);
  return ok;
}

}  // namespace

CardDriverStopped::CardDriverStopped() : stopped_(DriveCardService(false)) {}

CardDriverStopped::~CardDriverStopped() {
  if (!stopped_) return;
  DriveCardService(true);
  WaitUntil([] { return kv22::CardClient().Open(); }, 20000);
}

}  // namespace e2e
