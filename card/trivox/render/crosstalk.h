// External speakers: the binaural signal through a crosstalk canceller, so each
// ear hears its own channel from two speakers in front, and a limiter after it.
#pragma once

#include <cstdint>
#include <vector>

#include "hrtf.h"

namespace trivox {

struct Kernels;

constexpr float kSpeakerAzimuthDeg = 30.0f;  // speakers at +-30 degrees, 2 m: far field for the set
constexpr float kMaxCancelBoostDb = 20.0f;

// Speaker feeds S for a binaural pair B such that the ears receive each channel
// of B through the near speaker's path alone. Works on the sum and difference
// of the channels, where the 2x2 inverse falls apart into two filters; each is
// regularised so that its gain stays below kMaxCancelBoostDb.
class CrosstalkCanceller {
 public:
  CrosstalkCanceller(const HrtfSet& set, uint32_t rate, int maxFrames);

  int taps() const { return m_taps; }
  int latency() const { return m_latency; }  // samples
  const float* sumFilter() const { return m_filter[0].data(); }
  const float* differenceFilter() const { return m_filter[1].data(); }

  // Adds the speaker feeds for left/right (n <= maxFrames) to outL/outR, scaled by w[i].
  void process(const Kernels& k, const float* left, const float* right, int n, const float* w, float* outL,
               float* outR);
  void reset();

 private:
  int m_taps = 0;
  int m_latency = 0;
  std::vector<float> m_filter[2];
  std::vector<float> m_in[2];   // history + block, sum and difference
  std::vector<float> m_out[2];
  std::vector<float> m_ones;
};

// Keeps every sample within the ceiling without a hard edge: the gain falls
// ahead of a peak within the block (no added latency) and recovers slowly.
class Limiter {
 public:
  explicit Limiter(int maxFrames);
  void process(float* left, float* right, int n);
  void reset() { m_gain = 1.0f; }
  float gain() const { return m_gain; }

 private:
  float m_gain = 1.0f;
  std::vector<float> m_need;
};

}  // namespace trivox
