#include "test_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fft.h"
#include "test_signal.h"

namespace trivox::testsig {

HrtfSet kemar() {
  HrtfSet set;
  std::string error;
  EXPECT_TRUE(loadMhrFile("/usr/share/openal/hrtf/default-48000.mhr", set, error)) << error;
  return set;
}

Source makeSource(const std::vector<float>& samples, uint32_t rate, bool looping) {
  Source s;
  s.pcm = pcm16(samples);
  s.params.data = s.pcm.data();
  s.params.bytes = static_cast<uint32_t>(s.pcm.size());
  s.params.frequency = rate;
  s.params.playing = true;
  s.params.looping = looping;
  s.params.playGen = 1;
  s.params.is3d = true;
  return s;
}

std::vector<float> renderFor(Mixer& m, int frames) {
  std::vector<float> out(static_cast<size_t>(frames) * 2);
  m.render(out.data(), frames);
  return out;
}

double db(double ratio) { return 10.0 * std::log10(ratio); }

double bandEnergy(const std::vector<float>& x, double lo, double hi, double rate) {
  int size = 1;
  while (size < static_cast<int>(x.size())) size *= 2;
  const Spectrum s = spectrumOf(x.data(), static_cast<int>(x.size()), size);
  double e = 0;
  for (int k = 1; k < size / 2; ++k) {
    const double f = k * rate / size;
    if (f >= lo && f < hi) e += std::norm(s[static_cast<size_t>(k)]);
  }
  return e;
}

}  // namespace trivox::testsig
