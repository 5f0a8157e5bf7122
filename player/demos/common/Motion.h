// Where the demos' sources are at a time: closed, smooth paths around a listener who
// stays at the origin facing +z (x right, y up), in metres and seconds.
#pragma once
#include <cstdint>

#include "player/core/PlayerLogic.h"

namespace demo {

constexpr float kSpeedOfSound = 343.3f;  // m/s, as both engines hear it
constexpr float kHeadRadius = 0.5f;      // no source comes nearer than this

struct Sample {
  Point3 pos;
  Point3 vel;
};

// The pitch a still listener at the origin hears from a moving source (1 = unchanged).
double DopplerRatio(const Sample& s);

// The helicopter flies a horizontal circle at a fixed height; the default centre puts
// the listener right under the circle, so it passes overhead once a lap.
class HeliPath {
 public:
  static constexpr float kRadius = 12.0f, kHeight = 6.0f, kSpeed = 22.0f, kMaxCentre = 30.0f;
  float Period() const;
  Sample At(double t) const;
  void SetCentre(float x, float z);  // clamped to +-kMaxCentre
  float CentreX() const { return m_cx; }
  float CentreZ() const { return m_cz; }

 private:
  float m_cx = 0.0f, m_cz = kRadius;
};

// An oval track (two straights joined by half circles) centred on the listener, the
// straights running front to back on either side.
class Track {
 public:
  static constexpr float kHalfStraight = 40.0f, kTurnRadius = 15.0f;
  static double Length();
  // The point at arc length s (wrapped), moving forward at the given speed.
  static Sample At(double s, float speed);
};

// A car on the track: its speed glides toward the wanted speed.
struct Car {
  static constexpr float kMinSpeed = 10.0f, kMaxSpeed = 70.0f, kAccel = 12.0f;  // m/s, m/s^2
  double s = 0;
  float speed = 30.0f, wanted = 30.0f;
  void Advance(double dt);
  void Want(float v);  // clamped to the speed range
  // The engine sample's playback ratio at the car's speed: a fixed gear, idling at half.
  float EnginePitch() const { return PitchAt(speed); }
  static float PitchAt(float v) { return 0.5f + v / kMaxSpeed; }
};

// A bee's random, smooth, closed path: distance, bearing and height wander with whole
// harmonics of one period, the bearing going round a whole number of times.
class BeePath {
 public:
  static constexpr float kMinRadius = 1.0f, kMaxRadius = 4.0f, kMaxSpeed = 9.0f;
  static constexpr double kPeriod = 24.0;
  explicit BeePath(uint32_t seed);
  Sample At(double t) const;

 private:
  double m_r0, m_r1, m_rPhase, m_turns, m_bearing, m_wobble, m_wPhase, m_lift, m_lPhase;
  int m_rHarmonic, m_wHarmonic, m_lHarmonic;
};

}  // namespace demo
