// The six-stage envelope of a voice, stepped at block rate; the voice ramps linearly
// between the levels it returns. The volume envelope attacks linearly in gain and decays
// and releases linearly in decibels (100 dB over the release time); the modulation
// envelope is linear in every stage.
#pragma once

#include <cstdint>

#include "Bank.h"

namespace zsynth {

class EnvelopeGen {
 public:
  enum Stage : uint8_t { kDelay, kAttack, kHold, kDecay, kSustain, kRelease, kDone };

  void start(const Envelope& e, uint8_t key, bool volume);
  void release();
  // Moves on by `seconds` and returns the level reached.
  float advance(float seconds);
  float level() const { return m_level; }
  Stage stage() const { return m_stage; }
  bool done() const { return m_stage == kDone; }

 private:
  float duration() const;
  float levelAt(float t) const;

  bool m_volume = true;
  Stage m_stage = kDone;
  float m_t = 0.0f;
  float m_level = 0.0f;
  float m_delay = 0.0f, m_attack = 0.0f, m_hold = 0.0f, m_decay = 0.0f, m_release = 0.0f;
  float m_sustain = 1.0f;
  float m_sustainDb = 0.0f;   // volume: attenuation of the sustain level, 0..100
  float m_releaseFrom = 0.0f;  // volume: attenuation at release; modulation: level at release
};

}  // namespace zsynth
