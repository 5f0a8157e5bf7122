#include "ambisonic.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "fft.h"

namespace trivox {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCrossoverHz = 2000.0;  // about where order three stops holding the interaural phase
constexpr int kDesignSize = 256;         // FFT length of the design
constexpr int kFadeTaps = 16;            // raised-cosine end of the decoding filters

struct Direction {
  float azimuth, elevation;
  double weight;  // share of the sphere's surface
};

// The set's grid with each direction's share of the sphere, for the projection.
std::vector<Direction> gridOf(const HrtfSet& set) {
  std::vector<Direction> dirs;
  const int ev = set.elevationCount();
  const double step = kPi / (ev - 1);
  for (int e = 0; e < ev; ++e) {
    const double el = -kPi / 2 + step * e;
    const double lo = std::max(el - step / 2, -kPi / 2), hi = std::min(el + step / 2, kPi / 2);
    const int n = set.azCount[static_cast<size_t>(e)];
    const double ring = 2 * kPi * (std::sin(hi) - std::sin(lo)) / n;
    for (int a = 0; a < n; ++a)
      dirs.push_back({static_cast<float>(2 * kPi * a / n), static_cast<float>(el), ring});
  }
  return dirs;
}

}  // namespace

void ambiEncode(float azimuth, float elevation, float* g) {
  const float ce = std::cos(elevation);
  const float a = std::cos(azimuth) * ce;  // front
  const float b = std::sin(azimuth) * ce;  // right
  const float c = std::sin(elevation);     // up
  g[0] = 0.282095f;
  g[1] = 0.488603f * b;
  g[2] = 0.488603f * c;
  g[3] = 0.488603f * a;
  g[4] = 1.092548f * a * b;
  g[5] = 1.092548f * b * c;
  g[6] = 0.315392f * (3 * c * c - 1);
  g[7] = 1.092548f * a * c;
  g[8] = 0.546274f * (a * a - b * b);
  g[9] = 0.590044f * b * (3 * a * a - b * b);
  g[10] = 2.890611f * a * b * c;
  g[11] = 0.457046f * b * (5 * c * c - 1);
  g[12] = 0.373176f * c * (5 * c * c - 3);
  g[13] = 0.457046f * a * (5 * c * c - 1);
  g[14] = 1.445306f * c * (a * a - b * b);
  g[15] = 0.590044f * a * (a * a - 3 * b * b);
}

bool ambiAntisymmetric(int c) { return c == 1 || c == 4 || c == 5 || c == 9 || c == 10 || c == 11; }

AmbisonicDecoder AmbisonicDecoder::design(const HrtfSet& set, uint32_t rate) {
  const std::vector<Direction> dirs = gridOf(set);
  const size_t count = dirs.size();
  const int bins = kDesignSize / 2 + 1;
  std::vector<float> y(count * kAmbiChannels);
  std::vector<Spectrum> h(count);
  int longest = 0;
  for (size_t d = 0; d < count; ++d) {
    ambiEncode(dirs[d].azimuth, dirs[d].elevation, &y[d * kAmbiChannels]);
    // The stored filter of this direction is the left ear's.
    const int index = static_cast<int>(d);
    const float delay = set.delays[d];
    longest = std::max(longest, set.taps + static_cast<int>(std::ceil(delay)) + 1);
    std::vector<double> placed(kDesignSize, 0.0);
    addDelayed(set.filter(index), set.taps, delay, 1.0, placed);
    h[d].assign(placed.begin(), placed.end());
    fft(h[d]);
  }
  std::vector<Spectrum> fit(kAmbiChannels, Spectrum(kDesignSize));
  const int crossover = static_cast<int>(kCrossoverHz * kDesignSize / rate);
  for (int k = 0; k < bins; ++k) {
    for (size_t d = 0; d < count; ++d) {
      std::complex<double> target = h[d][static_cast<size_t>(k)];
      if (k > crossover) {
        std::complex<double> prev = 0;
        for (int c = 0; c < kAmbiChannels; ++c) prev += static_cast<double>(y[d * kAmbiChannels + c]) * fit[c][k - 1];
        target = std::polar(std::abs(target), std::arg(prev));
      }
      for (int c = 0; c < kAmbiChannels; ++c)
        fit[c][static_cast<size_t>(k)] += dirs[d].weight * static_cast<double>(y[d * kAmbiChannels + c]) * target;
    }
  }
  AmbisonicDecoder dec;
  dec.taps = std::min(kMaxTaps, ((longest + kFadeTaps + 7) / 8) * 8);
  dec.coeffs.assign(static_cast<size_t>(kAmbiChannels) * dec.taps, 0.0f);
  for (int c = 0; c < kAmbiChannels; ++c) {
    Spectrum& s = fit[static_cast<size_t>(c)];
    for (int k = 1; k < kDesignSize / 2; ++k) s[static_cast<size_t>(kDesignSize - k)] = std::conj(s[static_cast<size_t>(k)]);
    s[0] = s[0].real();
    s[kDesignSize / 2] = s[kDesignSize / 2].real();
    fft(s, true);
    for (int t = 0; t < dec.taps; ++t) {
      const int fromEnd = dec.taps - 1 - t;
      const double fade = fromEnd < kFadeTaps ? 0.5 - 0.5 * std::cos(kPi * (fromEnd + 0.5) / kFadeTaps) : 1.0;
      dec.coeffs[static_cast<size_t>(c) * dec.taps + t] = static_cast<float>(s[static_cast<size_t>(t)].real() * fade);
    }
  }
  return dec;
}

}  // namespace trivox
