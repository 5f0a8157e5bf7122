#include "fft.h"

#include <cmath>
#include <utility>

namespace trivox {

void fft(Spectrum& x, bool inverse) {
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  const double sign = inverse ? 1.0 : -1.0;
  for (size_t len = 2; len <= n; len <<= 1) {
    const double a = sign * 2.0 * 3.14159265358979323846 / static_cast<double>(len);
    const std::complex<double> step(std::cos(a), std::sin(a));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w(1.0, 0.0);
      for (size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> u = x[i + k], v = x[i + k + len / 2] * w;
        x[i + k] = u + v;
        x[i + k + len / 2] = u - v;
        w *= step;
      }
    }
  }
  if (inverse)
    for (auto& v : x) v /= static_cast<double>(n);
}

Spectrum spectrumOf(const float* x, int n, int size) {
  Spectrum s(static_cast<size_t>(size));
  for (int i = 0; i < n && i < size; ++i) s[static_cast<size_t>(i)] = x[i];
  fft(s);
  return s;
}

}  // namespace trivox

namespace trivox {

void addDelayed(const float* h, int n, float delay, double scale, std::vector<double>& out) {
  const int whole = static_cast<int>(std::floor(delay));
  const double frac = delay - whole;
  const int len = static_cast<int>(out.size());
  for (int t = 0; t < n; ++t) {
    const int at = t + whole;
    if (at >= 0 && at < len) out[static_cast<size_t>(at)] += scale * (1.0 - frac) * h[t];
    if (at + 1 >= 0 && at + 1 < len) out[static_cast<size_t>(at + 1)] += scale * frac * h[t];
  }
}

}  // namespace trivox
