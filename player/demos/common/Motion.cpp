#include "player/demos/common/Motion.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

constexpr double kPi = 3.14159265358979323846;

Point3 P(double x, double y, double z) { return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)}; }

// A small deterministic generator, so that every run flies the same swarm.
class Dice {
 public:
  explicit Dice(uint32_t seed) : m_state(seed * 2654435761u + 0x9E3779B9u) {}
  double Uniform(double lo, double hi) {
    m_state = m_state * 1664525u + 1013904223u;
    return lo + (hi - lo) * static_cast<double>(m_state >> 8) / static_cast<double>(1u << 24);
  }
  int Pick(int lo, int hi) { return std::min(hi, lo + static_cast<int>(Uniform(0, hi - lo + 1))); }

 private:
  uint32_t m_state;
};

}  // namespace

double DopplerRatio(const Sample& s) {
  const double d = std::sqrt(double(s.pos.x) * s.pos.x + double(s.pos.y) * s.pos.y + double(s.pos.z) * s.pos.z);
  if (d <= 1e-6) return 1.0;
  const double away = (s.vel.x * s.pos.x + s.vel.y * s.pos.y + s.vel.z * s.pos.z) / d;
  return kSpeedOfSound / (kSpeedOfSound + away);
}

float HeliPath::Period() const { return static_cast<float>(2 * kPi * kRadius / kSpeed); }

Sample HeliPath::At(double t) const {
  const double w = kSpeed / kRadius, a = w * t;
  return {P(m_cx + kRadius * std::sin(a), kHeight, m_cz - kRadius * std::cos(a)),
          P(kSpeed * std::cos(a), 0, kSpeed * std::sin(a))};
}

void HeliPath::SetCentre(float x, float z) {
  m_cx = std::clamp(x, -kMaxCentre, kMaxCentre);
  m_cz = std::clamp(z, -kMaxCentre, kMaxCentre);
}

double Track::Length() { return 4.0 * kHalfStraight + 2.0 * kPi * kTurnRadius; }

Sample Track::At(double s, float speed) {
  const double L = kHalfStraight, r = kTurnRadius, turn = kPi * r;
  s = std::fmod(s, Length());
  if (s < 0) s += Length();
  if (s < 2 * L) return {P(r, 0, -L + s), P(0, 0, speed)};  // right side, toward the front
  s -= 2 * L;
  if (s < turn) {
    const double phi = s / r;
    return {P(r * std::cos(phi), 0, L + r * std::sin(phi)), P(-speed * std::sin(phi), 0, speed * std::cos(phi))};
  }
  s -= turn;
  if (s < 2 * L) return {P(-r, 0, L - s), P(0, 0, -speed)};  // left side, toward the back
  const double phi = kPi + (s - 2 * L) / r;
  return {P(r * std::cos(phi), 0, -L + r * std::sin(phi)), P(-speed * std::sin(phi), 0, speed * std::cos(phi))};
}

void Car::Advance(double dt) {
  const float before = speed, step = static_cast<float>(kAccel * dt);
  speed = wanted > speed ? std::min(wanted, speed + step) : std::max(wanted, speed - step);
  s = std::fmod(s + 0.5 * (before + speed) * dt, Track::Length());
}

void Car::Want(float v) { wanted = std::clamp(v, kMinSpeed, kMaxSpeed); }

BeePath::BeePath(uint32_t seed) {
  Dice d(seed);
  m_r0 = d.Uniform(1.9, 2.9);
  // The distance never leaves [kMinRadius, kMaxRadius], with a margin.
  m_r1 = d.Uniform(0.2, std::min(m_r0 - kMinRadius, kMaxRadius - m_r0) - 0.05);
  m_rPhase = d.Uniform(0, 2 * kPi);
  m_rHarmonic = d.Pick(1, 3);
  m_turns = d.Pick(1, 2) * (d.Uniform(0, 1) < 0.5 ? -1 : 1);
  m_bearing = d.Uniform(0, 2 * kPi);
  m_wobble = d.Uniform(0.1, 0.8);
  m_wHarmonic = d.Pick(2, 5);
  m_wPhase = d.Uniform(0, 2 * kPi);
  m_lift = d.Uniform(0.05, 0.5);
  m_lHarmonic = d.Pick(1, 4);
  m_lPhase = d.Uniform(0, 2 * kPi);
}

Sample BeePath::At(double t) const {
  const double w = 2 * kPi / kPeriod;
  const double r = m_r0 + m_r1 * std::sin(m_rHarmonic * w * t + m_rPhase);
  const double dr = m_r1 * m_rHarmonic * w * std::cos(m_rHarmonic * w * t + m_rPhase);
  const double th = m_bearing + m_turns * w * t + m_wobble * std::sin(m_wHarmonic * w * t + m_wPhase);
  const double dth = m_turns * w + m_wobble * m_wHarmonic * w * std::cos(m_wHarmonic * w * t + m_wPhase);
  const double e = m_lift * std::sin(m_lHarmonic * w * t + m_lPhase);
  const double de = m_lift * m_lHarmonic * w * std::cos(m_lHarmonic * w * t + m_lPhase);
  const double ce = std::cos(e), se = std::sin(e), ct = std::cos(th), st = std::sin(th);
  // Bearing from the front (+z) toward the right (+x), elevation up.
  const Point3 pos = P(r * ce * st, r * se, r * ce * ct);
  const Point3 vel = P(dr * ce * st - r * se * de * st + r * ce * ct * dth, dr * se + r * ce * de,
                       dr * ce * ct - r * se * de * ct - r * ce * st * dth);
  return {pos, vel};
}

}  // namespace demo
