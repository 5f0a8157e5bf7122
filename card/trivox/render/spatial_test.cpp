#include "spatial.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trivox {
namespace {

constexpr float kPi = 3.14159265358979f;

TEST(GainLaws, MillibelsFollowTheDecibelScaleDownToSilence) {
  EXPECT_FLOAT_EQ(millibelsToGain(0), 1.0f);
  EXPECT_NEAR(millibelsToGain(-600), 0.501187f, 1e-5f);
  EXPECT_NEAR(millibelsToGain(-2000), 0.1f, 1e-6f);
  EXPECT_EQ(millibelsToGain(-10000), 0.0f);
  EXPECT_EQ(millibelsToGain(-20000), 0.0f);
  EXPECT_FLOAT_EQ(millibelsToGain(500), 1.0f);  // no gain above unity
}

TEST(GainLaws, DistanceLawWithRolloffAndClamps) {
  for (float rolloff : {0.0f, 0.5f, 1.0f, 3.0f}) {
    for (float k : {1.0f, 2.0f, 4.0f, 8.0f}) {
      const float minD = 1.5f;
      EXPECT_NEAR(distanceGain(k * minD, minD, 100.0f, rolloff), minD / (minD + rolloff * (k * minD - minD)), 1e-6f);
    }
  }
  EXPECT_FLOAT_EQ(distanceGain(0.2f, 1.0f, 10.0f, 1.0f), 1.0f);        // inside min
  EXPECT_FLOAT_EQ(distanceGain(50.0f, 1.0f, 10.0f, 1.0f), 0.1f);       // held at max
  EXPECT_FLOAT_EQ(distanceGain(5.0f, 2.0f, 1.0f, 1.0f), 1.0f);         // max below min
}

TEST(GainLaws, ConeInterpolatesBetweenInsideAndOutside) {
  EXPECT_FLOAT_EQ(coneGain(170.0f, 360, 360, -10000), 1.0f);
  EXPECT_FLOAT_EQ(coneGain(20.0f, 60, 120, -2000), 1.0f);
  EXPECT_NEAR(coneGain(45.0f, 60, 120, -2000), millibelsToGain(-1000), 1e-4f);
  EXPECT_NEAR(coneGain(90.0f, 60, 120, -2000), 0.1f, 1e-5f);
  EXPECT_NEAR(coneGain(10.0f, 0, 0, -1000), millibelsToGain(-1000), 1e-5f);
}

TEST(Doppler, ApproachAndRecessionFromEitherSide) {
  const Vec3 u{1, 0, 0};  // source to the right
  const float c = kSpeedOfSound;
  // Source coming towards the listener at 20 m/s.
  EXPECT_NEAR(dopplerPitch(u, {}, {-20, 0, 0}, 1, 1), c / (c - 20), 1e-5f);
  EXPECT_NEAR(dopplerPitch(u, {}, {20, 0, 0}, 1, 1), c / (c + 20), 1e-5f);
  // Listener moving towards the source.
  EXPECT_NEAR(dopplerPitch(u, {20, 0, 0}, {}, 1, 1), (c + 20) / c, 1e-5f);
  // Doppler factor scales the velocities; distance factor the units.
  EXPECT_NEAR(dopplerPitch(u, {}, {-10, 0, 0}, 2, 1), c / (c - 20), 1e-5f);
  EXPECT_NEAR(dopplerPitch(u, {}, {-20, 0, 0}, 1, 0.5f), (2 * c) / (2 * c - 20), 1e-5f);
  // Sideways motion changes nothing; zero factor switches it off.
  EXPECT_FLOAT_EQ(dopplerPitch(u, {}, {0, 0, 30}, 1, 1), 1.0f);
  EXPECT_FLOAT_EQ(dopplerPitch(u, {}, {-100, 0, 0}, 0, 1), 1.0f);
  // Supersonic approach stays finite.
  const float p = dopplerPitch(u, {}, {-1000, 0, 0}, 1, 1);
  EXPECT_TRUE(std::isfinite(p));
  EXPECT_LE(p, kMaxPitch);
}

TEST(Placement, DirectionsInTheLeftHandedFrame) {
  ListenerState l;
  Source3D s;
  s.position = {2, 0, 0};
  Placement p = place(l, s);
  EXPECT_NEAR(p.azimuth, kPi / 2, 1e-5f);
  EXPECT_NEAR(p.elevation, 0, 1e-5f);
  EXPECT_NEAR(p.distance, 2, 1e-5f);
  EXPECT_NEAR(p.gain, 0.5f, 1e-5f);
  s.position = {-2, 0, 0};
  EXPECT_NEAR(place(l, s).azimuth, -kPi / 2, 1e-5f);
  s.position = {0, 3, 0};
  EXPECT_NEAR(place(l, s).elevation, kPi / 2, 1e-5f);
  s.position = {0, 0, -1};
  EXPECT_NEAR(std::fabs(place(l, s).azimuth), kPi, 1e-5f);

  // The listener turned to face +x: a source at +x is straight ahead, one at +z on the left.
  l.front = {1, 0, 0};
  s.position = {5, 0, 0};
  EXPECT_NEAR(place(l, s).azimuth, 0, 1e-5f);
  s.position = {0, 0, 5};
  EXPECT_NEAR(place(l, s).azimuth, -kPi / 2, 1e-5f);
  // Moving the listener moves the frame.
  l = ListenerState{};
  l.position = {1, 0, 1};
  s.position = {1, 0, 3};
  EXPECT_NEAR(place(l, s).azimuth, 0, 1e-5f);
  EXPECT_NEAR(place(l, s).distance, 2, 1e-5f);
}

TEST(Placement, HeadRelativeIgnoresTheListenerAndDisabledIsCentred) {
  ListenerState l;
  l.position = {10, 0, 10};
  l.front = {-1, 0, 0};
  l.velocity = {50, 0, 0};
  Source3D s;
  s.mode = Mode3D::HeadRelative;
  s.position = {0, 0, 2};
  Placement p = place(l, s);
  EXPECT_NEAR(p.azimuth, 0, 1e-5f);
  EXPECT_NEAR(p.distance, 2, 1e-5f);
  EXPECT_FLOAT_EQ(p.pitch, 1.0f);  // the listener's motion carries the source along
  s.mode = Mode3D::Disabled;
  p = place(l, s);
  EXPECT_TRUE(p.centred);
  EXPECT_FLOAT_EQ(p.gain, 1.0f);
  EXPECT_FLOAT_EQ(p.pitch, 1.0f);
}

TEST(Placement, ConeFacesAwayAndMuteAtMaxDistance) {
  ListenerState l;
  Source3D s;
  s.position = {0, 0, 1};
  s.coneInside = 90;
  s.coneOutside = 180;
  s.coneOutsideVolume = -2000;
  s.coneOrientation = {0, 0, -1};  // pointing at the listener
  EXPECT_NEAR(place(l, s).gain, 1.0f, 1e-5f);
  s.coneOrientation = {0, 0, 1};  // pointing away
  EXPECT_NEAR(place(l, s).gain, 0.1f, 1e-5f);
  s.coneOrientation = {1, 0, 0};  // sideways: 90 deg, the outer edge
  EXPECT_NEAR(place(l, s).gain, 0.1f, 1e-4f);
  s.coneOrientation = {1, 0, -1};  // 45 deg: the inner edge
  EXPECT_NEAR(place(l, s).gain, 1.0f, 1e-4f);

  Source3D far;
  far.position = {0, 0, 20};
  far.maxDistance = 10;
  EXPECT_NEAR(place(l, far).gain, 0.1f, 1e-5f);
  far.muteAtMaxDistance = true;
  EXPECT_EQ(place(l, far).gain, 0.0f);
}

TEST(Placement, DegenerateInputStaysFinite) {
  ListenerState l;
  l.front = {0, 0, 0};
  l.top = {0, 0, 0};
  Source3D s;
  s.position = {1, 1, 1};
  Placement p = place(l, s);
  EXPECT_TRUE(std::isfinite(p.azimuth));
  EXPECT_TRUE(std::isfinite(p.gain));
  s.position = {0, 0, 0};
  p = place(ListenerState{}, s);
  EXPECT_TRUE(p.centred);
  EXPECT_FLOAT_EQ(p.gain, 1.0f);
  s.position = {NAN, 0, 0};
  p = place(ListenerState{}, s);
  EXPECT_TRUE(std::isfinite(p.gain));
}

}  // namespace
}  // namespace trivox
