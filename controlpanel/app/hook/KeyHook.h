// The Alt+F12 keyboard hook. It lives in its own DLL: a hook for all threads is called
// in other processes, where only a DLL can be mapped.
#pragma once
#include <windows.h>

#ifdef ZEPHRA_HOOK_BUILD
#define ZEPHRA_HOOK_API __declspec(dllexport)
#else
#define ZEPHRA_HOOK_API __declspec(dllimport)
#endif

extern "C" ZEPHRA_HOOK_API LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);
