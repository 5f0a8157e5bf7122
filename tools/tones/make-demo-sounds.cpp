// Writes the demos' sounds, which are also the player's samples: short loops of ours,
// 16-bit mono, each ending where it begins so that it loops without a click.
//   make-demo-sounds OUTDIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "WaveWriter.h"
#include "player/demos/common/Sounds.h"

namespace {

constexpr int kRate = demo::kSoundRate;
constexpr double kPi = 3.14159265358979323846;

class Noise {
 public:
  double Next() {
    m_state = m_state * 1664525u + 1013904223u;
    return static_cast<double>(m_state >> 8) / (1 << 23) - 1.0;
  }

 private:
  uint32_t m_state = 12345;
};

std::vector<int16_t> ToPcm(const std::vector<double>& v, double peak) {
  double most = 1e-9;
  for (double x : v) most = std::fmax(most, std::fabs(x));
  std::vector<int16_t> out(v.size());
  for (size_t i = 0; i < v.size(); ++i) out[i] = static_cast<int16_t>(std::lround(v[i] / most * peak * 32767));
  return out;
}

// Blade thumps 11 times in 2 s, a low hum and a faint turbine whine.
std::vector<int16_t> Rotor() {
  const int n = 2 * kRate;
  std::vector<double> v(n);
  Noise noise;
  double low = 0;
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / kRate, since = std::fmod(t, 2.0 / 11);
    low += 0.35 * (noise.Next() - low);
    v[i] = std::exp(-since / 0.03) * (low * 2.5 + 0.6 * std::sin(2 * kPi * 66 * t)) + 0.3 * std::sin(2 * kPi * 44 * t) +
           0.05 * std::sin(2 * kPi * 1200 * t);
  }
  return ToPcm(v, 0.7);
}

// One second of a four-stroke engine: the fundamental over weaker harmonics, a light
// firing flutter and a little noise.
std::vector<int16_t> Engine() {
  const int n = kRate;
  std::vector<double> v(n);
  Noise noise;
  const double f = demo::kEngineHz;
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    const double tone = std::sin(2 * kPi * f * t) + 0.3 * std::sin(2 * kPi * 2 * f * t) +
                        0.2 * std::sin(2 * kPi * 3 * f * t) + 0.1 * std::sin(2 * kPi * 4 * f * t);
    v[i] = tone * (1 + 0.08 * std::sin(2 * kPi * 30 * t)) + 0.03 * noise.Next();
  }
  return ToPcm(v, 0.6);
}

// One second of buzzing wings: a bright tone with a slow waver.
std::vector<int16_t> Bee() {
  const int n = kRate;
  std::vector<double> v(n);
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / kRate, phase = 2 * kPi * (220 * t - 8 / (2 * kPi * 6) * std::cos(2 * kPi * 6 * t));
    double x = 0;
    for (int k = 1; k <= 8; ++k) x += std::sin(k * phase) / k;
    v[i] = x * (0.8 + 0.2 * std::sin(2 * kPi * 3 * t));
  }
  return ToPcm(v, 0.5);
}

// Three bells, a rising triad, fading out within two seconds.
std::vector<int16_t> Bells() {
  const int n = 2 * kRate;
  std::vector<double> v(n);
  const double notes[3] = {1046.5, 1318.5, 1568.0};
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / kRate;
    for (int b = 0; b < 3; ++b) {
      const double s = t - 0.5 * b;
      if (s < 0) continue;
      const double env = std::exp(-s / 0.3) * std::fmin(1.0, s / 0.005) * std::fmin(1.0, (2.0 - t) / 0.05);
      v[i] += env * (std::sin(2 * kPi * notes[b] * s) + 0.4 * std::sin(2 * kPi * 2.76 * notes[b] * s));
    }
  }
  return ToPcm(v, 0.6);
}

// Two seconds of a drum loop at 120 beats a minute: kick, snare, hi-hat.
std::vector<int16_t> Drums() {
  const int n = 2 * kRate;
  std::vector<double> v(n);
  Noise noise;
  for (int i = 0; i < n; ++i) {
    const double t = double(i) / kRate, beat = std::fmod(t, 0.5), eighth = std::fmod(t, 0.25);
    const bool kick = t < 0.5 || (t >= 1.0 && t < 1.5);
    const double sweep = 2 * kPi * (50 * beat + 70 * 0.04 * (1 - std::exp(-beat / 0.04)));
    double x = kick ? std::exp(-beat / 0.12) * std::sin(sweep) : 0.6 * std::exp(-beat / 0.06) * noise.Next();
    x += 0.15 * std::exp(-eighth / 0.015) * noise.Next();
    v[i] = x * std::fmin(1.0, (2.0 - t) / 0.01);
  }
  return ToPcm(v, 0.7);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-demo-sounds OUTDIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const bool ok = WriteWave(dir + "Rotor.wav", Rotor(), kRate) && WriteWave(dir + "Engine.wav", Engine(), kRate) &&
                  WriteWave(dir + "Bee.wav", Bee(), kRate) && WriteWave(dir + "Bells.wav", Bells(), kRate) &&
                  WriteWave(dir + "Drums.wav", Drums(), kRate);
  if (!ok) {
    std::perror("make-demo-sounds");
    return 1;
  }
  return 0;
}
