// Access to the card's kernel devices: opening and the control requests.
// Every operation returns 1 on success, 0 on failure; an invalid handle fails
// without a request.
#pragma once
#include <windows.h>

#include "controlpanel/driver/DriverRules.h"

// Driver files of the Windows 9x devices and the NT wavetable device path.
extern const char kWaveDriverFile[];       // "brs4wave.vxd"
extern const char kCoreDriverFile[];       // "brs4core.vxd"
extern const char kWavetableDriverFile[];  // "brs4wt.vxd"
extern const char kWavetableDeviceNT[];    // "\\.\Kv22Mid0"

// Control codes of the card's devices.
enum : DWORD {
  kIoctlSetDisableDsHwBuf = 0x00000001,
  kIoctlGetDisableDsHwBuf = 0x00000002,
  kIoctlSetOutputMode = 0x39850000,
  kIoctlSetWavetableEffect = 0x39860000,
  kIoctlSetReverbAmount = 0x39870000,
  kIoctlSetChorusAmount = 0x39880000,
  kIoctlSetSoftSynthMode = 0x39900000,
  kIoctlGetPerformanceLevel = 0x39910000,
  kIoctlGetPerformanceClass = 0x39920000,
  kIoctlGetPerformanceFeature = 0x39930000,
  kIoctlDownloadBank = 0x39950000,
};

// "\\.\" + driverFile with the 9x loader arguments. INVALID_HANDLE_VALUE on failure.
HANDLE OpenDevice9x(const char* driverFile);
// "\\.\Kv22Mid0" with the NT arguments.
HANDLE OpenDeviceNT();
// The wavetable device of the running platform (NT path on the NT family).
HANDLE OpenWavetableDevice();
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
