// Signals and measurements for the renderer's tests and the benchmark.
#pragma once

#include <cstdint>
#include <vector>

namespace trivox::testsig {

std::vector<uint8_t> pcm16(const std::vector<float>& samples);
std::vector<float> sine(double freq, double rate, int frames, float amplitude);
std::vector<float> noise(int frames, uint32_t seed, float amplitude);

// Channel `ch` of an interleaved stereo signal, from frame `from` on.
std::vector<float> channel(const std::vector<float>& stereo, int ch, int from = 0);
double energy(const std::vector<float>& x);
double rmsDb(const std::vector<float>& x);
// Frequency from the positive-going zero crossings, interpolated between samples.
double frequency(const float* x, int n, double rate);
// Time in samples where |x| first reaches `fraction` of its peak, interpolated.
double onset(const std::vector<float>& x, double fraction);
double maxStep(const std::vector<float>& x, int from = 1);

}  // namespace trivox::testsig
