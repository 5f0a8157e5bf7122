// Plays one test tone at a time through DirectSound. The sound library is loaded at run
// time, so that the control panel starts on a system without it.
#pragma once
#include <windows.h>

#include "shared/wave/WaveFile.h"

struct IDirectSound;
struct IDirectSoundBuffer;
namespace fw {
class CWnd;
}

class CTonePlayer {
 public:
  // The cooperative level is set for the owner's window (the page that runs the test). It
  // is read at each load: the page's window is made after the player.
  explicit CTonePlayer(const fw::CWnd* owner = nullptr);
  ~CTonePlayer();
  CTonePlayer(const CTonePlayer&) = delete;
  CTonePlayer& operator=(const CTonePlayer&) = delete;

  // 1 when the sound buffer exists and holds the file, else 0.
  int LoadWave(const char* path);
  int Play();
  void Stop();
  bool IsDone();
  void SetPan(LONG pan);
  void ReleaseAll();

 private:
  int CreateDirectSound();
  void CreatePrimaryBuffer();
  int CreateSoundBuffer(const WaveInfo& info);
  int FillSoundBuffer(WaveBlock data, DWORD length);
  void AbandonLock(void* first, DWORD bytes, void* second);

  HMODULE m_hDSoundLib = nullptr;
  IDirectSound* m_pDirectSound = nullptr;
  IDirectSoundBuffer* m_pSoundBuffer = nullptr;
  IDirectSoundBuffer* m_pPrimaryBuffer = nullptr;
  const fw::CWnd* m_pOwner = nullptr;
};
