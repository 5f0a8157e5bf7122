// Plays one test tone at a time through DirectSound. The sound library is loaded at run
// time, so that the control panel starts on a system without it.
#pragma once
#include <windows.h>

struct IDirectSound;
struct IDirectSoundBuffer;

class CTonePlayer {
 public:
  CTonePlayer();
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
  HMODULE m_hDSoundLib = nullptr;
  IDirectSound* m_pDirectSound = nullptr;
  IDirectSoundBuffer* m_pSoundBuffer = nullptr;
  IDirectSoundBuffer* m_pPrimaryBuffer = nullptr;
};
