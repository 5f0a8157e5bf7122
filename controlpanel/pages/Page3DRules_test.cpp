#include "controlpanel/pages/Page3DRules.h"

#include <gtest/gtest.h>

#include "shared/names/Names.h"

namespace {

TEST(Page3DRulesTest, ButtonImageIsTenPixelsNarrower) {
  EXPECT_EQ(demos::ButtonImageWidth(90), 80);
}

TEST(Page3DRulesTest, DemosRunFromTheirFolderBesideThePanel) {
  const demos::Launch card = demos::DemoLaunch("C:\\CARD\\", ZEPHRA_DEMO_HELICOPTER);
  EXPECT_EQ(card.directory, "C:\\CARD\\demos\\");
  EXPECT_EQ(card.program, "C:\\CARD\\demos\\Rotorix.exe");
  EXPECT_EQ(demos::DemoLaunch("C:\\PROGRA~1\\RESONI~1\\", ZEPHRA_DEMO_PLAYER).program,
            "C:\\PROGRA~1\\RESONI~1\\demos\\TrivoxPlay.exe");
  // A root directory, no drive, and a trailing file name the split drops.
  EXPECT_EQ(demos::DemoLaunch("D:\\", ZEPHRA_DEMO_BEES).program, "D:\\demos\\Buzzfield.exe");
  EXPECT_EQ(demos::DemoLaunch("\\\\srv\\share\\", ZEPHRA_DEMO_RACE).directory, "\\\\srv\\share\\demos\\");
  EXPECT_EQ(demos::DemoLaunch("C:\\CARD\\ZephraCtrl.exe", ZEPHRA_DEMO_RACE).program, "C:\\CARD\\demos\\Lapline.exe");
}

}  // namespace
