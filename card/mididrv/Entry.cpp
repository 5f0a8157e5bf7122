// The driver's entry points. Wine loads one audio driver for wave audio, DirectSound and
// MIDI alike: MIDI is ours, every audio entry point passes on to Wine's own driver, loaded
// at the first GetPriority (not in DllMain) and kept for the process's life.
#include <windows.h>
#include <mmddk.h>

#include "shared/names/Names.h"

namespace {

enum Priority { kUnavailable = 0, kLow = 1 };

typedef int(WINAPI* GetPriorityFn)();
typedef HRESULT(WINAPI* GetEndpointIDsFn)(int flow, WCHAR*** ids, GUID** guids, UINT* count, UINT* def);
typedef HRESULT(WINAPI* GetAudioEndpointFn)(void* guid, void* device, void** client);
typedef HRESULT(WINAPI* GetAudioSessionManagerFn)(void* device, void** manager);
typedef HRESULT(WINAPI* GetPropValueFn)(GUID* guid, const void* prop, void* value);

struct Wine {
  bool tried = false;
  bool available = false;  // a sound server answered
  GetPriorityFn getPriority = nullptr;
  GetEndpointIDsFn getEndpointIds = nullptr;
  GetAudioEndpointFn getAudioEndpoint = nullptr;
  GetAudioSessionManagerFn getSessionManager = nullptr;
  GetPropValueFn getPropValue = nullptr;
};

Wine g_wine;

template <typename Fn>
Fn Proc(HMODULE m, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

void LoadWine() {
  if (g_wine.tried) return;
  g_wine.tried = true;
  HMODULE m = LoadLibraryA(ZEPHRA_WINE_PULSE);
  if (!m) return;
  g_wine.getPriority = Proc<GetPriorityFn>(m, "GetPriority");
  g_wine.getEndpointIds = Proc<GetEndpointIDsFn>(m, "GetEndpointIDs");
  g_wine.getAudioEndpoint = Proc<GetAudioEndpointFn>(m, "GetAudioEndpoint");
  g_wine.getSessionManager = Proc<GetAudioSessionManagerFn>(m, "GetAudioSessionManager");
  g_wine.getPropValue = Proc<GetPropValueFn>(m, "GetPropValue");
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

extern "C" LRESULT WINAPI DriverProc(DWORD_PTR id, HDRVR driver, UINT msg, LPARAM p1, LPARAM p2) {
  switch (msg) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_OPEN:
    case DRV_CLOSE:
    case DRV_ENABLE:
    case DRV_DISABLE: return 1;
    case DRV_QUERYCONFIGURE: return 0;
    default: return DefDriverProc(id, driver, msg, p1, p2);
  }
}

// Without a sound server Wine's driver is unavailable: we stay, with no endpoints, so that
// the MIDI devices stay too.
extern "C" int WINAPI GetPriority() {
  LoadWine();
  int p = g_wine.getPriority ? g_wine.getPriority() : kUnavailable;
  g_wine.available = p != kUnavailable;
  return g_wine.available ? p : kLow;
}

extern "C" HRESULT WINAPI GetEndpointIDs(int flow, WCHAR*** ids, GUID** guids, UINT* count, UINT* def) {
  if (g_wine.available && g_wine.getEndpointIds) return g_wine.getEndpointIds(flow, ids, guids, count, def);
  if (ids) *ids = nullptr;
  if (guids) *guids = nullptr;
  if (count) *count = 0;
  if (def) *def = 0;
  return S_OK;
}

extern "C" HRESULT WINAPI GetAudioEndpoint(void* guid, void* device, void** client) {
  if (g_wine.available && g_wine.getAudioEndpoint) return g_wine.getAudioEndpoint(guid, device, client);
  return E_NOTIMPL;
}

extern "C" HRESULT WINAPI GetAudioSessionManager(void* device, void** manager) {
  if (g_wine.available && g_wine.getSessionManager) return g_wine.getSessionManager(device, manager);
  return E_NOTIMPL;
}

extern "C" HRESULT WINAPI GetPropValue(GUID* guid, const void* prop, void* value) {
  if (g_wine.available && g_wine.getPropValue) return g_wine.getPropValue(guid, prop, value);
  return E_NOTIMPL;
}
