#include "exit_guard.h"

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "engine.h"

namespace trivox {
namespace {

std::mutex g_mutex;
std::vector<Engine*> g_live;
bool g_hooked = false;

void __cdecl stopAll() {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (Engine* e : g_live) e->stop();
}

int __cdecl stopAllOnExit() {
  stopAll();
  return 0;
}

// Registers stopAll with the exit() of each C runtime loaded in the process; the program's
// own is among them. The module is pinned first: the runtime calls back at exit, after any
// FreeLibrary.
void hookExit() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                          reinterpret_cast<LPCWSTR>(&stopAllOnExit), &self))
    return;
  using OnExit = void*(__cdecl*)(int(__cdecl*)());
  using CrtAtExit = int(__cdecl*)(void(__cdecl*)());
  if (HMODULE msvcrt = GetModuleHandleW(L"msvcrt.dll")) {
    auto onexit = reinterpret_cast<OnExit>(reinterpret_cast<void*>(GetProcAddress(msvcrt, "_onexit")));
    if (onexit) onexit(stopAllOnExit);
  }
  if (HMODULE ucrt = GetModuleHandleW(L"ucrtbase.dll")) {
    auto atexit = reinterpret_cast<CrtAtExit>(reinterpret_cast<void*>(GetProcAddress(ucrt, "_crt_atexit")));
    if (atexit) atexit(stopAll);
  }
}

}  // namespace

void exitGuardAdd(Engine* engine) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_hooked) {
    g_hooked = true;
    hookExit();
  }
  g_live.push_back(engine);
}

void exitGuardRemove(Engine* engine) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_live.erase(std::remove(g_live.begin(), g_live.end(), engine), g_live.end());
}

}  // namespace trivox
