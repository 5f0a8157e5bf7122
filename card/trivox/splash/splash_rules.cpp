#include "splash_rules.h"

#include <algorithm>
#include <cmath>

namespace trivox {

bool splashSettingOn(const uint8_t* data, size_t size) {
  if (!data || size != 4) return false;
  return (data[0] | data[1] | data[2] | data[3]) != 0;
}

SplashPlan planSplash(bool firstInProcess, bool audioOn, bool screenOn) {
  SplashPlan p;
  if (!firstInProcess) return p;
  p.chime = audioOn;
  p.logo = screenOn;
  return p;
}

std::vector<int16_t> makeChime(uint32_t rate) {
  const double pi = 3.14159265358979323846;
  const size_t n = static_cast<size_t>(kChimeSeconds * rate);
  struct Note {
    double start, freq;
  };
  const Note notes[] = {{0.0, 784.0}, {0.12, 1046.5}};  // G5, then C6
  std::vector<double> s(n, 0.0);
  for (const Note& note : notes) {
    for (size_t i = static_cast<size_t>(note.start * rate); i < n; ++i) {
      const double t = static_cast<double>(i) / rate - note.start;
      const double attack = std::min(1.0, t / 0.004);  // no click at the onset
      const double body = std::exp(-t / 0.16);
      // A bell's inharmonic partial, fading faster than the note.
      s[i] += attack * body * (std::sin(2 * pi * note.freq * t) + 0.3 * std::exp(-t / 0.05) * std::sin(2 * pi * 2.76 * note.freq * t));
    }
  }
  const size_t fade = rate / 50;  // the tail goes to silence over 20 ms
  for (size_t i = 0; i < fade && i < n; ++i) s[n - 1 - i] *= static_cast<double>(i) / fade;
  double peak = 1e-9;
  for (double v : s) peak = std::max(peak, std::abs(v));
  std::vector<int16_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<int16_t>(std::lrint(s[i] / peak * kChimePeak * 32767.0));
  return out;
}

}  // namespace trivox
