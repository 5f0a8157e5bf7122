#include "player/core/PlayerLogic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

TEST(Motion, AQuarterTurnTakes50TicksAndACycleIs201Ticks) {
  SourceMotion m;
  m.moving = 1;
  m.restart = 1;
  ASSERT_TRUE(AdvanceMotion(m));
  EXPECT_EQ(m.angle, m.step) << "the first tick after a restart is one step past the start";
  // Round the circle from the left: front at tick 50, right at 100, back at 150.
  const Point3 quarters[] = {{0.0f, 0.0f, 1.98f}, {1.98f, 0.0f, 0.0f}, {0.0f, 0.0f, -1.98f}};
  for (int tick = 2; tick <= 200; ++tick) {
    AdvanceMotion(m);
    if (tick % 50 || tick == 200) continue;
    const Point3 p = PathPoint(kPathClockwise, m.angle), q = quarters[tick / 50 - 1];
    EXPECT_NEAR(p.x, q.x, 1e-3) << "tick " << tick;
    EXPECT_NEAR(p.z, q.z, 1e-3) << "tick " << tick;
  }
  EXPECT_NEAR(m.angle, 6.2831938, 1e-5) << "200 steps end just past a full turn";
  AdvanceMotion(m);
  EXPECT_EQ(m.angle, 0.0f) << "tick 201 is back at the start";
  AdvanceMotion(m);
  EXPECT_EQ(m.angle, m.step);
}

TEST(Motion, RestartAndStoppedSources) {
  SourceMotion m;
  m.angle = 2.0f;
  EXPECT_FALSE(AdvanceMotion(m));
  EXPECT_EQ(m.angle, 2.0f) << "a source that does not move keeps its angle";
  m.restart = 1;
  EXPECT_FALSE(AdvanceMotion(m));
  EXPECT_EQ(m.angle, 0.0f);
  EXPECT_EQ(m.restart, 0);
}

TEST(Motion, PathStartsAndQuarterTurns) {
  const float half = static_cast<float>(M_PI / 2);
  Point3 p = PathPoint(kPathClockwise, 0.0f);
  EXPECT_FLOAT_EQ(p.x, -1.98f);
  EXPECT_EQ(p.y, 0.0f);
  EXPECT_NEAR(p.z, 0.0f, 1e-6);
  p = PathPoint(kPathClockwise, half);
  EXPECT_NEAR(p.x, 0.0f, 1e-6);
  EXPECT_EQ(p.y, 0.0f);
  EXPECT_FLOAT_EQ(p.z, 1.98f);

  p = PathPoint(kPathOverheadLR, half);
  EXPECT_NEAR(p.x, 0.0f, 1e-6);
  EXPECT_FLOAT_EQ(p.y, 1.98f) << "over the head";
  EXPECT_EQ(p.z, 0.0f);

  p = PathPoint(kPathOverheadFB, 0.0f);
  EXPECT_FLOAT_EQ(p.z, 1.98f) << "starts in front";
  p = PathPoint(kPathOverheadFB, static_cast<float>(M_PI));
  EXPECT_FLOAT_EQ(p.z, -1.98f);
  EXPECT_NEAR(p.y, 0.0f, 1e-6);

  p = PathPoint(kPathBounceRFLB, 0.0f);
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_FLOAT_EQ(p.z, 0.3f);
  p = PathPoint(kPathBounceRFLB, half);
  EXPECT_FLOAT_EQ(p.x, 1.98f);
  EXPECT_FLOAT_EQ(p.z, 2.28f);
  p = PathPoint(kPathBounceRFLB, 3 * half);
  EXPECT_FLOAT_EQ(p.x, -1.98f);
  EXPECT_FLOAT_EQ(p.z, -1.68f);
}

TEST(Motion, EveryPointOfACycleLiesOnItsPath) {
  SourceMotion m;
  m.moving = 1;
  m.restart = 1;
  for (int tick = 0; tick < 201; ++tick) {
    AdvanceMotion(m);
    Point3 c = PathPoint(kPathClockwise, m.angle);
    EXPECT_NEAR(std::hypot(c.x, c.z), 1.98, 1e-5);
    EXPECT_EQ(c.y, 0.0f);
    Point3 lr = PathPoint(kPathOverheadLR, m.angle);
    EXPECT_NEAR(std::hypot(lr.x, lr.y), 1.98, 1e-5);
    EXPECT_EQ(lr.z, 0.0f);
    Point3 fb = PathPoint(kPathOverheadFB, m.angle);
    EXPECT_NEAR(std::hypot(fb.y, fb.z), 1.98, 1e-5);
    EXPECT_EQ(fb.x, 0.0f);
    Point3 b = PathPoint(kPathBounceRFLB, m.angle);
    EXPECT_NEAR(b.z, b.x + 0.3f, 1e-6) << "tick " << tick;
    EXPECT_EQ(b.y, 0.0f);
    EXPECT_LE(std::fabs(b.x), 1.98f);
  }
}

TEST(Motion, UnknownPathStaysAtTheCentre) {
  Point3 p = PathPoint(7, 1.0f);
  EXPECT_EQ(p, (Point3{0, 0, 0}));
}

TEST(ViewMapping, RoomToViewToPixels) {
  Point3 v = ViewPointOf({-2.0f, 0.0f, 0.0f});
  EXPECT_FLOAT_EQ(v.x, -2.0f / 3);
  EXPECT_EQ(v.y, 0.0f);  // -0 * z
  v = ViewPointOf({0.0f, 3.0f, 3.0f});
  EXPECT_FLOAT_EQ(v.y, -1.0f) << "the front is at the top";
  EXPECT_FLOAT_EQ(v.z, 1.0f);

  // Odd sizes halve with integer division.
  EXPECT_EQ(PixelX(263, -1.0f), 0.0f);
  EXPECT_EQ(PixelX(263, 1.0f), 262.0f);
  EXPECT_EQ(PixelX(263, 0.0f), 131.0f);
  EXPECT_EQ(PixelY(241, -1.0f), 0.0f);
  EXPECT_EQ(PixelY(241, 0.0f), 120.0f);
}

TEST(ViewMapping, DotDiametersRunFrom11To22Point4) {
  EXPECT_FLOAT_EQ(DotDiameter(-1.0f), 11.0f);
  EXPECT_FLOAT_EQ(DotDiameter(0.0f), 16.7f);
  EXPECT_FLOAT_EQ(DotDiameter(1.0f), 22.4f);
  EXPECT_EQ(static_cast<int>(DotDiameter(1.0f)), 22) << "pen width";
  // y = 3 in the room becomes the highest dot.
  EXPECT_FLOAT_EQ(DotDiameter(ViewPointOf({0, 3.0f, 0}).z), 22.4f);
}

TEST(ViewMapping, DragsComeBackAsRoomPositions) {
  Point3 p = RoomFromNormalised({1.0f, 0.0f, 0.5f});
  EXPECT_FLOAT_EQ(p.x, 3.0f) << "right edge";
  EXPECT_FLOAT_EQ(p.y, 1.5f);
  EXPECT_FLOAT_EQ(p.z, 3.0f) << "top edge is the front";
  p = RoomFromNormalised({0.5f, 0.5f, -1.0f});
  EXPECT_EQ(p, (Point3{0.0f, -3.0f, 0.0f}));
  // Round trip through the view for a point in the room.
  Point3 room{-1.5f, 0.0f, 0.75f};
  Point3 v = ViewPointOf(room);
  Point3 n{PixelX(200, v.x) / 200, PixelY(200, v.y) / 200, v.z};
  Point3 back = RoomFromNormalised(n);
  EXPECT_NEAR(back.x, room.x, 1e-5);
  EXPECT_NEAR(back.z, room.z, 1e-5);
}

TEST(Slider, HeightRule) {
  EXPECT_FLOAT_EQ(HeightFromSlider(150), -1.5f);
  EXPECT_FLOAT_EQ(HeightFromSlider(-300), 3.0f);
  EXPECT_FLOAT_EQ(HeightFromSlider(300), -3.0f);
  EXPECT_EQ(SliderPosFromHeight(0.0f), 0);
  EXPECT_EQ(SliderPosFromHeight(-1.5f), 150);
  EXPECT_EQ(SliderPosFromHeight(1.98f), -198);
  EXPECT_EQ(SliderPosFromHeight(0.019f), -1) << "truncates toward zero";
  EXPECT_EQ(SliderPosFromHeight(-0.019f), 1);
  EXPECT_EQ(SliderPosFromHeight(NAN), -1000000) << "no undefined conversion";
}

TEST(Drag, VelocityIsTheChangePerTickTimes20) {
  Point3 v = DragVelocity({1.0f, 0.5f, -1.0f}, {0.5f, 0.5f, -0.5f});
  EXPECT_FLOAT_EQ(v.x, 10.0f);
  EXPECT_EQ(v.y, 0.0f);
  EXPECT_FLOAT_EQ(v.z, -10.0f);
  EXPECT_EQ(DragVelocity({1, 2, 3}, {1, 2, 3}), (Point3{0, 0, 0}));
}

TEST(Drag, HeightStepsAreClamped) {
  float h = -1.0f;
  for (int i = 0; i < 200; ++i) h = StepHeight(h, true);
  EXPECT_NEAR(h, 1.0f, 1e-4);
  EXPECT_EQ(StepHeight(1.0f, true), 1.0f);
  EXPECT_EQ(StepHeight(-1.0f, false), -1.0f);
  EXPECT_FLOAT_EQ(StepHeight(0.5f, false), 0.49f);
}

TEST(WaveListTest, AddFindCaseAndLimit) {
  WaveList list;
  bool added = false;
  EXPECT_EQ(list.Add("C:\\w\\a.wav", &added), 0);
  EXPECT_TRUE(added);
  EXPECT_EQ(list.Add("C:\\w\\a.wav", &added), 0);
  EXPECT_FALSE(added) << "the same full path is not added twice";
  EXPECT_EQ(list.Add("C:\\W\\a.wav", &added), 1) << "case counts";
  EXPECT_TRUE(added);
  for (int i = 2; i < WaveList::kMax; ++i) EXPECT_EQ(list.Add(("C:\\f" + std::to_string(i)).c_str(), &added), i);
  EXPECT_EQ(list.Count(), 50);
  EXPECT_EQ(list.Add("C:\\one-too-many.wav", &added), -1);
  EXPECT_FALSE(added);
  EXPECT_EQ(list.Count(), 50);
  EXPECT_EQ(list.Add("C:\\f7", &added), 7) << "a full list still finds its entries";
  EXPECT_STREQ(list.Path(1), "C:\\W\\a.wav");
  EXPECT_STREQ(list.Path(50), "");
  EXPECT_STREQ(list.Path(-1), "");
}

TEST(WaveListTest, OverlongPathIsRefusedNotCut) {
  WaveList list;
  bool added = true;
  std::string longPath(300, 'a');
  EXPECT_EQ(list.Add(longPath.c_str(), &added), -1);
  EXPECT_FALSE(added);
  EXPECT_EQ(list.Count(), 0);
  std::string fits(255, 'b');
  EXPECT_EQ(list.Add(fits.c_str(), &added), 0);
  EXPECT_EQ(std::strlen(list.Path(0)), 255u);
}

TEST(WaveListTest, BareFileName) {
  EXPECT_STREQ(BareFileName("C:\\sounds\\Blue One.wav"), "Blue One.wav");
  EXPECT_STREQ(BareFileName("Z:/tmp/x.wav"), "x.wav");
  EXPECT_STREQ(BareFileName("x.wav"), "x.wav");
  EXPECT_STREQ(BareFileName("C:x.wav"), "x.wav");
}

}  // namespace
