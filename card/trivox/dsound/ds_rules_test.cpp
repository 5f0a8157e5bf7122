#include "ds_rules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace trivox::ds {
namespace {

PcmFormat pcm(uint16_t ch, uint32_t rate, uint16_t bits) {
  PcmFormat f;
  f.formatTag = 1;
  f.channels = ch;
  f.samplesPerSec = rate;
  f.bitsPerSample = bits;
  f.blockAlign = static_cast<uint16_t>(ch * bits / 8);
  f.avgBytesPerSec = rate * f.blockAlign;
  return f;
}

TEST(DsFormat, AcceptsPlainPcmOnly) {
  EXPECT_TRUE(validPcm(pcm(2, 22050, 16)));
  EXPECT_TRUE(validPcm(pcm(1, 11025, 8)));
  EXPECT_TRUE(validPcm(pcm(1, 100, 16)));
  EXPECT_TRUE(validPcm(pcm(2, 200000, 16)));
  EXPECT_FALSE(validPcm(pcm(1, 99, 16)));
  EXPECT_FALSE(validPcm(pcm(1, 200001, 16)));
  EXPECT_FALSE(validPcm(pcm(3, 22050, 16)));
  EXPECT_FALSE(validPcm(pcm(0, 22050, 16)));
  EXPECT_FALSE(validPcm(pcm(1, 22050, 24)));
  PcmFormat f = pcm(2, 22050, 16);
  f.formatTag = 3;  // float
  EXPECT_FALSE(validPcm(f));
  f = pcm(2, 22050, 16);
  f.blockAlign = 2;
  EXPECT_FALSE(validPcm(f));
  f = pcm(2, 22050, 16);
  f.avgBytesPerSec = 1000;
  EXPECT_FALSE(validPcm(f));
}

TEST(DsLock, SplitsAtTheBufferEnd) {
  LockRegion r;
  ASSERT_TRUE(lockRegion(1000, 0, 1000, false, r));
  EXPECT_EQ(r.first, 1000u);
  EXPECT_EQ(r.second, 0u);
  ASSERT_TRUE(lockRegion(1000, 800, 300, false, r));
  EXPECT_EQ(r.offset, 800u);
  EXPECT_EQ(r.first, 200u);
  EXPECT_EQ(r.second, 100u);
  ASSERT_TRUE(lockRegion(1000, 999, 1000, false, r));
  EXPECT_EQ(r.first, 1u);
  EXPECT_EQ(r.second, 999u);
  ASSERT_TRUE(lockRegion(1000, 400, 0, true, r));  // the whole buffer from 400
  EXPECT_EQ(r.first, 600u);
  EXPECT_EQ(r.second, 400u);
  ASSERT_TRUE(lockRegion(1000, 100, 200, false, r));
  EXPECT_EQ(r.first, 200u);
  EXPECT_EQ(r.second, 0u);
}

TEST(DsLock, RefusesWhatDoesNotFit) {
  LockRegion r;
  EXPECT_FALSE(lockRegion(1000, 1000, 10, false, r));  // offset past the end
  EXPECT_FALSE(lockRegion(1000, 0, 1001, false, r));   // more than the buffer
  EXPECT_FALSE(lockRegion(1000, 0, 0, false, r));
  EXPECT_FALSE(lockRegion(0, 0, 0, true, r));
  EXPECT_FALSE(lockRegion(1000, 0xFFFFFFFFu, 4, false, r));
}

TEST(DsLock, UnlockRangesMustLieInsideTheBuffer) {
  EXPECT_TRUE(unlockFits(1000, 0, 1000, 0, 0, false));
  EXPECT_TRUE(unlockFits(1000, 800, 200, 0, 100, true));
  EXPECT_FALSE(unlockFits(1000, 800, 201, 0, 0, false));
  EXPECT_FALSE(unlockFits(1000, -4, 4, 0, 0, false));
  EXPECT_FALSE(unlockFits(1000, 0, 10, 0, 5, false));  // bytes for a block never handed out
  EXPECT_FALSE(unlockFits(1000, 0, 10, 990, 20, true));
}

TEST(DsRanges, ControlsAndThreeDParameters) {
  EXPECT_TRUE(validVolume(0));
  EXPECT_TRUE(validVolume(-10000));
  EXPECT_FALSE(validVolume(1));
  EXPECT_FALSE(validVolume(-10001));
  EXPECT_TRUE(validPan(10000));
  EXPECT_FALSE(validPan(-10001));
  EXPECT_TRUE(validFrequency(0));
  EXPECT_FALSE(validFrequency(99));
  EXPECT_TRUE(validFrequency(44100));
  EXPECT_TRUE(validCone(0, 360));
  EXPECT_FALSE(validCone(200, 100));
  EXPECT_FALSE(validCone(10, 361));
  EXPECT_TRUE(validFactor(0));
  EXPECT_TRUE(validFactor(10));
  EXPECT_FALSE(validFactor(10.5f));
  EXPECT_FALSE(validFactor(NAN));
  EXPECT_FALSE(validDistanceFactor(0));
  EXPECT_TRUE(validDistanceFactor(0.01f));
  EXPECT_FALSE(validDistance(0));
  EXPECT_FALSE(validDistance(INFINITY));
  EXPECT_TRUE(validMode(2));
  EXPECT_FALSE(validMode(3));
  EXPECT_TRUE(validApply(1));
  EXPECT_FALSE(validApply(2));
  EXPECT_FALSE(finite3(0, NAN, 0));
  EXPECT_TRUE(finite3(1, 2, 3));
}

}  // namespace
}  // namespace trivox::ds
