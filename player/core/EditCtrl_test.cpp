#include "player/core/EditCtrl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct FakeEdit : EditSink {
  std::string text;
  bool enabled = true;
  std::vector<std::string>* log = nullptr;
  const char* name = "";
  void SetText(const char* t) override {
    text = t;
    if (log) log->push_back(name);
  }
  void Enable(bool on) override { enabled = on; }
};

class EditCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    x.name = "x";
    y.name = "y";
    z.name = "z";
    x.log = y.log = z.log = &order;
    ctl.Attach(&x, &y, &z);
    ctl.SetRanges(-3.0f, 3.0f, -3.0f, 3.0f, -3.0f, 3.0f);
  }
  FakeEdit x, y, z;
  std::vector<std::string> order;
  CEditCtrl ctl;
};

TEST_F(EditCtrlTest, ClampsIntoTheRange) {
  ctl.SetX(5.0f);
  EXPECT_EQ(ctl.GetX(), 3.0f);
  EXPECT_EQ(x.text, "3.00");
  ctl.SetX(-3.5f);
  EXPECT_EQ(ctl.GetX(), -3.0f);
  EXPECT_EQ(x.text, "-3.00");
  ctl.SetZ(1e30f);
  EXPECT_EQ(z.text, "3.00");
}

TEST_F(EditCtrlTest, FormatsWithTwoDecimals) {
  ctl.SetY(1.98f);
  EXPECT_EQ(y.text, "1.98");
  ctl.SetZ(0.3f);
  EXPECT_EQ(z.text, "0.30");
  ctl.SetX(-0.004f);
  EXPECT_EQ(x.text, "-0.00");
  EXPECT_FLOAT_EQ(ctl.GetX(), -0.004f) << "the value is kept, only the text is rounded";
  ctl.SetY(-1.5f);
  EXPECT_EQ(y.text, "-1.50");
}

TEST_F(EditCtrlTest, InvertedRangeYieldsItsMin) {
  ctl.SetRange(1.0f, -1.0f, 0);
  ctl.SetX(0.0f);
  EXPECT_EQ(ctl.GetX(), 1.0f);
  EXPECT_EQ(x.text, "1.00");
}

TEST_F(EditCtrlTest, AxesOutsideZeroToTwoDoNothing) {
  float lo = 7.0f, hi = 8.0f;
  ctl.GetRange(lo, hi, 3);
  EXPECT_EQ(lo, 7.0f);
  EXPECT_EQ(hi, 8.0f);
  ctl.SetRange(-1.0f, 1.0f, 3);
  for (int axis = 0; axis < 3; ++axis) {
    ctl.GetRange(lo, hi, axis);
    EXPECT_EQ(lo, -3.0f);
    EXPECT_EQ(hi, 3.0f);
  }
  ctl.SetPosition(1.0f, 2.0f, -2.5f);
  EXPECT_EQ(ctl.GetValue(3), 0.0f);
  EXPECT_EQ(ctl.GetValue(-1), 0.0f);
  EXPECT_EQ(ctl.GetValue(2), -2.5f);
  ctl.SetRange(-1.0f, 1.0f, 1);
  ctl.GetRange(lo, hi, 1);
  EXPECT_EQ(lo, -1.0f);
  EXPECT_EQ(hi, 1.0f);
}

TEST_F(EditCtrlTest, SetPositionShowsAllThreeXFirst) {
  ctl.SetPosition(-2.0f, 0.0f, 4.0f);
  EXPECT_EQ(order, (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(x.text, "-2.00");
  EXPECT_EQ(y.text, "0.00");
  EXPECT_EQ(z.text, "3.00");
  EXPECT_EQ(ctl.GetZ(), 3.0f);
}

TEST_F(EditCtrlTest, EnableReachesAllThree) {
  ctl.EnableWindow(false);
  EXPECT_FALSE(x.enabled || y.enabled || z.enabled);
  ctl.EnableWindow(true);
  EXPECT_TRUE(x.enabled && y.enabled && z.enabled);
}

TEST(EditCtrlUnattached, StoresWithoutEdits) {
  CEditCtrl ctl;  // ranges 0..0 after construction
  ctl.SetX(2.0f);
  EXPECT_EQ(ctl.GetX(), 0.0f);
  ctl.EnableWindow(false);
}

}  // namespace
