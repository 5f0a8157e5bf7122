#include "test_signal.h"

#include <algorithm>
#include <cmath>

namespace trivox::testsig {

std::vector<uint8_t> pcm16(const std::vector<float>& samples) {
  std::vector<uint8_t> out;
  out.reserve(samples.size() * 2);
  for (float s : samples) {
    const long v = std::lround(std::clamp(s, -1.0f, 1.0f) * 32767.0f);
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return out;
}

std::vector<float> sine(double freq, double rate, int frames, float amplitude) {
  std::vector<float> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) s[static_cast<size_t>(i)] = amplitude * static_cast<float>(std::sin(2 * 3.14159265358979323846 * freq * i / rate));
  return s;
}

std::vector<float> noise(int frames, uint32_t seed, float amplitude) {
  std::vector<float> s(static_cast<size_t>(frames));
  uint32_t x = seed ? seed : 1;
  for (auto& v : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = amplitude * (static_cast<float>(x) / 2147483648.0f - 1.0f);
  }
  return s;
}

std::vector<float> channel(const std::vector<float>& stereo, int ch, int from) {
  std::vector<float> out;
  for (size_t i = static_cast<size_t>(from) * 2 + static_cast<size_t>(ch); i < stereo.size(); i += 2) out.push_back(stereo[i]);
  return out;
}

double energy(const std::vector<float>& x) {
  double e = 0;
  for (float v : x) e += static_cast<double>(v) * v;
  return e;
}

double rmsDb(const std::vector<float>& x) { return 10.0 * std::log10(energy(x) / static_cast<double>(x.size()) + 1e-30); }

double frequency(const float* x, int n, double rate) {
  double first = -1, last = -1;
  int count = 0;
  for (int i = 1; i < n; ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      const double t = (i - 1) + x[i - 1] / static_cast<double>(x[i - 1] - x[i]);
      if (first < 0) {
        first = t;
      } else {
        ++count;
      }
      last = t;
    }
  }
  if (count < 1) return 0;
  return count * rate / (last - first);
}

double onset(const std::vector<float>& x, double fraction) {
  float peak = 0;
  for (float v : x) peak = std::max(peak, std::fabs(v));
  const float level = static_cast<float>(fraction) * peak;
  for (size_t i = 0; i < x.size(); ++i) {
    if (std::fabs(x[i]) >= level) {
      if (i == 0) return 0;
      const double a = std::fabs(x[i - 1]), b = std::fabs(x[i]);
      return static_cast<double>(i - 1) + (level - a) / (b - a);
    }
  }
  return -1;
}

double maxStep(const std::vector<float>& x, int from) {
  double m = 0;
  for (size_t i = static_cast<size_t>(std::max(from, 1)); i < x.size(); ++i)
    m = std::max(m, static_cast<double>(std::fabs(x[i] - x[i - 1])));
  return m;
}

}  // namespace trivox::testsig
