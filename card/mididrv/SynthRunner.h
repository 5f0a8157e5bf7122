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

  zsynth::SynthHost& Host() { return host_; }
  void Start();  // the render thread, when it is not running
  void Stop();   // notes off, thread ended, wave output closed
  // Low word left, high word right, 0xFFFF full.
  void SetVolume(DWORD v) { volume_.store(v); }
  DWORD Volume() const { return volume_.load(); }

  SynthRunner() : host_(kRate) {}
  ~SynthRunner() { Stop(); }
  SynthRunner(const SynthRunner&) = delete;
  SynthRunner& operator=(const SynthRunner&) = delete;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Render();

  zsynth::SynthHost host_;
  std::atomic<DWORD> volume_{0xFFFFFFFFu};
  std::atomic<bool> stop_{false};
  HANDLE thread_ = nullptr;
};

}  // namespace zmidi
