#include "equaliser.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace trivox {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFadeFrames = 960;  // 20 ms

// Gentle on purpose: none lifts anything by more than 6 dB.
const EqCurve kCurves[kEqCurves] = {
    {"speaker voicing", 2, {{EqBandKind::kHighPass, 60, 0, 0.707}, {EqBandKind::kPeak, 3000, 2, 1.0}, {}}},
    {"loudness", 2, {{EqBandKind::kLowShelf, 120, 6, 0.707}, {EqBandKind::kHighShelf, 8000, 3, 0.707}, {}}},
    {"small speakers", 2, {{EqBandKind::kHighPass, 150, 0, 0.707}, {EqBandKind::kPeak, 250, 3, 1.2}, {}}},
    {"presence", 1, {{EqBandKind::kPeak, 3000, 4, 0.9}, {}, {}}},
    {"warm", 2, {{EqBandKind::kLowShelf, 250, 3, 0.707}, {EqBandKind::kHighShelf, 6000, -4, 0.707}, {}}},
    {"bright", 2, {{EqBandKind::kHighShelf, 5000, 5, 0.707}, {EqBandKind::kLowShelf, 100, -2, 0.707}, {}}},
    {"flat", 0, {{}, {}, {}}},
};

Biquad design(const EqBand& b, double rate) {
  const double A = std::pow(10.0, b.gainDb / 40.0);
  const double w0 = 2 * kPi * b.freq / rate;
  const double cw = std::cos(w0), alpha = std::sin(w0) / (2 * b.q), sa = 2 * std::sqrt(A) * alpha;
  double b0, b1, b2, a0, a1, a2;
  switch (b.kind) {
    case EqBandKind::kLowShelf:
      b0 = A * ((A + 1) - (A - 1) * cw + sa), b1 = 2 * A * ((A - 1) - (A + 1) * cw), b2 = A * ((A + 1) - (A - 1) * cw - sa);
      a0 = (A + 1) + (A - 1) * cw + sa, a1 = -2 * ((A - 1) + (A + 1) * cw), a2 = (A + 1) + (A - 1) * cw - sa;
      break;
    case EqBandKind::kHighShelf:
      b0 = A * ((A + 1) + (A - 1) * cw + sa), b1 = -2 * A * ((A - 1) + (A + 1) * cw), b2 = A * ((A + 1) + (A - 1) * cw - sa);
      a0 = (A + 1) - (A - 1) * cw + sa, a1 = 2 * ((A - 1) - (A + 1) * cw), a2 = (A + 1) - (A - 1) * cw - sa;
      break;
    case EqBandKind::kPeak:
      b0 = 1 + alpha * A, b1 = -2 * cw, b2 = 1 - alpha * A, a0 = 1 + alpha / A, a1 = -2 * cw, a2 = 1 - alpha / A;
      break;
    case EqBandKind::kHighPass:
    default:
      b0 = (1 + cw) / 2, b1 = -(1 + cw), b2 = (1 + cw) / 2, a0 = 1 + alpha, a1 = -2 * cw, a2 = 1 - alpha;
      break;
  }
  return {static_cast<float>(b0 / a0), static_cast<float>(b1 / a0), static_cast<float>(b2 / a0),
          static_cast<float>(a1 / a0), static_cast<float>(a2 / a0)};
}

// The analog band at s, s normalised to the band's (pre-warped) frequency.
std::complex<double> analog(const EqBand& b, std::complex<double> s) {
  const double A = std::pow(10.0, b.gainDb / 40.0), q = b.q, sq = std::sqrt(A);
  switch (b.kind) {
    case EqBandKind::kLowShelf:
      return A * (s * s + sq / q * s + A) / (A * s * s + sq / q * s + 1.0);
    case EqBandKind::kHighShelf:
      return A * (A * s * s + sq / q * s + 1.0) / (s * s + sq / q * s + A);
    case EqBandKind::kPeak:
      return (s * s + A / q * s + 1.0) / (s * s + s / (A * q) + 1.0);
    case EqBandKind::kHighPass:
    default:
      return s * s / (s * s + s / q + 1.0);
  }
}

}  // namespace

int eqCurveIndex(int input) { return input >= -1 && input <= 5 ? input + 1 : 0; }
const EqCurve& eqCurve(int input) { return kCurves[eqCurveIndex(input)]; }

double eqCurveDb(const EqCurve& curve, double freq, double rate) {
  double db = 0;
  for (int i = 0; i < curve.bands; ++i) {
    const EqBand& b = curve.band[i];
    const double omega = std::tan(kPi * freq / rate) / std::tan(kPi * b.freq / rate);
    db += 20.0 * std::log10(std::abs(analog(b, {0.0, omega})));
  }
  return db;
}

Equaliser::Equaliser(uint32_t rate, int maxFrames) {
  for (int c = 0; c < kEqCurves; ++c) {
    m_bands[c] = kCurves[c].bands;
    for (int b = 0; b < kCurves[c].bands; ++b) m_biquads[c][b] = design(kCurves[c].band[b], rate);
  }
  for (auto* v : {&m_a[0], &m_a[1], &m_b[0], &m_b[1]}) v->assign(static_cast<size_t>(maxFrames), 0.0f);
  m_fadeDone = kFadeFrames;
}

void Equaliser::filter(Slot& s, const float* inL, const float* inR, float* outL, float* outR, int n) const {
  const float* in[2] = {inL, inR};
  float* out[2] = {outL, outR};
  for (int ch = 0; ch < 2; ++ch) {
    std::copy(in[ch], in[ch] + n, out[ch]);
    if (s.curve < 0) continue;
    for (int b = 0; b < m_bands[s.curve]; ++b) {
      const Biquad& q = m_biquads[s.curve][b];
      float z1 = s.z[ch][b][0], z2 = s.z[ch][b][1];
      float* x = out[ch];
      for (int i = 0; i < n; ++i) {
        const float v = x[i];
        const float y = q.b0 * v + z1;
        z1 = q.b1 * v - q.a1 * y + z2;
        z2 = q.b2 * v - q.a2 * y;
        x[i] = y;
      }
      s.z[ch][b][0] = z1;
      s.z[ch][b][1] = z2;
    }
  }
}

void Equaliser::process(bool on, int input, float* left, float* right, int n) {
  const int want = on ? eqCurveIndex(input) : -1;
  if (want != m_now.curve) {
    // A fade still running is cut short: the newer change wins.
    m_before = m_now;
    m_now = Slot{};
    m_now.curve = want;
    m_fadeDone = 0;
  }
  if (m_fadeDone >= kFadeFrames) {
    if (m_now.curve >= 0) filter(m_now, left, right, left, right, n);
    return;
  }
  filter(m_now, left, right, m_a[0].data(), m_a[1].data(), n);
  filter(m_before, left, right, m_b[0].data(), m_b[1].data(), n);
  for (int i = 0; i < n; ++i) {
    const float t = std::min(1.0f, static_cast<float>(m_fadeDone + i + 1) / kFadeFrames);
    left[i] = m_b[0][static_cast<size_t>(i)] + t * (m_a[0][static_cast<size_t>(i)] - m_b[0][static_cast<size_t>(i)]);
    right[i] = m_b[1][static_cast<size_t>(i)] + t * (m_a[1][static_cast<size_t>(i)] - m_b[1][static_cast<size_t>(i)]);
  }
  m_fadeDone += n;
}

}  // namespace trivox
