// The speed mode's third-order ambisonic bus: every source is a handful of
// gains into sixteen channels, and the bus reaches the ears through one set
// of sixteen decoding filters made from the HRTF set.
#pragma once

#include <cstdint>
#include <vector>

#include "hrtf.h"

namespace trivox {

constexpr int kAmbiOrder = 3;
constexpr int kAmbiChannels = (kAmbiOrder + 1) * (kAmbiOrder + 1);

// Real spherical harmonics, orthonormal over the sphere, for a direction in the
// renderer's convention (azimuth clockwise from the front, elevation up, radians).
void ambiEncode(float azimuth, float elevation, float* gains);

// True for the channels that change sign when left and right are swapped.
bool ambiAntisymmetric(int channel);

// Left-ear decoding filters: ear = sum over channels of bus[c] convolved with
// filter(c). The right ear uses the same filters, the antisymmetric ones negated.
// Below the crossover the filters are the least-squares fit of the measured
// responses with their onset delays; above it only magnitudes are fitted
// (the phase carries on from the fit below), since a third-order bus cannot
// hold the interaural phase up there and fitting it would cost the level.
struct AmbisonicDecoder {
  int taps = 0;
  std::vector<float> coeffs;  // kAmbiChannels x taps

  const float* filter(int channel) const { return coeffs.data() + static_cast<size_t>(channel) * taps; }
  static AmbisonicDecoder design(const HrtfSet& set, uint32_t rate);
};

}  // namespace trivox
