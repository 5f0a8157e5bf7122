// The synthesizer between threads: MIDI arrives on the client's threads, settings and banks
// on a control thread, and one render thread plays. The render thread takes no lock and
// frees nothing: messages come through a ring, settings through an atomic hand-over, and
// a replaced bank is let go of on a control call once no voice plays it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Synth.h"

namespace zsynth {

class SynthHost {
 public:
  explicit SynthHost(uint32_t sampleRate);
  ~SynthHost();
  SynthHost(const SynthHost&) = delete;
  SynthHost& operator=(const SynthHost&) = delete;

  // Any thread; callers queue behind each other, never behind render(). Messages take
  // effect at the start of the next rendered block. False when the ring is full.
  bool postShort(uint32_t packed);
  bool postSysEx(const uint8_t* data, size_t size);
  bool postReset();
  void setSettings(const SynthSettings& settings);
  void setBank(std::shared_ptr<const Bank> bank);

  // The render thread only.
  void render(float* out, uint32_t frames);

  // Any thread: what the last rendered block saw.
  SynthStatus status() const;
  SynthSettings settingsInUse() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> m_impl;
};

}  // namespace zsynth
