#include "controlpanel/app/hook/KeyHook.h"

#include "shared/names/Names.h"

extern "C" LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  const LPARAM kAltHeld = 1 << 29;
  const LPARAM kReleased = static_cast<LPARAM>(1u << 31);
  if (code == HC_ACTION && wParam == VK_F12 && (lParam & kAltHeld) && (lParam & kReleased)) {
    PostMessageA(FindWindowA(nullptr, ZEPHRA_FRAME_TITLE), WM_SHOW_PROPSHEET, 0, 0);
    return 1;
  }
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
