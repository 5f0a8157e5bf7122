#include "player/core/RoomState.h"

#include <gtest/gtest.h>

namespace {

// A 200 x 180 view with Blue at the left and Red at the right, as the dialog starts.
class Room : public ::testing::Test {
 protected:
  void SetUp() override {
    room.Create(200, 180);
    Point3 blue = ViewPointOf({-2.0f, 0.0f, 0.0f}), red = ViewPointOf({2.0f, 0.0f, 0.0f});
    ASSERT_TRUE(room.Place(0, &blue));
    ASSERT_TRUE(room.Place(1, &red));
  }
  RoomState room;
  int source = -1;
  Point3 n{};
};

TEST_F(Room, PlacementMapsToPixels) {
  EXPECT_NEAR(room.Pixel(0).x, 100.0f / 3, 1e-4);
  EXPECT_EQ(room.Pixel(0).y, 90.0f);
  EXPECT_FLOAT_EQ(room.Pixel(0).z, 16.7f);
  EXPECT_EQ(room.DragIndex(), 1) << "each placement sets the drag index";
  EXPECT_FALSE(room.Place(0, nullptr));
  EXPECT_EQ(room.DragIndex(), 0);
  EXPECT_FALSE(room.Place(2, nullptr));
}

TEST_F(Room, ClickWithoutMovingJumpsButReportsNothing) {
  ASSERT_EQ(room.LeftDown(40, 95), RoomState::Press::Hit);
  EXPECT_EQ(room.Pixel(0).x, 40.0f);
  EXPECT_EQ(room.Pixel(0).y, 95.0f);
  EXPECT_FALSE(room.MouseMove(40, 95, &source, &n));
  EXPECT_TRUE(room.LeftUp());
  EXPECT_FALSE(room.LeftDragging());
}

TEST_F(Room, MissIsNoDrag) {
  EXPECT_EQ(room.LeftDown(100, 10), RoomState::Press::Missed);
  EXPECT_FALSE(room.LeftDragging());
  EXPECT_FALSE(room.MouseMove(120, 20, &source, &n));
}

TEST_F(Room, HitSquareReachesOneDiameter) {
  // Blue's centre is at (33, 90) truncated, diameter 16.
  EXPECT_EQ(room.LeftDown(33 + 16, 90 - 16), RoomState::Press::Hit);
  room.LeftUp();
  Point3 blue = ViewPointOf({-2.0f, 0.0f, 0.0f});
  room.Place(0, &blue);
  EXPECT_EQ(room.LeftDown(33 + 17, 90), RoomState::Press::Missed);
}

TEST_F(Room, LeftDragReportsClampedNormalisedPoints) {
  ASSERT_EQ(room.LeftDown(34, 90), RoomState::Press::Hit);
  ASSERT_TRUE(room.MouseMove(500, -40, &source, &n));
  EXPECT_EQ(source, 0);
  EXPECT_EQ(n.x, 1.0f) << "beyond the right edge";
  EXPECT_EQ(n.y, 0.0f) << "beyond the top edge";
  EXPECT_EQ(n.z, 0.0f);
  Point3 p = RoomFromNormalised(n);
  EXPECT_EQ(p.x, 3.0f);
  EXPECT_EQ(p.z, 3.0f);
  EXPECT_FALSE(room.MouseMove(600, -50, &source, &n)) << "the same clamped place again";
  ASSERT_TRUE(room.MouseMove(100, 45, &source, &n));
  EXPECT_EQ(n.x, 0.5f);
  EXPECT_EQ(n.y, 0.25f);
}

TEST_F(Room, OverlappingDotsDragRed) {
  Point3 both = ViewPointOf({0.0f, 0.0f, 0.0f});
  room.Place(0, &both);
  room.Place(1, &both);
  ASSERT_EQ(room.LeftDown(105, 92), RoomState::Press::Hit);
  EXPECT_EQ(room.DragIndex(), 1);
  EXPECT_EQ(room.Pixel(0).x, 105.0f) << "Blue jumps to the pointer too";
  ASSERT_TRUE(room.MouseMove(150, 92, &source, &n));
  EXPECT_EQ(source, 1);
  EXPECT_EQ(room.Pixel(0).x, 105.0f);
}

TEST_F(Room, DrawOrderPutsTheHigherDotOnTop) {
  EXPECT_EQ(room.FirstDrawn(), 0) << "equal heights: Red on top";
  Point3 highBlue = ViewPointOf({-2.0f, 2.0f, 0.0f});
  room.Place(0, &highBlue);
  EXPECT_EQ(room.FirstDrawn(), 1);
}

TEST_F(Room, RightDragStepsTheHeightOnePerMove) {
  Point3 low = ViewPointOf({-2.0f, -3.0f, 0.0f});
  room.Place(0, &low);
  ASSERT_EQ(room.RightDown(34, 90), RoomState::Press::Hit);
  ASSERT_FALSE(room.MouseMove(34, 90, &source, &n)) << "no vertical change";
  // Jumps of any size are one step each.
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(room.MouseMove(34, 89 - 2 * i, &source, &n));
  EXPECT_NEAR(room.HeightValue(0), 1.0f, 1e-4);
  EXPECT_NEAR(room.Pixel(0).z, 22.4f, 1e-3);
  EXPECT_EQ(static_cast<int>(room.Pixel(0).z + 1e-4f), 22);
  EXPECT_NEAR(n.z, 1.0f, 1e-4);
  EXPECT_NEAR(n.x, 34.0f / 200, 1e-6) << "the place stays where the press put it";
  EXPECT_TRUE(room.RightUp());
}

TEST_F(Room, RightDragDownwardsLowersAndClamps) {
  ASSERT_EQ(room.RightDown(167, 90), RoomState::Press::Hit);
  ASSERT_TRUE(room.MouseMove(167, 91, &source, &n));
  EXPECT_EQ(source, 1);
  EXPECT_FLOAT_EQ(n.z, -0.01f);
  for (int i = 0; i < 150; ++i) room.MouseMove(167, 92 + i, &source, &n);
  EXPECT_EQ(n.z, -1.0f);
  EXPECT_FLOAT_EQ(room.Pixel(1).z, 11.0f);
}

TEST_F(Room, MovingSourcesRefuseBothDrags) {
  room.BeginAnimation();
  EXPECT_EQ(room.LeftDown(34, 90), RoomState::Press::Refused);
  EXPECT_EQ(room.RightDown(34, 90), RoomState::Press::Refused);
  EXPECT_FALSE(room.LeftUp());
  EXPECT_FALSE(room.RightUp());
  EXPECT_EQ(room.Pixel(0).x, room.Pixel(0).x);
  EXPECT_NEAR(room.Pixel(0).x, 100.0f / 3, 1e-4) << "a refused press moves nothing";
  EXPECT_EQ(room.EndAnimation(), 0);
  EXPECT_EQ(room.LeftDown(34, 90), RoomState::Press::Hit);
}

TEST_F(Room, OneKindOfDragBlocksTheOther) {
  ASSERT_EQ(room.LeftDown(34, 90), RoomState::Press::Hit);
  EXPECT_EQ(room.RightDown(167, 90), RoomState::Press::Refused);
  EXPECT_FALSE(room.RightUp());
  EXPECT_TRUE(room.LeftDragging());
  EXPECT_TRUE(room.LeftUp());
  EXPECT_EQ(room.RightDown(167, 90), RoomState::Press::Hit);
  EXPECT_EQ(room.LeftDown(34, 90), RoomState::Press::Refused);
  EXPECT_FALSE(room.LeftUp());
  EXPECT_TRUE(room.RightUp());
}

TEST_F(Room, DragThatOutlivesAMotionStartStillEnds) {
  ASSERT_EQ(room.LeftDown(34, 90), RoomState::Press::Hit);
  room.BeginAnimation();
  EXPECT_TRUE(room.LeftUp());
  EXPECT_FALSE(room.LeftDragging());
}

TEST_F(Room, AnimationCountNeverGoesBelowZero) {
  EXPECT_EQ(room.EndAnimation(), 0);
  EXPECT_EQ(room.GetAnimationCount(), 0);
  room.BeginAnimation();
  room.BeginAnimation();
  EXPECT_EQ(room.EndAnimation(), 1);
  EXPECT_EQ(room.GetAnimationCount(), 1);
}

TEST(RoomEmpty, ZeroSizedViewReportsNoInfinities) {
  RoomState room;
  room.Create(0, 0);
  Point3 v{0, 0, 0};
  room.Place(0, &v);
  ASSERT_EQ(room.LeftDown(0, 0), RoomState::Press::Hit);
  int s;
  Point3 n;
  EXPECT_FALSE(room.MouseMove(10, 10, &s, &n)) << "clamped to the empty view";
}

}  // namespace
