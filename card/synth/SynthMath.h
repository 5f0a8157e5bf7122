// Unit conversions the voices share. Pure and inline: they run at block rate.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace zsynth {

constexpr uint32_t kBlock = 32;  // frames between two updates of the controls
constexpr float kSilentDb = 100.0f;  // an envelope this far down has ended

// 2^x to float precision (relative error below 2e-7), from a polynomial: the block-rate
// controls call it for every voice, and the 32-bit Windows C library's exp2 costs twenty
// times as much as this. Saturates at 2^-126 and 2^127.
inline float Exp2(float x) {
  if (!(x > -126.0f)) return x != x ? x : 1.17549435e-38f;  // NaN stays NaN
  if (x > 127.0f) x = 127.0f;
  const int32_t n = static_cast<int32_t>(x + 126.5f) - 126;  // x rounded, without floor()
  const float f = x - static_cast<float>(n);                   // -0.5 .. 0.5
  const float p = ((((((1.535336188319500e-4f * f + 1.339887440266574e-3f) * f + 9.618437357674640e-3f) * f +
                      5.550332471162809e-2f) * f + 2.402264791363012e-1f) * f + 6.931472028550421e-1f) * f) + 1.0f;
  const uint32_t bits = static_cast<uint32_t>(n + 127) << 23;
  float scale;
  std::memcpy(&scale, &bits, sizeof scale);
  return p * scale;
}

// sin and cos of w, |w| up to a few thousand, to float precision: octant reduction and the
// usual polynomials, for the same reason as Exp2.
inline void SinCos(float w, float& sine, float& cosine) {
  const float quarter = w * 0.636619772f;  // w / (pi/2)
  const int32_t j = static_cast<int32_t>(quarter + (quarter >= 0.0f ? 0.5f : -0.5f));
  const float r = (w - static_cast<float>(j) * 1.5703125f) - static_cast<float>(j) * 4.83826794897e-4f;
  const float z = r * r;
  const float s = r + r * z * ((-1.9515295891e-4f * z + 8.3321608736e-3f) * z - 1.6666654611e-1f);
  const float c =
      1.0f - 0.5f * z + z * z * ((2.443315711809948e-5f * z - 1.388731625493765e-3f) * z + 4.166664568298827e-2f);
  switch (j & 3) {
    case 0: sine = s, cosine = c; break;
    case 1: sine = c, cosine = -s; break;
    case 2: sine = -s, cosine = -c; break;
    default: sine = -c, cosine = s; break;
  }
}

inline float CentsToRatio(float cents) { return Exp2(cents * (1.0f / 1200.0f)); }
inline float DbToGain(float db) { return Exp2(db * (0.05f * 3.321928095f)); }
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
