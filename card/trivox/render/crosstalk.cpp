#include "crosstalk.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "fft.h"
#include "kernels.h"

namespace trivox {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kDesignSize = 1024;
constexpr int kTaps = 256;
constexpr int kModelDelay = 32;  // room for the part of the inverse before its peak
constexpr int kFadeTaps = 32;
constexpr float kCeiling = 0.98f;
constexpr float kAttackStep = 1.0f / 96.0f;     // the gain may fall by 1 in 2 ms
constexpr float kReleaseStep = 1.0f / 9600.0f;  // and climbs back by 1 in 200 ms

// Ear filter with its onset, at the set's delays.
Spectrum earSpectrum(const float* h, int taps, float delay) {
  std::vector<double> placed(kDesignSize, 0.0);
  addDelayed(h, taps, delay, 1.0, placed);
  Spectrum s(placed.begin(), placed.end());
  fft(s);
  return s;
}

}  // namespace

CrosstalkCanceller::CrosstalkCanceller(const HrtfSet& set, uint32_t rate, int maxFrames) : m_taps(kTaps) {
  (void)rate;
  const float az = kSpeakerAzimuthDeg * static_cast<float>(kPi) / 180.0f;
  std::vector<float> near(static_cast<size_t>(set.taps)), far(static_cast<size_t>(set.taps));
  float dNear = 0, dFar = 0;
  // The left speaker: its path to the left ear is the near one.
  set.interpolate(-az, 0.0f, near.data(), far.data(), dNear, dFar);
  const Spectrum ipsi = earSpectrum(near.data(), set.taps, dNear);
  const Spectrum contra = earSpectrum(far.data(), set.taps, dFar);
  // |conj(r) / (|r|^2 + beta)| peaks at 1 / (2 sqrt(beta)).
  const double maxGain = std::pow(10.0, kMaxCancelBoostDb / 20.0) * 0.95;
  const double beta = 1.0 / (4.0 * maxGain * maxGain);
  for (int f = 0; f < 2; ++f) {
    Spectrum x(kDesignSize);
    for (int k = 0; k <= kDesignSize / 2; ++k) {
      const std::complex<double> i = ipsi[static_cast<size_t>(k)], c = contra[static_cast<size_t>(k)];
      const std::complex<double> r = std::abs(i) > 1e-9 ? (f == 0 ? 1.0 + c / i : 1.0 - c / i) : 1.0;
      const std::complex<double> shift = std::polar(1.0, -2.0 * kPi * k * kModelDelay / kDesignSize);
      x[static_cast<size_t>(k)] = std::conj(r) / (std::norm(r) + beta) * shift;
      if (k > 0 && k < kDesignSize / 2) x[static_cast<size_t>(kDesignSize - k)] = std::conj(x[static_cast<size_t>(k)]);
    }
    fft(x, true);
    m_filter[f].resize(kTaps);
    for (int t = 0; t < kTaps; ++t) {
      const int fromEnd = kTaps - 1 - t;
      const double fade = fromEnd < kFadeTaps ? 0.5 - 0.5 * std::cos(kPi * (fromEnd + 0.5) / kFadeTaps) : 1.0;
      m_filter[f][static_cast<size_t>(t)] = static_cast<float>(x[static_cast<size_t>(t)].real() * fade);
    }
  }
  m_latency = kModelDelay;
  for (auto& v : m_in) v.assign(static_cast<size_t>(kTaps - 1 + maxFrames), 0.0f);
  for (auto& v : m_out) v.assign(static_cast<size_t>(maxFrames), 0.0f);
  m_ones.assign(static_cast<size_t>(maxFrames), 1.0f);
}

void CrosstalkCanceller::reset() {
  for (auto& v : m_in) std::fill(v.begin(), v.end(), 0.0f);
}

void CrosstalkCanceller::process(const Kernels& k, const float* left, const float* right, int n, const float* w,
                                 float* outL, float* outR) {
  float* s = m_in[0].data() + (kTaps - 1);
  float* d = m_in[1].data() + (kTaps - 1);
  for (int i = 0; i < n; ++i) {
    s[i] = 0.5f * (left[i] + right[i]);
    d[i] = 0.5f * (left[i] - right[i]);
  }
  for (int f = 0; f < 2; ++f) {
    float* y = m_out[f].data();
    std::fill(y, y + n, 0.0f);
    k.convolve(m_in[f].data() + (kTaps - 1), m_filter[f].data(), kTaps, n, m_ones.data(), y);
    float* hist = m_in[f].data();
    std::copy(hist + n, hist + n + (kTaps - 1), hist);
  }
  const float* ys = m_out[0].data();
  const float* yd = m_out[1].data();
  for (int i = 0; i < n; ++i) {
    outL[i] += w[i] * (ys[i] + yd[i]);
    outR[i] += w[i] * (ys[i] - yd[i]);
  }
}

Limiter::Limiter(int maxFrames) : m_need(static_cast<size_t>(maxFrames), 1.0f) {}

void Limiter::process(float* left, float* right, int n) {
  float* g = m_need.data();
  bool over = false;
  for (int i = 0; i < n; ++i) {
    const float peak = std::max(std::fabs(left[i]), std::fabs(right[i]));
    g[i] = peak > kCeiling ? kCeiling / peak : 1.0f;
    over |= g[i] < 1.0f;
  }
  if (!over && m_gain == 1.0f) return;
  // Backwards: the gain reaches each dip at no more than the attack slope.
  for (int i = n - 2; i >= 0; --i) g[i] = std::min(g[i], g[i + 1] + kAttackStep);
  float gain = m_gain;
  for (int i = 0; i < n; ++i) {
    gain = std::min(g[i], gain + kReleaseStep);
    left[i] = std::clamp(left[i] * gain, -1.0f, 1.0f);
    right[i] = std::clamp(right[i] * gain, -1.0f, 1.0f);
  }
  m_gain = gain;
}

}  // namespace trivox
