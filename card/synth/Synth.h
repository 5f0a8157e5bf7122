// The wavetable synthesizer: General MIDI on 16 channels over an instrument bank.
// Single-threaded: every call comes from the one thread that renders (see SynthHost for
// the hand-over from other threads). render() never allocates or waits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Bank.h"

namespace zsynth {

// The card's wavetable settings, as the card's control codes set them.
struct SynthSettings {
  bool effects = true;   // false: reverb and chorus bypassed
  uint32_t reverb = 64;  // 0..127, scales every channel's reverb send
  uint32_t chorus = 64;  // 0..127, scales every channel's chorus send
  uint32_t mode = 0;     // 0: 64 voices, best interpolation; 1: 64 voices, cheaper; 2: 32 voices, best
};

// The settings as the synthesizer applies them: amounts at most 127, an unknown mode as 0.
SynthSettings NormalisedSettings(const SynthSettings& settings);

struct SynthStatus {
  uint32_t activeVoices = 0;
  uint32_t peakVoices = 0;  // since construction or reset()
  uint32_t maxVoices = 0;   // the mode's polyphony
};

struct VoiceKernels;

class Synth {
 public:
  // `kernels`: the processor variant to render with, null for the best this processor runs.
  explicit Synth(uint32_t sampleRate, const VoiceKernels* kernels = nullptr);
  ~Synth();
  Synth(const Synth&) = delete;
  Synth& operator=(const Synth&) = delete;

  // Notes started after this call use the bank; sounding notes keep theirs, so the caller
  // keeps the old bank alive until usesBank(old) turns false.
  void setBank(std::shared_ptr<const Bank> bank);
  bool usesBank(const Bank* bank) const;
  void setSettings(const SynthSettings& settings);

  // A short message packed as for midiOutShortMsg: status | data1 << 8 | data2 << 16.
  void shortMessage(uint32_t packed);
  // A system exclusive message, F0 to F7: GM system on, GS reset, master volume.
  void sysEx(const uint8_t* data, size_t size);
  // Every note off at once, sustain released, controllers kept (midiOutReset).
  void reset();

  // Overwrites `out` with `frames` interleaved stereo frames.
  void render(float* out, uint32_t frames);
  SynthStatus status() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> m_impl;
};

}  // namespace zsynth
