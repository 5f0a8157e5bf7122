#include "controlpanel/wave/Playfree.h"

#include <mmsystem.h>
#include <dsound.h>

#include <cstring>
#include <utility>

#include "controlpanel/res/resource.h"
#include "controlpanel/trace/DebugTrace.h"
#include "framework/Util.h"
#include "framework/Wnd.h"
#include "shared/wave/WaveFormatEx.h"

static_assert(sizeof(void*) != 4 || sizeof(DSBUFFERDESC1) == 20, "the first DirectSound's record");

namespace {

using DirectSoundCreateFn = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);

// The format the primary buffer is given, and the record's values before a file is read.
constexpr WaveInfo kDefaultFormat = {44100, 16, 2, 1, WAVE_FORMAT_PCM, 88200, 0};

DSBUFFERDESC Description(DWORD flags, DWORD bytes, WAVEFORMATEX* format) {
  DSBUFFERDESC d = {};
  d.dwSize = sizeof(DSBUFFERDESC1);  // the first DirectSound's record, which every version accepts
  d.dwFlags = flags;
  d.dwBufferBytes = bytes;
  d.lpwfxFormat = format;
  return d;
}

}  // namespace

CTonePlayer::CTonePlayer(const fw::CWnd* owner) : m_hDSoundLib(LoadLibraryA("DSOUND.DLL")), m_pOwner(owner) {}

CTonePlayer::~CTonePlayer() {
  ReleaseAll();
  if (m_hDSoundLib) FreeLibrary(m_hDSoundLib);
}

int CTonePlayer::LoadWave(const char* path) {
  if (!m_hDSoundLib) {
    fw::AfxMessageBox(IDS_NO_DSOUND, MB_OK);
    return 0;
  }
  ReleaseAll();
  if (!CreateDirectSound()) return 0;
  CreatePrimaryBuffer();

  WaveInfo info = kDefaultFormat;
  WaveBlock data(ReadWaveFile(path, &info));
  if (!data) {
    DebugTrace("could not load the wave file!");
    return 0;
  }
  if (!CreateSoundBuffer(info)) return 0;
  return FillSoundBuffer(std::move(data), static_cast<DWORD>(info.dwDataLength));
}

int CTonePlayer::CreateDirectSound() {
  auto create = reinterpret_cast<DirectSoundCreateFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(m_hDSoundLib, "DirectSoundCreate")));
  if (!create) {
    DebugTrace("DSOUND.DLL does not implement DirectSoundCreate()");
    return 0;
  }
  if (FAILED(create(nullptr, &m_pDirectSound, nullptr))) {
    m_pDirectSound = nullptr;
    DebugTrace("Failed Creating DirectSound");
    return 0;
  }
  HWND window = m_pOwner ? m_pOwner->m_hWnd : nullptr;
  if (FAILED(m_pDirectSound->SetCooperativeLevel(window, DSSCL_PRIORITY))) {
    DebugTrace("Failed Setting DirectSound CooperativeLevel");
    return 0;
  }
  return 1;
}

void CTonePlayer::CreatePrimaryBuffer() {
  // The primary buffer only sets the mixer's format; without it the tone still plays.
  DSBUFFERDESC primary = Description(DSBCAPS_PRIMARYBUFFER, 0, nullptr);
  if (FAILED(m_pDirectSound->CreateSoundBuffer(&primary, &m_pPrimaryBuffer, nullptr))) {
    m_pPrimaryBuffer = nullptr;
    return;
  }
  WAVEFORMATEX format = WaveFormatOf(kDefaultFormat);
  m_pPrimaryBuffer->SetFormat(&format);
}

int CTonePlayer::CreateSoundBuffer(const WaveInfo& info) {
  WAVEFORMATEX format = WaveFormatOf(info);
  DSBUFFERDESC desc = Description(DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME,
                                  static_cast<DWORD>(info.dwDataLength), &format);
  if (FAILED(m_pDirectSound->CreateSoundBuffer(&desc, &m_pSoundBuffer, nullptr))) {
    m_pSoundBuffer = nullptr;
    DebugTrace("Failed: CreateSoundBuffer");
    return 0;
  }
  return 1;
}

int CTonePlayer::FillSoundBuffer(WaveBlock data, DWORD length) {
  void* first = nullptr;
  void* second = nullptr;
  DWORD firstBytes = 0;
  DWORD secondBytes = 0;
  if (FAILED(m_pSoundBuffer->Lock(0, length, &first, &firstBytes, &second, &secondBytes, 0))) {
    AbandonLock(first, length, second);
    return 0;
  }
  // A static buffer of exactly `length` bytes comes back in one piece; never copy past
  // what the lock handed out.
  std::memcpy(first, data.get(), firstBytes < length ? firstBytes : length);
  data.reset();
  if (FAILED(m_pSoundBuffer->Unlock(first, firstBytes, second, 0))) {
    AbandonLock(first, firstBytes, second);
    return 0;
  }
  return 1;
}

void CTonePlayer::AbandonLock(void* first, DWORD bytes, void* second) {
  // A block still handed out goes back; without one the buffer is of no use.
  if (first) {
    m_pSoundBuffer->Unlock(first, bytes, second, 0);
  } else {
    m_pSoundBuffer->Release();
    m_pSoundBuffer = nullptr;
  }
}

int CTonePlayer::Play() {
  if (!m_pSoundBuffer) return 0;
  if (FAILED(m_pSoundBuffer->Play(0, 0, 0))) {
    DebugTrace("Fail playing sound!");
    return 0;
  }
  return 1;
}

void CTonePlayer::Stop() {
  if (m_pSoundBuffer) m_pSoundBuffer->Stop();
}

bool CTonePlayer::IsDone() {
  if (!m_pSoundBuffer) return true;
  DWORD status = 0;
  if (FAILED(m_pSoundBuffer->GetStatus(&status))) {
    DebugTrace("Failed to GetStaus");
    return true;
  }
  return (status & DSBSTATUS_PLAYING) == 0;
}

void CTonePlayer::SetPan(LONG pan) {
  if (m_pSoundBuffer && FAILED(m_pSoundBuffer->SetPan(pan))) DebugTrace("Failed Seting Pan");
}

void CTonePlayer::ReleaseAll() {
  if (m_pPrimaryBuffer) {
    m_pPrimaryBuffer->Release();
    m_pPrimaryBuffer = nullptr;
  }
  if (m_pSoundBuffer) {
    m_pSoundBuffer->Release();
    m_pSoundBuffer = nullptr;
  }
  if (m_pDirectSound) {
    m_pDirectSound->Release();
    m_pDirectSound = nullptr;
  }
}
