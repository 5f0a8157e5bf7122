#include "splash_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace trivox {
namespace {

TEST(Splash, SettingIsOnForFourNonZeroBytesOfAnyKind) {
  const uint8_t five[4] = {5, 0, 0, 0}, high[4] = {0, 0, 0, 1}, zero[4] = {0, 0, 0, 0};
  const uint8_t longer[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(splashSettingOn(five, 4));
  EXPECT_TRUE(splashSettingOn(high, 4));
  EXPECT_FALSE(splashSettingOn(zero, 4));
  EXPECT_FALSE(splashSettingOn(nullptr, 4));
  EXPECT_FALSE(splashSettingOn(longer, 8));
  EXPECT_FALSE(splashSettingOn(five, 2));
}

TEST(Splash, OnlyTheFirstDeviceOfAProcessGetsIt) {
  const SplashPlan both = planSplash(true, true, true);
  EXPECT_TRUE(both.chime && both.logo);
  const SplashPlan quiet = planSplash(true, false, true);
  EXPECT_FALSE(quiet.chime);
  EXPECT_TRUE(quiet.logo);
  const SplashPlan later = planSplash(false, true, true);
  EXPECT_FALSE(later.chime || later.logo);
}

TEST(Splash, ChimeIsShortAtMinus6dBAndStartsAndEndsInSilence) {
  const std::vector<int16_t> c = makeChime(48000);
  ASSERT_EQ(c.size(), static_cast<size_t>(kChimeSeconds * 48000));
  int peak = 0;
  for (int16_t v : c) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_NEAR(peak, 16384, 2);
  EXPECT_LT(std::abs(c.front()), 200);
  EXPECT_LT(std::abs(c.back()), 10);
  // Both notes sound: the second half still carries the later one.
  double late = 0;
  for (size_t i = c.size() / 4; i < c.size() / 2; ++i) late += std::abs(static_cast<double>(c[i]));
  EXPECT_GT(late / (c.size() / 4), 500.0);
}

}  // namespace
}  // namespace trivox
