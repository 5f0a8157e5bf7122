// An application that opens Trivox devices one after another: the splash
// capture test records what this one process plays and shows.
//   trivox_splash_helper [COUNT]
#include <windows.h>
#include <dsound.h>

#include <cstdlib>
#include <vector>

#include "shared/names/Names.h"

int main(int argc, char** argv) {
  const CLSID trivox = zephra::MakeGuid<CLSID>(zephra::kTrivoxDeviceClsid);
  const int count = argc > 1 ? std::atoi(argv[1]) : 2;
  if (FAILED(CoInitialize(nullptr))) return 2;
  std::vector<IDirectSound*> devices;
  int rc = 0;
  for (int i = 0; i < count && rc == 0; ++i) {
    IDirectSound* ds = nullptr;
    if (CoCreateInstance(trivox, nullptr, CLSCTX_ALL, IID_IDirectSound, reinterpret_cast<void**>(&ds)) != S_OK) {
      rc = 3;
      break;
    }
    devices.push_back(ds);
    if (ds->Initialize(nullptr) != DS_OK) rc = 4;
    // The scene's spacing: each device runs past the end of a chime before the next one opens.
    Sleep(1200);
  }
  for (auto it = devices.rbegin(); it != devices.rend(); ++it) (*it)->Release();
  CoUninitialize();
  return rc;
}
