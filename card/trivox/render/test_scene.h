// Scenes for the renderer's tests: the measured set, looping sources, renders.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer.h"

namespace trivox::testsig {

constexpr uint32_t kRate = 48000;

HrtfSet kemar();  // the measured 48 kHz set

struct Source {
  std::vector<uint8_t> pcm;
  VoiceParams params;
};

// A 3D voice playing `samples` (16-bit), looping unless told otherwise.
Source makeSource(const std::vector<float>& samples, uint32_t rate, bool looping = true);
std::vector<float> renderFor(Mixer& m, int frames);
double db(double ratio);  // of energies

// Energy of x between lo and hi Hz, from one long FFT.
double bandEnergy(const std::vector<float>& x, double lo, double hi, double rate);

}  // namespace trivox::testsig
