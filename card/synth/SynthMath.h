// Unit conversions the voices share. Pure and inline: they run at block rate.
#pragma once

#include <cmath>
#include <cstdint>

namespace zsynth {

constexpr uint32_t kBlock = 32;  // frames between two updates of the controls
constexpr float kSilentDb = 100.0f;  // an envelope this far down has ended

inline float CentsToRatio(float cents) { return std::exp2(cents * (1.0f / 1200.0f)); }
// Through exp2: a third of pow's cost, and envelopes call it every block.
inline float DbToGain(float db) { return std::exp2(db * (0.05f * 3.321928095f)); }
inline float GainToDb(float gain) { return gain > 1e-10f ? 20.0f * std::log10(gain) : -200.0f; }
// Absolute cents to hertz: cent 0 is MIDI key 0.
inline float AbsCentsToHz(float cents) { return 8.1757989f * CentsToRatio(cents); }

inline float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Velocity to attenuation: the concave curve of General MIDI banks, 40 log10(127 / v) dB.
inline float VelocityDb(uint8_t velocity) {
  return velocity == 0 ? kSilentDb : 40.0f * std::log10(127.0f / velocity);
}

// A controller's 0..127 as gain, squared as the mixing consoles' faders are.
inline float ControllerGain(uint32_t value) {
  const float v = value * (1.0f / 127.0f);
  return v * v;
}

}  // namespace zsynth
