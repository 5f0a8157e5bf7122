// Leaks devices, each with a playing primary buffer, then ends as a program does, by exit().
// exit-test.sh runs it many times: a crash at exit shows only in the Wine process's own
// status (the Windows exit code is set before the crash).
#include <windows.h>
#include <dsound.h>

#include <cstdlib>

#include "shared/names/Names.h"

namespace {

const CLSID kTrivox = zephra::MakeGuid<CLSID>(zephra::kTrivoxDeviceClsid);
constexpr int kLeakedDevices = 20;

bool LeakOne() {
  IDirectSound* ds = nullptr;
  if (FAILED(CoCreateInstance(kTrivox, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound, reinterpret_cast<void**>(&ds))))
    return false;
  if (FAILED(ds->Initialize(nullptr)) || FAILED(ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY)))
    return false;
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  IDirectSoundBuffer* primary = nullptr;
  return SUCCEEDED(ds->CreateSoundBuffer(&desc, &primary, nullptr)) && SUCCEEDED(primary->Play(0, 0, DSBPLAY_LOOPING));
}

}  // namespace

int main() {
  CoInitialize(nullptr);
  int made = 0;
  while (made < kLeakedDevices && LeakOne()) ++made;
  Sleep(200);  // the engines run
  std::exit(made == kLeakedDevices ? 0 : 2);
}
