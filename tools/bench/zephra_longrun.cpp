// Long runs of the installed programs in the current Wine prefix, driven by longrun.sh.
//   zephra_longrun stats EXE          handles and working set of the running EXE (by file name)
//   zephra_longrun panel CYCLES       opens and closes the resident panel's sheet CYCLES times
//                                     through Alt+F12 (the hook must be on); prints the failures
//   zephra_longrun player-start       starts TrivoxPlay with both sources playing on "Clockwise"
//   zephra_longrun player-check       both sources still playing and moving
//   zephra_longrun player-end         closes the player and waits for its end
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kSheetTitle[] = "Resonix Trivox";
const char kPlayerExe[] = "C:\\Program Files\\Resonix Trivox\\demos\\TrivoxPlay.exe";
const char kPlayerTitle[] = "Trivox Player (Hit F1 For Help)";
const char kSounds[] = "C:\\Program Files\\Resonix Trivox\\demos\\sounds\\";
// Player controls: Blue and Red "Wave" buttons, play and move buttons, Blue x.
const int kBlueWave = 1030, kRedWave = 1031, kBluePlay = 1009, kRedPlay = 1025, kBlueMove = 1010, kRedMove = 1020;
const int kBlueX = 1001;

template <typename Cond>
bool WaitUntil(Cond cond, DWORD timeoutMs = 15000) {
  const DWORD start = GetTickCount();
  while (!cond()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

HWND FindVisible(const char* cls, const char* title) {
  HWND w = FindWindowA(cls, title);
  return w && IsWindowVisible(w) ? w : nullptr;
}

std::string Text(HWND w) {
  char buf[256] = {};
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, nullptr);
  return buf;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// The handles a process holds, from the system's handle table: Wine answers the per-process
// count (GetProcessHandleCount) with 0.
struct HandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ULONG access;
};
struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

long HandleCount(DWORD pid) {
  auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  const ULONG kSystemHandleInformation = 16;
  std::vector<BYTE> buf(1 << 16);
  LONG status;
  ULONG needed = 0;
  while ((status = query(kSystemHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), &needed)) ==
         static_cast<LONG>(0xC0000004) /* STATUS_INFO_LENGTH_MISMATCH */)
    buf.resize(buf.size() * 2);
  if (status != 0) return -1;
  const auto* table = reinterpret_cast<const HandleTable*>(buf.data());
  long n = 0;
  for (ULONG i = 0; i < table->count; ++i)
    if (table->entries[i].ownerPid == pid) ++n;
  return n;
}

int Stats(const char* exe) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 1;
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  DWORD pid = 0;
  for (BOOL ok = Process32First(snap, &pe); ok && !pid; ok = Process32Next(snap, &pe))
    if (!lstrcmpiA(pe.szExeFile, exe)) pid = pe.th32ProcessID;
  CloseHandle(snap);
  HANDLE p = pid ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid) : nullptr;
  if (!p) {
    std::printf("%s not running\n", exe);
    return 1;
  }
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  GetProcessMemoryInfo(p, &pmc, sizeof pmc);
  std::printf("handles=%ld working_set_kib=%lu gdi=%lu user=%lu\n", HandleCount(pid),
              static_cast<unsigned long>(pmc.WorkingSetSize / 1024), GetGuiResources(p, GR_GDIOBJECTS),
              GetGuiResources(p, GR_USEROBJECTS));
  CloseHandle(p);
  return 0;
}

HWND FocusWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "ZephraLongRunFocus";
  RegisterClassA(&wc);
  HWND w = CreateWindowExA(0, wc.lpszClassName, "long run", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 600, 200, 80,
                           nullptr, nullptr, wc.hInstance, nullptr);
  return w;
}

void PressAltF12() {
  INPUT in[4] = {};
  const WORD keys[4] = {VK_MENU, VK_F12, VK_F12, VK_MENU};
  for (int i = 0; i < 4; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = keys[i];
    in[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(4, in, sizeof(INPUT));
}

// One opening through the hook and one closing; false when either did not come.
bool OpenAndClose(HWND focus) {
  SetForegroundWindow(focus);
  SetFocus(focus);
  if (!WaitUntil([&] { Pump(); return GetForegroundWindow() == focus; })) return false;
  PressAltF12();
  HWND sheet = nullptr;
  if (!WaitUntil([&] { Pump(); return (sheet = FindVisible("#32770", kSheetTitle)) != nullptr; })) return false;
  PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
  return WaitUntil([&] { Pump(); return !IsWindow(sheet) || !IsWindowVisible(sheet); });
}

int Panel(int cycles) {
  HWND focus = FocusWindow();
  int failed = 0;
  for (int i = 0; i < cycles; ++i) {
    if (!OpenAndClose(focus)) {
      ++failed;
      std::printf("cycle %d: the sheet did not open and close\n", i);
    }
    if ((i + 1) % 100 == 0) std::printf("%d cycles\n", i + 1);
    std::fflush(stdout);
  }
  DestroyWindow(focus);
  std::printf("panel cycles=%d failed=%d\n", cycles, failed);
  return failed ? 1 : 0;
}

HWND Player() { return FindVisible("#32770", kPlayerTitle); }

BOOL CALLBACK FirstVisibleEdit(HWND w, LPARAM out) {
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpiA(cls, "Edit") != 0 || !IsWindowVisible(w)) return TRUE;
  *reinterpret_cast<HWND*>(out) = w;
  return FALSE;
}

// A file chosen through the real file dialog of a "Wave" button.
bool ChooseFile(HWND dlg, int button, const std::string& path) {
  PostMessageA(GetDlgItem(dlg, button), BM_CLICK, 0, 0);
  HWND box = nullptr, edit = nullptr;
  if (!WaitUntil([&] { return (box = FindVisible("#32770", "Open a Wave file")) != nullptr; })) return false;
  if (!WaitUntil([&] {
        EnumChildWindows(box, &FirstVisibleEdit, reinterpret_cast<LPARAM>(&edit));
        return edit != nullptr;
      }))
    return false;
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
}

bool Checked(HWND dlg, int id) { return SendMessageA(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

int PlayerStart() {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = std::string("\"") + kPlayerExe + "\"";
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  HWND dlg = nullptr;
  if (!WaitUntil([&] { return (dlg = Player()) != nullptr; })) return 1;
  // "Clockwise" is the first entry of both path lists, chosen at the start.
  if (!ChooseFile(dlg, kBlueWave, std::string(kSounds) + "Bells.wav") ||
      !ChooseFile(dlg, kRedWave, std::string(kSounds) + "Drums.wav"))
    return 1;
  if (!WaitUntil([&] { return Checked(dlg, kBluePlay) && Checked(dlg, kRedPlay); })) return 1;
  SendMessageA(GetDlgItem(dlg, kBlueMove), BM_CLICK, 0, 0);
  SendMessageA(GetDlgItem(dlg, kRedMove), BM_CLICK, 0, 0);
  std::printf("player playing both sources on Clockwise\n");
  return Checked(dlg, kBlueMove) && Checked(dlg, kRedMove) ? 0 : 1;
}

int PlayerCheck() {
  HWND dlg = Player();
  if (!dlg) return 1;
  const std::string x = Text(GetDlgItem(dlg, kBlueX));
  const bool moving = WaitUntil([&] { return Text(GetDlgItem(dlg, kBlueX)) != x; }, 5000);
  const bool playing = Checked(dlg, kBluePlay) && Checked(dlg, kRedPlay);
  std::printf("player moving=%d playing=%d\n", moving, playing);
  return moving && playing ? 0 : 1;
}

int PlayerEnd() {
  HWND dlg = Player();
  if (!dlg) return 1;
  DWORD pid = 0;
  GetWindowThreadProcessId(dlg, &pid);
  HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
  const bool ended = p && WaitForSingleObject(p, 15000) == WAIT_OBJECT_0;
  if (p) CloseHandle(p);
  return ended ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "stats" && argc > 2) return Stats(argv[2]);
  if (cmd == "panel") return Panel(argc > 2 ? std::atoi(argv[2]) : 1);
  if (cmd == "player-start") return PlayerStart();
  if (cmd == "player-check") return PlayerCheck();
  if (cmd == "player-end") return PlayerEnd();
  std::fprintf(stderr, "usage: zephra_longrun stats EXE | panel CYCLES | player-start | player-check | player-end\n");
  return 2;
}
