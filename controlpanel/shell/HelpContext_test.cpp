#include "controlpanel/shell/HelpContext.h"

#include <gtest/gtest.h>

TEST(HelpContext, NoSheetOpensTheContents) {
  EXPECT_EQ(HelpContextFor(false, false, 2), 100);
  EXPECT_EQ(HelpContextFor(false, true, 0), 100);
}

TEST(HelpContext, EachPageKeepsItsContextOnBothFamilies) {
  // Windows 95/98: Config, Trivox Demos, MIDI, Preferences.
  EXPECT_EQ(HelpContextFor(true, false, 0), 3002);
  EXPECT_EQ(HelpContextFor(true, false, 1), 3003);
  EXPECT_EQ(HelpContextFor(true, false, 2), 3004);
  EXPECT_EQ(HelpContextFor(true, false, 3), 3005);
  // NT: MIDI, Preferences.
  EXPECT_EQ(HelpContextFor(true, true, 0), 3004);
  EXPECT_EQ(HelpContextFor(true, true, 1), 3005);
}

TEST(HelpContext, IndicesOutsideTheSheetOpenTheContents) {
  EXPECT_EQ(HelpContextFor(true, false, 4), 100);
  EXPECT_EQ(HelpContextFor(true, false, -1), 100);
  EXPECT_EQ(HelpContextFor(true, true, 2), 100);
  EXPECT_EQ(HelpContextFor(true, true, -1), 100);
}
