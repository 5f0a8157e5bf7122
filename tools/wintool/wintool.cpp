// Small window tool for scripts: waits for a top-level window by title, or posts it a message.
//   wintool wait TITLE [TIMEOUT_MS]   exit 0 when the window exists (hidden or not), 1 on timeout
//   wintool visible TITLE [TIMEOUT_MS] exit 0 when it is visible
//   wintool post TITLE MESSAGE        exit 0 when the message was posted
//   wintool page TITLE INDEX          shows that page of the property sheet; exit 0 when it did
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: wintool wait|visible TITLE [TIMEOUT_MS] | wintool post|page TITLE MESSAGE|INDEX\n");
    return 2;
  }
  const char* cmd = argv[1];
  const char* title = argv[2];
  if (!std::strcmp(cmd, "wait") || !std::strcmp(cmd, "visible")) {
    DWORD timeout = argc > 3 ? std::strtoul(argv[3], nullptr, 0) : 10000;
    return WaitFor(title, timeout, cmd[0] == 'v') ? 0 : 1;
  }
  if (!std::strcmp(cmd, "post") && argc > 3) {
    HWND w = FindWindowA(nullptr, title);
    return w && PostMessageA(w, std::strtoul(argv[3], nullptr, 0), 0, 0) ? 0 : 1;
  }
  if (!std::strcmp(cmd, "page") && argc > 3) {
    HWND w = FindWindowA(nullptr, title);
    return w && SendMessageA(w, PSM_SETCURSEL, std::strtoul(argv[3], nullptr, 0), 0) ? 0 : 1;
  }
  std::fprintf(stderr, "wintool: unknown command %s\n", cmd);
  return 2;
}
