// The player's audio engine: every source has one 3D buffer on DirectSound and one on the
// Trivox device object; only the current engine's buffer plays, both follow the source.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include "player/core/PlayerLogic.h"

// What the engine asks of its surroundings, replaceable in tests.
struct Sound3DHooks {
  HRESULT (*create)(REFCLSID clsid, void** out);  // CoCreateInstance for IID_IDirectSound
  void (*report)(const char* text);               // stop-icon message box
  HWND (*mainWindow)();
};

class CSound3D {
 public:
  explicit CSound3D(const Sound3DHooks* hooks = nullptr);
  ~CSound3D();
  CSound3D(const CSound3D&) = delete;
  CSound3D& operator=(const CSound3D&) = delete;

  int Startup();
  int LoadAndPlay(int source, const char* path, int engine);
  void StopSource(int source);
  void SelectEngine(int source, int engine, int playing);
  void SetSourcePosition(int source, float x, float y, float z);
  void SetSourceVelocity(int source, float x, float y, float z);
  IDirectSound3DListener* GetActiveListener() const;
  void Shutdown();
  void FreeSampleData();

  int CurrentEngine() const { return m_nEngine; }
  const char* SourcePath(int source) const { return Valid(source) ? m_slot[source].path : ""; }
  bool HasSampleData(int source) const { return Valid(source) && m_slot[source].data; }
  // For engines of more voices that copy a loaded source's buffers; null when missing.
  IDirectSound* Device(int engine) const { return SideOf(engine).device; }
  IDirectSoundBuffer* SourceBuffer(int source, int engine) const {
    return Valid(source) ? SideOf(engine).buffer[source] : nullptr;
  }

 private:
  struct SourceSlot {
    char path[256];
    void* data;
  };
  // The objects of one device, in the order they are made.
  struct Side {
    IDirectSound* device;
    IDirectSoundBuffer* primary;
    IDirectSoundBuffer* buffer[2];
    IDirectSound3DBuffer* buffer3d[2];
    IDirectSound3DListener* listener;
  };

  static bool Valid(int source) { return source == 0 || source == 1; }
  const Side& SideOf(int engine) const { return engine == kEngineDS3D ? m_ds : m_trivox; }
  int InitDevices();
  int CreateDevices();
  int GiveUpDevices();  // releases both device objects, ends COM; -1
  // One start-up step on DirectSound, then on Trivox; a failure shows that device's message.
  template <class Step>
  bool OnBothDevices(UINT dsMessage, UINT trivoxMessage, Step step);
  int StartPrimaryBuffers();
  int SetPrimaryFormats();
  int CreateSourceBuffers(int source, const void* data, DWORD length, const WAVEFORMATEX& format, bool looping);
  int FillAndQuery(Side& side, int source, const void* data, DWORD length);
  static void ReleaseSourceBuffers(Side& side, int source);
  void FreeSlot(int source);
  void Report(UINT id) const;
  void EndCom();

  SourceSlot m_slot[2];
  int m_nEngine = kEngineTrivox;
  Side m_ds{};
  Side m_trivox{};
  bool m_bComStarted = false;
  Sound3DHooks m_hooks;
};

extern const GUID kClsidTrivoxDevice;
