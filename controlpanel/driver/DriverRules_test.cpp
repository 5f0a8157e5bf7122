#include "controlpanel/driver/DriverRules.h"

#include <gtest/gtest.h>

namespace {

TEST(OutputModeRecordTest, FlagBytesByMode) {
  OutputModeRecord speakers = MakeOutputModeRecord(1);
  EXPECT_EQ(speakers.bytes[8], 0xFF);
  EXPECT_EQ(speakers.bytes[9], 0xFF);
  for (int mode : {0, 2, -1, 0x10001}) {
    OutputModeRecord rec = MakeOutputModeRecord(mode);
    EXPECT_EQ(rec.bytes[8], 0x00) << mode;
    EXPECT_EQ(rec.bytes[9], 0x00) << mode;
  }
  for (int i = 0; i < 16; ++i) {
    if (i == 8 || i == 9) continue;
    EXPECT_EQ(speakers.bytes[i], 0) << "byte " << i;
  }
  EXPECT_EQ(OutputFlagForMode(1), 0xFFFF);
  EXPECT_EQ(OutputFlagForMode(3), 0x0000);
}

TEST(DefaultSoftSynthModeTest, ClassSixOrMoreGivesProQuality64) {
  EXPECT_EQ(DefaultSoftSynthMode(0, true, 6, true, 0, true), 0u);
  EXPECT_EQ(DefaultSoftSynthMode(500, true, 0xFFFFFFFF, true, 1, true), 0u) << "unsigned compare";
  EXPECT_EQ(DefaultSoftSynthMode(200, true, 5, true, 1, true), 1u);
}

TEST(DefaultSoftSynthModeTest, LevelAndFeatureBoundaries) {
  EXPECT_EQ(DefaultSoftSynthMode(200, true, 5, true, 1, true), 1u);
  EXPECT_EQ(DefaultSoftSynthMode(199, true, 5, true, 1, true), 2u);
  EXPECT_EQ(DefaultSoftSynthMode(200, true, 5, true, 0, true), 2u);
  EXPECT_EQ(DefaultSoftSynthMode(200, true, 5, true, 0x80000000u, true), 1u);
}

TEST(DefaultSoftSynthModeTest, FailedQueriesCountAsZero) {
  // Values left in the buffers of failed queries must not count.
  EXPECT_EQ(DefaultSoftSynthMode(200, true, 9, false, 1, true), 1u);
  EXPECT_EQ(DefaultSoftSynthMode(900, false, 5, true, 1, true), 2u);
  EXPECT_EQ(DefaultSoftSynthMode(200, true, 5, true, 1, false), 2u);
  EXPECT_EQ(DefaultSoftSynthMode(900, false, 9, false, 1, false), 2u);
}

TEST(DefaultWavetableEffectTest, OnlyACapableCardStartsWithEffects) {
  EXPECT_EQ(DefaultWavetableEffect(200, true, 1, true), 1u);
  EXPECT_EQ(DefaultWavetableEffect(199, true, 1, true), 0u);
  EXPECT_EQ(DefaultWavetableEffect(200, true, 0, true), 0u);
  EXPECT_EQ(DefaultWavetableEffect(200, false, 1, true), 0u);
  EXPECT_EQ(DefaultWavetableEffect(200, true, 1, false), 0u);
}

TEST(RenderingModeAvailableTest, FailedQueriesCountAsCapable) {
  EXPECT_TRUE(RenderingModeAvailable(true, 200, true, 1));
  EXPECT_FALSE(RenderingModeAvailable(true, 199, true, 1));
  EXPECT_FALSE(RenderingModeAvailable(true, 200, true, 0));
  EXPECT_TRUE(RenderingModeAvailable(false, 0, true, 1));
  EXPECT_TRUE(RenderingModeAvailable(true, 200, false, 0));
  EXPECT_TRUE(RenderingModeAvailable(false, 0, false, 0));
  EXPECT_FALSE(RenderingModeAvailable(false, 0, true, 0));
  EXPECT_FALSE(RenderingModeAvailable(true, 100, false, 0));
}

TEST(DriverDefaultsTest, EveryCombinationOfFailingQueries) {
  // Figures that would choose mode 0 and effects on, each lost when its query fails.
  for (int failed = 0; failed < 8; ++failed) {
    const bool levelOk = !(failed & 1), classOk = !(failed & 2), featureOk = !(failed & 4);
    const uint32_t mode = classOk ? 0u : (levelOk && featureOk ? 1u : 2u);
    EXPECT_EQ(DefaultSoftSynthMode(200, levelOk, 6, classOk, 1, featureOk), mode) << failed;
    EXPECT_EQ(DefaultWavetableEffect(200, levelOk, 1, featureOk), levelOk && featureOk ? 1u : 0u) << failed;
  }
}

TEST(DriverDefaultsTest, AllQueriesFailing) {
  // MIDI page: mode 2, effects off; Config page: rendering mode offered.
  EXPECT_EQ(DefaultSoftSynthMode(0, false, 0, false, 0, false), 2u);
  EXPECT_EQ(DefaultWavetableEffect(0, false, 0, false), 0u);
  EXPECT_TRUE(RenderingModeAvailable(false, 0, false, 0));
}

}  // namespace
