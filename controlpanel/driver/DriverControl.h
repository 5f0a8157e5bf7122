// Access to the card's kernel devices: opening and the control requests.
// Every operation returns 1 on success, 0 on failure; an invalid handle fails
// without a request.
#pragma once
#include <windows.h>

#include "controlpanel/driver/DriverRules.h"
#include "shared/names/Names.h"

// Driver files of the Windows 9x devices and the NT wavetable device path; the control
// codes are zephra::ControlCode.
extern const char kWaveDriverFile[];       // ZEPHRA_WAVE_VXD
extern const char kCoreDriverFile[];       // ZEPHRA_CORE_VXD
extern const char kWavetableDriverFile[];  // ZEPHRA_WAVETABLE_VXD
extern const char kWavetableDeviceNT[];    // "\\.\" ZEPHRA_WAVETABLE_NT

// "\\.\" + driverFile with the 9x loader arguments. INVALID_HANDLE_VALUE on failure.
HANDLE OpenDevice9x(const char* driverFile);
// kWavetableDeviceNT with the NT arguments.
HANDLE OpenDeviceNT();
// The wavetable device of the platform family (the NT path on NT).
HANDLE OpenWavetableDevice(bool ntFamily);
// Closes a valid handle and leaves it invalid.
void CloseDevice(HANDLE& h);

int SetDisableDsHwBuf(HANDLE h, DWORD flag);
// *flag is sent as the 4-byte input and is the device's to fill; the caller
// presets it (to 0). No output buffer.
int GetDisableDsHwBuf(HANDLE h, DWORD* flag);
int SetOutputMode(HANDLE h, int mode);
int SetWavetableEffect(HANDLE h, DWORD on);
int SetReverbAmount(HANDLE h, DWORD level);
int SetChorusAmount(HANDLE h, DWORD level);
int SetSoftSynthMode(HANDLE h, DWORD mode);
// *value is written only on success.
int GetPerformanceLevel(HANDLE h, DWORD* value);
int GetPerformanceClass(HANDLE h, DWORD* value);
int GetPerformanceFeature(HANDLE h, DWORD* value);
// Sends the path and its terminating zero (length + 1 bytes).
int DownloadBank(HANDLE h, const char* path);

// Owns one device handle; closes it when it goes.
class CDeviceHandle {
 public:
  CDeviceHandle() = default;
  explicit CDeviceHandle(HANDLE h) : m_hDevice(h) {}
  ~CDeviceHandle() { CloseDevice(m_hDevice); }
  CDeviceHandle(const CDeviceHandle&) = delete;
  CDeviceHandle& operator=(const CDeviceHandle&) = delete;

  HANDLE Get() const { return m_hDevice; }
  bool IsValid() const { return m_hDevice != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE h = INVALID_HANDLE_VALUE) {
    CloseDevice(m_hDevice);
    m_hDevice = h;
  }

 private:
  HANDLE m_hDevice = INVALID_HANDLE_VALUE;
};
