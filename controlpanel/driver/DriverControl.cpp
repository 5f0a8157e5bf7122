#include "controlpanel/driver/DriverControl.h"

#include <cstring>

#include "controlpanel/settings/Settings.h"

const char kWaveDriverFile[] = "brs4wave.vxd";
const char kCoreDriverFile[] = "brs4core.vxd";
const char kWavetableDriverFile[] = "brs4wt.vxd";
const char kWavetableDeviceNT[] = "\\\\.\\Kv22Mid0";

namespace {

bool Valid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }

int Request(HANDLE h, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize) {
  if (!Valid(h)) return 0;
  DWORD returned = 0;
  return DeviceIoControl(h, code, const_cast<void*>(in), inSize, out, outSize, &returned,
                         nullptr)
             ? 1
             : 0;
}

int SetDword(HANDLE h, DWORD code, DWORD value) { return Request(h, code, &value, sizeof value, nullptr, 0); }

int GetDword(HANDLE h, DWORD code, DWORD* value) {
  if (!value) return 0;
  DWORD got = 0;
  if (!Request(h, code, nullptr, 0, &got, sizeof got)) return 0;
  *value = got;
  return 1;
}

}  // namespace

HANDLE OpenDevice9x(const char* driverFile) {
  static const char kPrefix[] = "\\\\.\\";
  char path[MAX_PATH];
  if (!driverFile || std::strlen(driverFile) >= sizeof path - (sizeof kPrefix - 1)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  std::strcpy(path, kPrefix);
  std::strcat(path, driverFile);
  // Creation 0 with delete-on-close is how 9x loads a dynamic VxD.
  return CreateFileA(path, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

HANDLE OpenDeviceNT() {
  return CreateFileA(kWavetableDeviceNT, GENERIC_READ, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

HANDLE OpenWavetableDevice() {
  return IsWindowsNT() ? OpenDeviceNT() : OpenDevice9x(kWavetableDriverFile);
}

void CloseDevice(HANDLE& h) {
  if (Valid(h)) CloseHandle(h);
  h = INVALID_HANDLE_VALUE;
}

int SetDisableDsHwBuf(HANDLE h, DWORD flag) { return SetDword(h, kIoctlSetDisableDsHwBuf, flag); }

int GetDisableDsHwBuf(HANDLE h, DWORD* flag) {
  if (!flag) return 0;
  return Request(h, kIoctlGetDisableDsHwBuf, flag, sizeof *flag, nullptr, 0);
}

int SetOutputMode(HANDLE h, int mode) {
  OutputModeRecord rec = MakeOutputModeRecord(mode);
  return Request(h, kIoctlSetOutputMode, rec.bytes, sizeof rec.bytes, nullptr, 0);
}

int SetWavetableEffect(HANDLE h, DWORD on) { return SetDword(h, kIoctlSetWavetableEffect, on); }
int SetReverbAmount(HANDLE h, DWORD level) { return SetDword(h, kIoctlSetReverbAmount, level); }
int SetChorusAmount(HANDLE h, DWORD level) { return SetDword(h, kIoctlSetChorusAmount, level); }
int SetSoftSynthMode(HANDLE h, DWORD mode) { return SetDword(h, kIoctlSetSoftSynthMode, mode); }

int GetPerformanceLevel(HANDLE h, DWORD* value) { return GetDword(h, kIoctlGetPerformanceLevel, value); }
int GetPerformanceClass(HANDLE h, DWORD* value) { return GetDword(h, kIoctlGetPerformanceClass, value); }
int GetPerformanceFeature(HANDLE h, DWORD* value) {
  return GetDword(h, kIoctlGetPerformanceFeature, value);
}

int DownloadBank(HANDLE h, const char* path) {
  if (!path) return 0;
  return Request(h, kIoctlDownloadBank, path, static_cast<DWORD>(std::strlen(path) + 1), nullptr, 0);
}
