// The synthesizer inside the driver: one per process, created at the wavetable's first open.
// Its render thread opens the wave output itself and keeps all kBuffers short blocks queued.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "SynthHost.h"

namespace zmidi {

class SynthRunner {
 public:
  static constexpr uint32_t kRate = 44100;
  static constexpr uint32_t kBlockFrames = 220;  // 5 ms
  static constexpr uint32_t kBuffers = 8;

  // Created on the first call; null from Existing() until then.
  static SynthRunner& Get();
  static SynthRunner* Existing();

  zsynth::SynthHost& Host() { return m_host; }
  void Start();  // the render thread, when it is not running
  void Stop();   // notes off, thread ended, wave output closed
  // Low word left, high word right, 0xFFFF full.
  void SetVolume(DWORD v) { m_volume.store(v); }
  DWORD Volume() const { return m_volume.load(); }

  SynthRunner() : m_host(kRate) {}
  ~SynthRunner() { Stop(); }
  SynthRunner(const SynthRunner&) = delete;
  SynthRunner& operator=(const SynthRunner&) = delete;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Render();

  zsynth::SynthHost m_host;
  std::atomic<DWORD> m_volume{0xFFFFFFFFu};
  std::atomic<bool> m_stop{false};
  HANDLE m_thread = nullptr;
};

}  // namespace zmidi
