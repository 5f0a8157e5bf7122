// The size of the bitmap a button of another process shows (BM_GETIMAGE there); 0 x 0
// when it shows none, false when the probe could not reach the button's thread.
#pragma once
#include <windows.h>

#ifdef ZEPHRA_IMAGE_PROBE_BUILD
#define IMAGE_PROBE_API __declspec(dllexport)
#else
#define IMAGE_PROBE_API __declspec(dllimport)
#endif

extern "C" IMAGE_PROBE_API bool ButtonImageSize(HWND button, LONG* width, LONG* height);
extern "C" IMAGE_PROBE_API LRESULT CALLBACK ImageProbeHook(int code, WPARAM wParam, LPARAM lParam);
