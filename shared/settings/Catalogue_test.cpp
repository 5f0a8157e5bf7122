#include "shared/settings/Catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

using namespace catalogue;

TEST(Catalogue, PreferencesKeyIsUnderControlKey) {
  EXPECT_EQ(std::string(kUserPreferences.path), std::string(kUserControl.path) + "\\" + kPreferencesSubKey);
  EXPECT_EQ(kUserControl.root, Root::CurrentUser);
  EXPECT_EQ(kUserPreferences.root, Root::CurrentUser);
  for (const Key* k : {&kInstall, &kSetup, &kRunAtLogon, &kTrivoxShared, &kCardInstall, &kCardPanel, &kDriverNames,
                       &kWindowsCurrentVersion})
    EXPECT_EQ(k->root, Root::LocalMachine);
}

TEST(Catalogue, EveryValueIsListedOnceWithAnOwnerAndADefaultOfItsType) {
  std::set<std::string> seen;
  for (const Value* v : kAllValues) {
    EXPECT_TRUE(seen.insert(std::string(v->key->path) + "|" + v->name).second) << v->name;
    EXPECT_TRUE(v->owner && *v->owner) << v->name;
    const Default& d = v->byDefault;
    if (d.kind == Default::Number) {
      EXPECT_EQ(v->type, Type::Dword) << v->name;
    } else {
      EXPECT_TRUE(d.text && *d.text) << v->name;
      if (d.kind == Default::Text) {
        EXPECT_EQ(v->type, Type::String) << v->name;
      }
    }
  }
}

TEST(Catalogue, OutputModeDefaults) {
  EXPECT_EQ(OutputModeFromStore(false, 0), 1u);  // missing: external speakers
  EXPECT_EQ(OutputModeFromStore(true, 0), 0u);
  EXPECT_EQ(OutputModeFromStore(true, 1), 1u);
  EXPECT_EQ(OutputModeFromStore(true, 2), 0u);  // above 1 reads as headphones
  EXPECT_EQ(OutputModeFromStore(true, 7), 0u);
  EXPECT_EQ(OutputModeFromStore(true, 0xFFFFFFFFu), 0u);  // unsigned: -1 is above 1
}

TEST(Catalogue, MidiLevelsClampAndOddModesCountAsMissing) {
  EXPECT_EQ(EffectLevelFromStore(false, 90), 0u);
  EXPECT_EQ(EffectLevelFromStore(true, 90), 90u);
  EXPECT_EQ(EffectLevelFromStore(true, 1000), 127u);
  EXPECT_EQ(EffectLevelFromStore(true, 0xFFFFFFFFu), 127u);
  EXPECT_TRUE(SoftSynthModeUsable(true, 2));
  EXPECT_FALSE(SoftSynthModeUsable(true, 3));
  EXPECT_FALSE(SoftSynthModeUsable(false, 0));
}

TEST(Catalogue, TrivoxModeMapsBothWays) {
  EXPECT_EQ(RenderModeIndexFromStore(false, 0), 0);  // missing: 2, quality
  EXPECT_EQ(RenderModeIndexFromStore(true, 0), 1);
  EXPECT_EQ(RenderModeIndexFromStore(true, 1), 0);
  EXPECT_EQ(RenderModeIndexFromStore(true, 2), 0);
  EXPECT_EQ(TrivoxModeForIndex(0), 2u);
  EXPECT_EQ(TrivoxModeForIndex(1), 0u);
  for (int i = -1; i <= 3; ++i) EXPECT_NE(TrivoxModeForIndex(i), 1u);
}

TEST(Catalogue, SheetCoordinateIgnoresNegativeAndMissing) {
  EXPECT_EQ(SheetCoordinate(true, 120, 40), 120);
  EXPECT_EQ(SheetCoordinate(true, 0, 40), 0);
  EXPECT_EQ(SheetCoordinate(true, static_cast<uint32_t>(-5), 40), 40);
  EXPECT_EQ(SheetCoordinate(true, 0x80000000u, 40), 40);
  EXPECT_EQ(SheetCoordinate(false, 120, 40), 40);
}

TEST(Catalogue, KeepOnScreenBringsAFarSheetBack) {
  EXPECT_EQ(KeepOnScreen(100, 400, 0, 1280), 100);
  EXPECT_EQ(KeepOnScreen(880, 400, 0, 1280), 880);
  EXPECT_EQ(KeepOnScreen(100000, 400, 0, 1280), 880);
  EXPECT_EQ(KeepOnScreen(0x7FFFFFFF, 400, 0, 1280), 880);
  EXPECT_EQ(KeepOnScreen(-50, 400, -1280, 1280), -50);  // a screen left of the first
  EXPECT_EQ(KeepOnScreen(10, 2000, 0, 1280), 0);         // larger than the screen
}
