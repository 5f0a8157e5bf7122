// The per-sample loops of the voices, built twice on x86: for the baseline instruction set
// (SSE2) and for AVX2 with FMA, picked once at run time. Voices are filtered and mixed a
// group at a time, one voice in each lane, so the filter's recurrence runs for a group of
// voices at the cost of one.
#pragma once

#include <cstdint>

#include "SynthMath.h"

namespace zsynth {

// Voices a group filters and mixes at once. Sixteen keep two chains of AVX2 vectors in
// flight, so the filter's recurrence waits on neither; a 32-bit build has too few
// registers for more than eight.
#if defined(__x86_64__)
constexpr int kLanes = 16;
#else
constexpr int kLanes = 8;
#endif
constexpr int kSpan = 8;  // the widest vector of samples the interpolation writes
enum Bus { kLeft, kRight, kReverb, kChorus, kBuses };

// Where the voices of one block mix to: the dry stereo pair and the two mono sends.
struct Buses {
  float left[kBlock], right[kBlock], reverb[kBlock], chorus[kBlock];
  void clear();
};

// The buses before the lanes are summed: every group adds its lanes in place, and the sum
// across lanes is taken once per block.
struct alignas(32) LaneBuses {
  float bus[kBuses][kBlock][kLanes];
  bool sends;  // whether any lane wrote to the reverb or chorus bus
  // Zeroes the dry pair, and the sends when `sends`.
  void clear(bool sends);
};

// Up to eight voices of one block. A lane without a voice has zero input and gains; an
// open filter is b0 = 1 and the rest 0.
struct alignas(32) LaneGroup {
  float x[kLanes][kBlock + kSpan];  // each voice's interpolated samples, its own row
  float b0[kLanes], b1[kLanes], b2[kLanes], a1[kLanes], a2[kLanes];
  float z1[kLanes], z2[kLanes];
  float gain[kBuses][kLanes];  // reached at the end of the last block
  float step[kBuses][kLanes];  // change per frame towards this block's target
  void clear();
};

struct VoiceKernels {
  const char* name;
  // out[k] = the interpolation between the taps around `frac + k * inc` (32.32 frames,
  // relative to p[0]); every tap, p[-1] to p[2] for cubic, lies inside the sample. `out`
  // has room for n rounded up to kSpan: what lies past n is scratch.
  void (*cubic)(const int16_t* p, uint32_t frac, uint64_t inc, float* out, uint32_t n);
  void (*linear)(const int16_t* p, uint32_t frac, uint64_t inc, float* out, uint32_t n);
  // Filters every lane of the group and adds it, ramping its gains, to the lane buses.
  void (*filterMix)(LaneGroup& g, LaneBuses& to, uint32_t frames, bool sends);
  // Adds the lane buses, summed across lanes, to `to`.
  void (*reduce)(const LaneBuses& from, Buses& to, uint32_t frames);
};

const VoiceKernels& voiceKernels();          // the best this processor runs
const VoiceKernels& baselineVoiceKernels();  // always available
const VoiceKernels* avx2VoiceKernels();      // null when not built or not supported

}  // namespace zsynth
