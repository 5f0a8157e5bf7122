// Small window tool for scripts: waits for a top-level window by title, posts it a message,
// or tells where it is on the screen.
//   wintool wait TITLE [TIMEOUT_MS]            exit 0 when the window exists (hidden or not)
//   wintool visible TITLE [TIMEOUT_MS]         exit 0 when it is visible
//   wintool post TITLE MESSAGE [WPARAM [LPARAM]]  exit 0 when the message was posted
//   wintool rect TITLE                         prints "WIDTHxHEIGHT+LEFT+TOP" of the window
//   wintool page TITLE INDEX                   shows that page of the property sheet; exit 0 when it did
#include <windows.h>

#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool WaitFor(const char* title, DWORD timeoutMs, bool visible) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND w = FindWindowA(nullptr, title);
    if (w && (!visible || IsWindowVisible(w))) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

unsigned long Number(int argc, char** argv, int i) {
  return argc > i ? std::strtoul(argv[i], nullptr, 0) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: wintool wait|visible TITLE [TIMEOUT_MS] | post TITLE MESSAGE [WPARAM [LPARAM]]"
                         " | rect TITLE | page TITLE INDEX\n");
    return 2;
  }
  const char* cmd = argv[1];
  const char* title = argv[2];
  if (!std::strcmp(cmd, "wait") || !std::strcmp(cmd, "visible")) {
    DWORD timeout = argc > 3 ? Number(argc, argv, 3) : 10000;
    return WaitFor(title, timeout, cmd[0] == 'v') ? 0 : 1;
  }
  HWND w = FindWindowA(nullptr, title);
  if (!std::strcmp(cmd, "post") && argc > 3) {
    return w && PostMessageA(w, Number(argc, argv, 3), Number(argc, argv, 4), Number(argc, argv, 5)) ? 0 : 1;
  }
  if (!std::strcmp(cmd, "rect")) {
    RECT r;
    if (!w || !GetWindowRect(w, &r)) return 1;
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    return 0;
  }
  if (!std::strcmp(cmd, "page") && argc > 3) {
    return w && SendMessageA(w, PSM_SETCURSEL, Number(argc, argv, 3), 0) ? 0 : 1;
  }
  std::fprintf(stderr, "wintool: unknown command %s\n", cmd);
  return 2;
}
