// The inner loops of the mixer, built twice on x86: for the baseline
// instruction set and for AVX2 with FMA, picked once at run time.
#pragma once

#include <cstdint>

namespace trivox {

constexpr int kCubicReach = 16;

struct Kernels {
  const char* name;
  // mix[i] += w[i] * sum_k h[k] x[i-k]; x has taps-1 samples of history before x[0].
  void (*convolve)(const float* x, const float* h, int taps, int n, const float* w, float* mix);
  // The same with one gain for every w[i].
  void (*convolveGain)(const float* x, const float* h, int taps, int n, float gain, float* mix);
  // out[i] = Catmull-Rom through s[k[i]-1 .. k[i]+2] at fraction f[i].
  void (*cubicAt)(const float* s, const int32_t* k, const float* f, float* out, int n);
  // out[i] = Catmull-Rom through s at phase + i * step; s is read up to kCubicReach samples past the last position.
  void (*resampleCubic)(const float* s, double phase, double step, float* out, int n);
  // out[i] = Catmull-Rom through s at start + i * slope (slope near 1); returns the largest |out[i]|.
  float (*delayCubic)(const float* s, float start, float slope, float* out, int n);
  // out[i] = c0 s[i] + c1 s[i+1] + c2 s[i+2] + c3 s[i+3]; returns the largest |out[i]|.
  float (*fir4)(const float* s, const float* c, float* out, int n);
};

const Kernels& kernels();          // the best this processor runs
const Kernels& baselineKernels();  // always available
const Kernels* avx2Kernels();      // null when not built or not supported

}  // namespace trivox
