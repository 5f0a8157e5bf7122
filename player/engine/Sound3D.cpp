#include "player/engine/Sound3D.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "framework/App.h"
#include "framework/Util.h"
#include "framework/Wnd.h"
#include "player/res/resource.h"
#include "shared/names/Names.h"
#include "shared/wave/WaveFile.h"
#include "shared/wave/WaveFormatEx.h"

const GUID kClsidTrivoxDevice = zephra::MakeGuid<GUID>(zephra::kTrivoxDeviceClsid);

static_assert(sizeof(void*) != 4 || sizeof(DSBUFFERDESC1) == 20, "the first DirectSound's record");

namespace {

const GUID kClsidDirectSound = {0x47D4D946, 0x62E8, 0x11CF, {0x93, 0xBC, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID kIidDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID kIidListener = {0x279AFA84, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID kIid3DBuffer = {0x279AFA86, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const GUID kNullGuid = {};

HRESULT CoCreate(REFCLSID clsid, void** out) {
  return CoCreateInstance(clsid, nullptr, CLSCTX_ALL, kIidDirectSound, out);
}
void Box(const char* text) { fw::AfxMessageBox(text, MB_OK | MB_ICONHAND); }
HWND MainWindow() {
  fw::CWinApp* app = fw::AfxGetApp();
  return app && app->m_pMainWnd ? app->m_pMainWnd->m_hWnd : nullptr;
}
const Sound3DHooks kPlatform = {&CoCreate, &Box, &MainWindow};

template <class T>
void SafeRelease(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

// A call that makes an object succeeded only when the object came, too.
template <class T>
bool Made(HRESULT hr, T*& out) {
  if (SUCCEEDED(hr) && out) return true;
  out = nullptr;
  return false;
}

// Both devices' primary buffers mix in this format.
constexpr WaveInfo kPrimaryFormat = {22050, 16, 4, 2, WAVE_FORMAT_PCM, 88200, 0};

}  // namespace

CSound3D::CSound3D(const Sound3DHooks* hooks) : m_slot{}, m_hooks(hooks ? *hooks : kPlatform) {}

CSound3D::~CSound3D() {
  // The dialog shuts down first; this only catches an engine that was never shut down.
  Shutdown();
  FreeSampleData();
}

void CSound3D::Report(UINT id) const { m_hooks.report(fw::LoadStr(id).c_str()); }

void CSound3D::EndCom() {
  if (m_bComStarted) {
    CoUninitialize();
    m_bComStarted = false;
  }
}

int CSound3D::Startup() {
  if (InitDevices() == -1) return -1;
  m_nEngine = kEngineTrivox;
  if (m_trivox.listener) {
    m_trivox.listener->SetRolloffFactor(1.0f, DS3D_IMMEDIATE);
    m_trivox.listener->SetDopplerFactor(1.0f, DS3D_IMMEDIATE);
    m_trivox.listener->SetDistanceFactor(1.0f, DS3D_IMMEDIATE);
  }
  return 0;
}

int CSound3D::InitDevices() {
  if (FAILED(CoInitialize(nullptr))) {
    Report(IDS_ERR_COM);
    return -1;
  }
  m_bComStarted = true;
  if (CreateDevices() < 0) return -1;

  // Each failure up to the cooperative level gives up both devices: a half-made pair is of
  // no use, and nothing may outlive COM.
  if (!OnBothDevices(IDS_ERR_DS_INIT, IDS_ERR_TRIVOX_INIT,
                     [](Side& side) { return SUCCEEDED(side.device->Initialize(&kNullGuid)); })) {
    return GiveUpDevices();
  }
  HWND wnd = m_hooks.mainWindow();
  if (!OnBothDevices(IDS_ERR_DS_COOP, IDS_ERR_TRIVOX_COOP, [wnd](Side& side) {
        return SUCCEEDED(side.device->SetCooperativeLevel(wnd, DSSCL_PRIORITY));
      })) {
    return GiveUpDevices();
  }
  // From here on what exists stays for Shutdown.
  return StartPrimaryBuffers();
}

int CSound3D::CreateDevices() {
  // Both objects are asked for before either answer is looked at.
  void* trivox = nullptr;
  void* ds = nullptr;
  HRESULT hrTrivox = m_hooks.create(kClsidTrivoxDevice, &trivox);
  HRESULT hrDs = m_hooks.create(kClsidDirectSound, &ds);
  m_trivox.device = SUCCEEDED(hrTrivox) ? static_cast<IDirectSound*>(trivox) : nullptr;
  m_ds.device = SUCCEEDED(hrDs) ? static_cast<IDirectSound*>(ds) : nullptr;
  if (m_ds.device && m_trivox.device) return 0;
  Report(!m_ds.device ? IDS_ERR_DS_OBJECT : IDS_ERR_TRIVOX_OBJECT);
  // The object that did come is released, or it would live on past COM's end.
  return GiveUpDevices();
}

int CSound3D::GiveUpDevices() {
  SafeRelease(m_ds.device);
  SafeRelease(m_trivox.device);
  EndCom();
  return -1;
}

template <class Step>
bool CSound3D::OnBothDevices(UINT dsMessage, UINT trivoxMessage, Step step) {
  if (!step(m_ds)) {
    Report(dsMessage);
    return false;
  }
  if (!step(m_trivox)) {
    Report(trivoxMessage);
    return false;
  }
  return true;
}

int CSound3D::StartPrimaryBuffers() {
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(DSBUFFERDESC1);
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
  if (!OnBothDevices(IDS_ERR_DS_PRIMARY, IDS_ERR_TRIVOX_PRIMARY, [&desc](Side& side) {
        return Made(side.device->CreateSoundBuffer(&desc, &side.primary, nullptr), side.primary);
      })) {
    return -1;
  }
  if (SetPrimaryFormats() < 0) return -1;
  if (!OnBothDevices(IDS_ERR_DS_LISTENER, IDS_ERR_TRIVOX_LISTENER, [](Side& side) {
        return Made(side.primary->QueryInterface(kIidListener, reinterpret_cast<void**>(&side.listener)),
                    side.listener);
      })) {
    return -1;
  }
  if (!OnBothDevices(IDS_ERR_DS_PLAY, IDS_ERR_TRIVOX_PLAY,
                     [](Side& side) { return SUCCEEDED(side.primary->Play(0, 0, DSBPLAY_LOOPING)); })) {
    return -1;
  }
  return 0;
}

int CSound3D::SetPrimaryFormats() {
  std::unique_ptr<WAVEFORMATEX, WaveFree> format(static_cast<WAVEFORMATEX*>(std::malloc(sizeof(WAVEFORMATEX))));
  if (!format) {
    Report(IDS_ERR_FORMAT_ALLOC);
    return -1;
  }
  *format = WaveFormatOf(kPrimaryFormat);
  const WAVEFORMATEX* f = format.get();
  return OnBothDevices(IDS_ERR_DS_FORMAT, IDS_ERR_TRIVOX_FORMAT,
                       [f](Side& side) { return SUCCEEDED(side.primary->SetFormat(f)); })
             ? 0
             : -1;
}

void CSound3D::FreeSlot(int source) {
  if (m_slot[source].data) {
    std::free(m_slot[source].data);
    m_slot[source].data = nullptr;
  }
}

int CSound3D::LoadAndPlay(int source, const char* path, int engine) {
  if (!Valid(source) || !path) return -1;
  m_nEngine = engine;
  SourceSlot& slot = m_slot[source];
  if (std::strcmp(path, slot.path) == 0) {
    Side& side = engine == kEngineDS3D ? m_ds : m_trivox;
    if (side.buffer[source]) side.buffer[source]->Play(0, 0, DSBPLAY_LOOPING);
    return 0;
  }
  FreeSlot(source);
  char copy[256];
  lstrcpynA(copy, path, sizeof copy);
  WaveInfo info{};
  void* block = ReadWaveFile(copy, &info);
  if (!block) {
    std::string text = fw::LoadStr(IDS_ERR_LOAD);
    std::string::size_type at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path);
    m_hooks.report(text.c_str());
    return -1;
  }
  lstrcpynA(slot.path, copy, sizeof slot.path);
  slot.data = block;

  const WAVEFORMATEX format = WaveFormatOf(info);
  DWORD length = info.dwDataLength > 0 ? static_cast<DWORD>(info.dwDataLength) : 0;
  if (CreateSourceBuffers(source, block, length, format, true) < 0) {
    Report(engine == kEngineDS3D ? IDS_ERR_DS_BUFFER : IDS_ERR_TRIVOX_BUFFER);
    slot.path[0] = '\0';
    FreeSlot(source);
    return -1;
  }
  return 1;
}

void CSound3D::ReleaseSourceBuffers(Side& side, int source) {
  SafeRelease(side.buffer3d[source]);
  SafeRelease(side.buffer[source]);
}

int CSound3D::FillAndQuery(Side& side, int source, const void* data, DWORD length) {
  IDirectSoundBuffer* buffer = side.buffer[source];
  void* p1 = nullptr;
  void* p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  HRESULT hr = buffer->Lock(0, length, &p1, &n1, &p2, &n2, 0);
  if (FAILED(hr) || !p1) {
    if (p1) buffer->Unlock(p1, length, p2, 0);
    return -1;
  }
  // Never more than the block the buffer handed out.
  std::memcpy(p1, data, length < n1 ? length : n1);
  if (FAILED(buffer->Unlock(p1, length, p2, 0))) return -1;
  return 0;
}

int CSound3D::CreateSourceBuffers(int source, const void* data, DWORD length, const WAVEFORMATEX& format,
                                  bool looping) {
  ReleaseSourceBuffers(m_ds, source);
  ReleaseSourceBuffers(m_trivox, source);
  // Without both devices there is nothing to create the buffers on.
  if (!m_ds.device || !m_trivox.device) return -1;

  WAVEFORMATEX fmt = format;
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(DSBUFFERDESC1);
  desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                 DSBCAPS_STICKYFOCUS;
  desc.dwBufferBytes = length;
  desc.lpwfxFormat = &fmt;

  Side* sides[2] = {&m_ds, &m_trivox};
  for (Side* side : sides) {
    if (!Made(side->device->CreateSoundBuffer(&desc, &side->buffer[source], nullptr), side->buffer[source])) return -1;
  }
  for (Side* side : sides) {
    if (FillAndQuery(*side, source, data, length) < 0) {
      ReleaseSourceBuffers(*side, source);
      return -1;
    }
  }
  for (Side* side : sides) {
    IDirectSound3DBuffer*& view = side->buffer3d[source];
    if (!Made(side->buffer[source]->QueryInterface(kIid3DBuffer, reinterpret_cast<void**>(&view)), view)) {
      ReleaseSourceBuffers(*side, source);
      return -1;
    }
  }
  Side& current = m_nEngine == kEngineDS3D ? m_ds : m_trivox;
  if (current.buffer3d[source]) current.buffer[source]->Play(0, 0, looping ? DSBPLAY_LOOPING : 0);
  return source;
}

void CSound3D::StopSource(int source) {
  if (!Valid(source)) return;
  if (m_ds.buffer[source]) m_ds.buffer[source]->Stop();
  if (m_trivox.buffer[source]) m_trivox.buffer[source]->Stop();
}

void CSound3D::SelectEngine(int source, int engine, int playing) {
  if (!Valid(source) || engine == m_nEngine) return;
  m_nEngine = engine;
  if (!playing) return;
  Side& from = engine == kEngineTrivox ? m_ds : m_trivox;
  Side& to = engine == kEngineTrivox ? m_trivox : m_ds;
  if (from.buffer[source]) from.buffer[source]->Stop();
  if (to.buffer[source]) to.buffer[source]->Play(0, 0, DSBPLAY_LOOPING);
}

void CSound3D::SetSourcePosition(int source, float x, float y, float z) {
  if (!Valid(source)) return;
  if (m_ds.buffer3d[source]) m_ds.buffer3d[source]->SetPosition(x, y, z, DS3D_IMMEDIATE);
  if (m_trivox.buffer3d[source]) m_trivox.buffer3d[source]->SetPosition(x, y, z, DS3D_IMMEDIATE);
}

void CSound3D::SetSourceVelocity(int source, float x, float y, float z) {
  if (!Valid(source)) return;
  if (m_ds.buffer3d[source]) m_ds.buffer3d[source]->SetVelocity(x, y, z, DS3D_IMMEDIATE);
  if (m_trivox.buffer3d[source]) m_trivox.buffer3d[source]->SetVelocity(x, y, z, DS3D_IMMEDIATE);
}

IDirectSound3DListener* CSound3D::GetActiveListener() const {
  return m_nEngine == kEngineTrivox ? m_trivox.listener : m_ds.listener;
}

void CSound3D::Shutdown() {
  for (int s = 0; s < 2; ++s) {
    SafeRelease(m_ds.buffer3d[s]);
    if (m_ds.buffer[s]) m_ds.buffer[s]->Stop();
    SafeRelease(m_ds.buffer[s]);
    SafeRelease(m_trivox.buffer3d[s]);
    if (m_trivox.buffer[s]) m_trivox.buffer[s]->Stop();
    SafeRelease(m_trivox.buffer[s]);
  }
  if (m_ds.primary) m_ds.primary->Stop();
  SafeRelease(m_ds.primary);
  if (m_trivox.primary) m_trivox.primary->Stop();
  SafeRelease(m_trivox.primary);
  SafeRelease(m_ds.listener);
  SafeRelease(m_trivox.listener);
  SafeRelease(m_ds.device);
  SafeRelease(m_trivox.device);
  EndCom();
}

void CSound3D::FreeSampleData() {
  FreeSlot(0);
  FreeSlot(1);
}
