#include "controlpanel/app/hook/KeyHook.h"

// Same as string 103: the window title by which running copies are found.
static const char kWindowTitle[] = "MeridalMultimediaGrendorControl";

extern "C" LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  const LPARAM kAltHeld = 1 << 29;
  const LPARAM kReleased = static_cast<LPARAM>(1u << 31);
  if (code == HC_ACTION && wParam == VK_F12 && (lParam & kAltHeld) && (lParam & kReleased)) {
    PostMessageA(FindWindowA(nullptr, kWindowTitle), 0x8065, 0, 0);
    return 1;
  }
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
