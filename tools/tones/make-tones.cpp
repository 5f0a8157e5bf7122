// Writes the output test's tones, l.wav and r.wav: two short bell chimes, 44.1 kHz,
// 16-bit mono PCM, each ending in exact silence so the two are easy to tell apart.
//   make-tones OUTDIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "WaveWriter.h"

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct Partial {
  double ratio, gain, decay;  // decay: amplitude time constant in seconds
};

// A soft bell: a few near-harmonic partials, the high ones fading first.
std::vector<int16_t> Chime(double fundamental, double seconds) {
  static const Partial partials[] = {
      {1.0, 1.00, 0.35}, {2.0, 0.45, 0.20}, {3.01, 0.22, 0.12}, {4.2, 0.10, 0.07}, {0.5, 0.15, 0.45},
  };
  const int n = static_cast<int>(seconds * kRate);
  const int attack = kRate / 200;   // 5 ms, no click
  const int release = kRate / 20;   // 50 ms to exact zero
  std::vector<int16_t> out(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double v = 0;
    for (const Partial& p : partials) v += p.gain * std::exp(-t / p.decay) * std::sin(2 * kPi * fundamental * p.ratio * t);
    double env = 1.0;
    if (i < attack) env = static_cast<double>(i) / attack;
    if (i > n - release) env *= static_cast<double>(n - i) / release;
    out[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(0.45 * 32767.0 * env * v / 1.2));
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-tones OUTDIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  // Left a G5, right a C6: a rising fourth from left to right.
  if (!WriteWave(dir + "l.wav", Chime(783.99, 0.7), kRate) || !WriteWave(dir + "r.wav", Chime(1046.5, 0.7), kRate)) {
    std::perror("make-tones");
    return 1;
  }
  return 0;
}
