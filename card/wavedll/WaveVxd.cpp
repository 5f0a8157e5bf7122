// The wave device as Windows 9x programs open it: a DLL named ZEPHRA_WAVE_VXD. Wine loads it
// for "\\.\" + that name and calls its DeviceIoControl in the caller's process with the
// caller's own buffers, so the switch state can be written back into the input buffer,
// which is where the control panel reads it. Requests go on to the card's wave device.
#include <windows.h>

#include "shared/names/Names.h"

namespace {

const char kWaveDevice[] = ZEPHRA_DEVICE_PATH(ZEPHRA_WAVE_DEVICE);

HANDLE OpenWave() {
  return CreateFileA(kWaveDevice, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

}  // namespace

// Exported as DeviceIoControl: the VxD entry has no handle argument.
extern "C" BOOL WINAPI VxdDeviceIoControl(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                                          DWORD* returned, OVERLAPPED*) {
  if (returned) *returned = 0;
  HANDLE wave = OpenWave();
  if (wave == INVALID_HANDLE_VALUE) return FALSE;
  BOOL ok;
  DWORD got = 0;
  if (code == zephra::kGetDisableDsHwBuf) {
    // The driver answers in an output buffer; the caller's 4-byte input takes the state.
    DWORD state = 0;
    ok = DeviceIoControl(wave, code, in, inSize, &state, sizeof state, &got, nullptr);
    if (ok && got == sizeof state) {
      if (in && inSize >= sizeof state) CopyMemory(in, &state, sizeof state);
      if (out && outSize >= sizeof state) {
        CopyMemory(out, &state, sizeof state);
        if (returned) *returned = sizeof state;
      }
    }
  } else {
    // Code 1 and anything else: as sent (the device refuses what it does not serve).
    ok = DeviceIoControl(wave, code, in, inSize, out, outSize, &got, nullptr);
    if (ok && returned) *returned = got;
  }
  const DWORD error = ok ? 0 : GetLastError();
  CloseHandle(wave);
  if (!ok) SetLastError(error);
  return ok;
}

// Loaded at the first open in a process: without the card's wave device the open fails,
// as it does for a VxD that is not there.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  HANDLE wave = OpenWave();
  if (wave == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(wave);
  return TRUE;
}
