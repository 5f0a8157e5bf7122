#include "controlpanel/pages/PagePrefsRules.h"

#include <gtest/gtest.h>

namespace {

TEST(PagePrefsRulesTest, InputIndexToListPosition) {
  const int full = 7;  // "None" and six names
  EXPECT_EQ(prefs::EqListPosition(-1, full), 0);
  EXPECT_EQ(prefs::EqListPosition(0, full), 1);
  EXPECT_EQ(prefs::EqListPosition(5, full), 6);
  EXPECT_EQ(prefs::EqListPosition(9, full), 0);
  EXPECT_EQ(prefs::EqListPosition(6, full), 0);
  EXPECT_EQ(prefs::EqListPosition(-2, full), 0);
  EXPECT_EQ(prefs::EqListPosition(INT32_MAX, full), 0) << "no overflow at the top";
  EXPECT_EQ(prefs::EqListPosition(INT32_MIN, full), 0);
  // A board with two inputs has three entries: index 2 has none to select.
  EXPECT_EQ(prefs::EqListPosition(1, 3), 2);
  EXPECT_EQ(prefs::EqListPosition(2, 3), 0);
  for (int pos = 0; pos < full; ++pos) EXPECT_EQ(prefs::EqListPosition(prefs::EqInputIndex(pos), full), pos);
}

TEST(PagePrefsRulesTest, InputNamesAreBounded) {
  EXPECT_EQ(prefs::EqInputsToShow(3), 3);
  EXPECT_EQ(prefs::EqInputsToShow(6), 6);
  EXPECT_EQ(prefs::EqInputsToShow(7), 6);
  EXPECT_EQ(prefs::EqInputsToShow(255), 6);
  char name[64];
  for (char& c : name) c = 'n';
  EXPECT_EQ(prefs::EqInputName(name, sizeof name), std::string(64, 'n')) << "no zero: stops at the field's end";
  name[3] = '\0';
  EXPECT_EQ(prefs::EqInputName(name, sizeof name), "nnn");
}

TEST(PagePrefsRulesTest, RunCommandAndBoardText) {
  EXPECT_EQ(prefs::RunCommand("C:\\PROGRA~1\\RESONI~1\\"), "C:\\PROGRA~1\\RESONI~1\\ZephraCtrl.exe");
  EXPECT_EQ(prefs::BoardIdText(0x2200), "2200");
  EXPECT_EQ(prefs::BoardIdText(0x00ab), "ab");
  EXPECT_EQ(prefs::BoardIdText(0xFFFF), "ffff");
}

}  // namespace
