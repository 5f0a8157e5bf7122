// Loaded into the control panel by a thread hook: the size of the image a button shows can
// only be asked inside the process that owns the bitmap.
#include <windows.h>

#include "image_probe.h"

namespace {

volatile LONG g_width __attribute__((section(".shared"), shared)) = -1;
volatile LONG g_height __attribute__((section(".shared"), shared)) = -1;

UINT ProbeMessage() { return RegisterWindowMessageA("ZephraE2eImageProbe"); }

}  // namespace

extern "C" {

LRESULT CALLBACK ImageProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && msg->message == ProbeMessage()) {
    BITMAP bm{};
    const auto image = reinterpret_cast<HGDIOBJ>(SendMessageA(msg->hwnd, BM_GETIMAGE, IMAGE_BITMAP, 0));
    const bool known = image && GetObjectA(image, sizeof bm, &bm) == sizeof bm;
    InterlockedExchange(&g_width, known ? bm.bmWidth : 0);
    InterlockedExchange(&g_height, known ? bm.bmHeight : 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool ButtonImageSize(HWND button, LONG* width, LONG* height) {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ImageProbeHook), &self);
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, ImageProbeHook, self, GetWindowThreadProcessId(button, nullptr));
  if (!hook) return false;
  InterlockedExchange(&g_width, -1);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(button, ProbeMessage(), 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
  UnhookWindowsHookEx(hook);
  *width = g_width;
  *height = g_height;
  return *width >= 0;
}

}  // extern "C"
