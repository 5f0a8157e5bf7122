#include "player/demos/common/Motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace demo {
namespace {

double Dist(const Point3& a, const Point3& b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); }
double Len(const Point3& v) { return std::hypot(v.x, v.y, v.z); }

// A path is closed when it ends where it began, and smooth when its stated velocity is
// the slope of its positions everywhere (no jumps, no kinks, and what Doppler is fed
// is the true motion). Returns the speeds seen.
void ExpectClosedAndSmooth(const std::function<Sample(double)>& at, double period, double* lo, double* hi) {
  EXPECT_LT(Dist(at(0).pos, at(period).pos), 1e-3);
  EXPECT_LT(Dist(at(0).vel, at(period).vel), 1e-3);
  *lo = 1e9;
  *hi = 0;
  const double h = 1e-3;
  for (double t = 0; t < period; t += period / 2000) {
    const Sample a = at(t - h), b = at(t + h), s = at(t);
    const Point3 slope = {float((b.pos.x - a.pos.x) / (2 * h)), float((b.pos.y - a.pos.y) / (2 * h)),
                          float((b.pos.z - a.pos.z) / (2 * h))};
    ASSERT_LT(Dist(slope, s.vel), 0.02 * (1 + Len(s.vel))) << "t = " << t;
    *lo = std::min(*lo, Len(s.vel));
    *hi = std::max(*hi, Len(s.vel));
  }
}

TEST(DemoMotion, HelicopterCirclesAtItsSpeedAndPassesOverTheListener) {
  HeliPath heli;
  double lo, hi;
  ExpectClosedAndSmooth([&](double t) { return heli.At(t); }, heli.Period(), &lo, &hi);
  EXPECT_NEAR(lo, HeliPath::kSpeed, 1e-3);
  EXPECT_NEAR(hi, HeliPath::kSpeed, 1e-3);
  const Sample start = heli.At(0);
  EXPECT_NEAR(std::hypot(start.pos.x, start.pos.z), 0.0, 1e-4) << "overhead";
  EXPECT_GT(heli.At(heli.Period() / 4).pos.x, 0) << "then on the right";
  EXPECT_LT(heli.At(heli.Period() * 3 / 4).pos.x, 0) << "and on the left";
  heli.SetCentre(100, -5);
  EXPECT_EQ(heli.CentreX(), HeliPath::kMaxCentre);
  EXPECT_NEAR(heli.At(0).pos.z, -5 - HeliPath::kRadius, 1e-4);
}

TEST(DemoMotion, TrackIsAClosedOvalAroundTheListener) {
  double lo, hi;
  ExpectClosedAndSmooth([](double t) { return Track::At(t * 30, 30); }, Track::Length() / 30, &lo, &hi);
  EXPECT_NEAR(lo, 30, 1e-3);
  EXPECT_NEAR(hi, 30, 1e-3);
  // Nearest at the middle of each straight, one on either side.
  EXPECT_NEAR(Track::At(Track::kHalfStraight, 30).pos.x, Track::kTurnRadius, 1e-4);
  EXPECT_NEAR(Track::At(Track::kHalfStraight, 30).pos.z, 0, 1e-4);
  EXPECT_LT(Track::At(Track::Length() / 2 + Track::kHalfStraight, 30).pos.x, 0);
}

TEST(DemoMotion, CarSpeedGlidesWithinItsRangeAndPitchFollowsIt) {
  Car car;
  car.Want(500);
  EXPECT_EQ(car.wanted, Car::kMaxSpeed);
  car.Advance(1.0);
  EXPECT_NEAR(car.speed, 30 + Car::kAccel, 1e-4) << "no jump to the wanted speed";
  const float before = car.EnginePitch();
  for (int i = 0; i < 200; ++i) car.Advance(0.05);
  EXPECT_EQ(car.speed, Car::kMaxSpeed);
  EXPECT_GT(car.EnginePitch(), before);
  car.Want(0);
  for (int i = 0; i < 200; ++i) car.Advance(0.05);
  EXPECT_EQ(car.speed, Car::kMinSpeed);
  EXPECT_GE(car.s, 0);
  EXPECT_LT(car.s, Track::Length());
}

TEST(DemoMotion, BeesStayOutsideTheHeadAndWithinTheirSpeed) {
  for (uint32_t bee = 0; bee < 256; ++bee) {
    BeePath path(bee);
    double lo, hi;
    ExpectClosedAndSmooth([&](double t) { return path.At(t); }, BeePath::kPeriod, &lo, &hi);
    EXPECT_LE(hi, BeePath::kMaxSpeed) << bee;
    for (double t = 0; t < BeePath::kPeriod; t += 0.01) {
      const double r = Len(path.At(t).pos);
      ASSERT_GT(r, kHeadRadius) << bee;
      ASSERT_GE(r, BeePath::kMinRadius - 1e-3) << bee;
      ASSERT_LE(r, BeePath::kMaxRadius + 1e-3) << bee;
    }
  }
  EXPECT_GT(Dist(BeePath(1).At(0).pos, BeePath(2).At(0).pos), 0.1) << "each bee its own path";
}

TEST(DemoMotion, DopplerRaisesTheApproachAndLowersTheRetreat) {
  const Sample coming{{0, 0, 10}, {0, 0, -34.33f}}, going{{0, 0, 10}, {0, 0, 34.33f}}, across{{0, 0, 10}, {30, 0, 0}};
  EXPECT_NEAR(DopplerRatio(coming), 1 / 0.9, 1e-4);
  EXPECT_NEAR(DopplerRatio(going), 1 / 1.1, 1e-4);
  EXPECT_NEAR(DopplerRatio(across), 1.0, 1e-6);
}

}  // namespace
}  // namespace demo
