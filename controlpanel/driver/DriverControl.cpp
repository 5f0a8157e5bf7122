#include "controlpanel/driver/DriverControl.h"

#include <cstring>

const char kWaveDriverFile[] = ZEPHRA_WAVE_VXD;
const char kCoreDriverFile[] = ZEPHRA_CORE_VXD;
const char kWavetableDriverFile[] = ZEPHRA_WAVETABLE_VXD;
const char kWavetableDeviceNT[] = ZEPHRA_DEVICE_PATH(ZEPHRA_WAVETABLE_NT);

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

HANDLE OpenWavetableDevice(bool ntFamily) {
  return ntFamily ? OpenDeviceNT() : OpenDevice9x(kWavetableDriverFile);
}

void CloseDevice(HANDLE& h) {
  if (Valid(h)) CloseHandle(h);
  h = INVALID_HANDLE_VALUE;
}

int SetDisableDsHwBuf(HANDLE h, DWORD flag) { return SetDword(h, zephra::kSetDisableDsHwBuf, flag); }

int GetDisableDsHwBuf(HANDLE h, DWORD* flag) {
  if (!flag) return 0;
#ifdef _WIN64
  // The driver serves the name here (no VxD in a 64-bit process) and can answer only in the
  // output buffer: the caller's flag is that, too.
  return Request(h, zephra::kGetDisableDsHwBuf, flag, sizeof *flag, flag, sizeof *flag);
#else
  return Request(h, zephra::kGetDisableDsHwBuf, flag, sizeof *flag, nullptr, 0);
#endif
}

int SetOutputMode(HANDLE h, int mode) {
  OutputModeRecord rec = MakeOutputModeRecord(mode);
  return Request(h, zephra::kSetOutputMode, rec.bytes, sizeof rec.bytes, nullptr, 0);
}

int SetWavetableEffect(HANDLE h, DWORD on) { return SetDword(h, zephra::kSetWavetableEffect, on); }
int SetReverbAmount(HANDLE h, DWORD level) { return SetDword(h, zephra::kSetReverbAmount, level); }
int SetChorusAmount(HANDLE h, DWORD level) { return SetDword(h, zephra::kSetChorusAmount, level); }
int SetSoftSynthMode(HANDLE h, DWORD mode) { return SetDword(h, zephra::kSetSoftSynthMode, mode); }

int GetPerformanceLevel(HANDLE h, DWORD* value) { return GetDword(h, zephra::kGetPerformanceLevel, value); }
int GetPerformanceClass(HANDLE h, DWORD* value) { return GetDword(h, zephra::kGetPerformanceClass, value); }
int GetPerformanceFeature(HANDLE h, DWORD* value) {
  return GetDword(h, zephra::kGetPerformanceFeature, value);
}

int DownloadBank(HANDLE h, const char* path) {
  if (!path) return 0;
  return Request(h, zephra::kDownloadBank, path, static_cast<DWORD>(std::strlen(path) + 1), nullptr, 0);
}
