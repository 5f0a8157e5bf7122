// Many voices of one sound: copies of a CSound3D source's two buffers (DirectSound and
// Trivox), each voice with its own position, velocity, pitch and volume. Only the copy of
// the current engine plays and is kept up to date: hundreds of voices would otherwise
// cost the engine that renders them its time. The other copy takes the voice's state when
// the engine is switched.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <vector>

#include "player/demos/common/Motion.h"
#include "player/engine/Sound3D.h"

namespace demo {

// Owns one reference to a COM object.
template <class T>
class Ref {
 public:
  Ref() = default;
  ~Ref() { Reset(); }
  Ref(Ref&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      Reset();
      m_p = o.m_p;
      o.m_p = nullptr;
    }
    return *this;
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  T** out() {
    Reset();
    return &m_p;
  }
  void Reset() {
    if (m_p) m_p->Release();
    m_p = nullptr;
  }

 private:
  T* m_p = nullptr;
};

class CVoiceSet {
 public:
  explicit CVoiceSet(CSound3D& sound) : m_sound(sound) {}
  // Loads the wave file into the engine's first source and makes up to `count` voices of
  // it, each starting at its own point of the sound; returns how many were made.
  int Create(const char* path, int count);
  int Count() const { return static_cast<int>(m_voices.size()); }
  int Engine() const { return m_engine; }

  void Play(int voice, bool on);
  void SelectEngine(int engine);  // moves every playing voice over
  void Place(int voice, const Sample& s);
  void SetPitch(int voice, float ratio);  // of the file's own rate
  void SetVolume(int voice, LONG millibels);
  void Release();

 private:
  struct Copy {
    Ref<IDirectSoundBuffer> buffer;
    Ref<IDirectSound3DBuffer> view;
  };
  struct Voice {
    Copy side[2];  // by engine kind
    bool playing = false;
    Sample at{};
    DWORD frequency = 0;  // 0: the file's own
    LONG volume = 0;
  };
  void Apply(Voice& voice, int engine) const;
  // The copy stays empty when the device cannot make it.
  static void MakeCopy(IDirectSound* device, IDirectSoundBuffer* original, bool first, Copy& copy);
  bool Valid(int v) const { return v >= 0 && v < Count(); }

  CSound3D& m_sound;
  std::vector<Voice> m_voices;
  int m_engine = kEngineTrivox;
  DWORD m_rate = 22050;
};

}  // namespace demo
