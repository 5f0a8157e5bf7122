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

PcmFormat extensible(uint16_t ch, uint16_t bits, uint16_t sub, uint32_t mask) {
  PcmFormat f = pcm(ch, 48000, bits);
  f.formatTag = kTagExtensible;
  f.extraBytes = kExtensibleExtra;
  f.validBits = bits;
  f.subFormat = sub;
  f.channelMask = mask;
  return f;
}

TEST(DsFormat, AcceptsEveryPcmWidthFloatAndExtensible) {
  for (uint16_t bits : {8, 16, 24, 32}) {
    EXPECT_EQ(checkFormat(pcm(2, 22050, bits)), FormatCheck::Ok) << bits;
    EXPECT_EQ(checkFormat(extensible(2, bits, kTagPcm, 0x3)), FormatCheck::Ok) << bits;
  }
  PcmFormat f = pcm(1, 44100, 32);
  f.formatTag = kTagFloat;
  EXPECT_EQ(checkFormat(f), FormatCheck::Ok);
  EXPECT_TRUE(isFloat(f));
  EXPECT_TRUE(isFloat(extensible(6, 32, kTagFloat, 0x3F)));
  EXPECT_FALSE(isFloat(extensible(6, 32, kTagPcm, 0x3F)));
  EXPECT_EQ(checkFormat(extensible(8, 16, kTagPcm, 0x63F)), FormatCheck::Ok);  // 7.1
  EXPECT_EQ(checkFormat(extensible(2, 16, kTagPcm, 0x80000000u)), FormatCheck::Ok);  // every speaker
  PcmFormat packed = extensible(2, 24, kTagPcm, 0x3);
  packed.validBits = 20;
  EXPECT_EQ(checkFormat(packed), FormatCheck::Ok);
  EXPECT_EQ(channelMask(extensible(6, 16, kTagPcm, 0x3F)), 0x3Fu);
  PcmFormat plain = pcm(2, 22050, 16);
  plain.channelMask = 0x3F;  // not extensible: ignored
  EXPECT_EQ(channelMask(plain), 0u);
}

// The zero and off-by-one sizes are covered through the COM object.
TEST(DsFormat, MalformedSizesAreToldApartFromUnsupportedCodings) {
  EXPECT_EQ(checkFormat(pcm(2, 44100, 12)), FormatCheck::Malformed);
  PcmFormat shortExt = extensible(2, 16, kTagPcm, 0x3);
  shortExt.extraBytes = kExtensibleExtra - 1;
  EXPECT_EQ(checkFormat(shortExt), FormatCheck::Malformed);
  PcmFormat wide = extensible(2, 16, kTagPcm, 0x3);
  wide.validBits = 24;
  EXPECT_EQ(checkFormat(wide), FormatCheck::Malformed);
  PcmFormat half = pcm(2, 44100, 16);
  half.formatTag = kTagFloat;
  EXPECT_EQ(checkFormat(half), FormatCheck::Unsupported);
  EXPECT_EQ(checkFormat(pcm(2, 44100, 40)), FormatCheck::Unsupported);
  EXPECT_EQ(checkFormat(pcm(9, 44100, 16)), FormatCheck::Unsupported);
  EXPECT_EQ(checkFormat(pcm(1, 99, 16)), FormatCheck::Unsupported);
  EXPECT_EQ(checkFormat(pcm(1, 200001, 16)), FormatCheck::Unsupported);
  EXPECT_EQ(checkFormat(pcm(1, 100, 16)), FormatCheck::Ok);
  EXPECT_EQ(checkFormat(pcm(1, 200000, 16)), FormatCheck::Ok);
  EXPECT_EQ(checkFormat(extensible(2, 16, 0, 0x3)), FormatCheck::Malformed);  // unknown or null subtype
  EXPECT_EQ(checkFormat(extensible(2, 16, kTagPcm, 0x40003)), FormatCheck::Unsupported);  // reserved bit
}

TEST(DsFormat, ThreeDTakesMonoOrStereoAndSizesAreWholeBlocks) {
  EXPECT_TRUE(fitsThreeD(pcm(2, 22050, 16)));
  EXPECT_FALSE(fitsThreeD(extensible(6, 16, kTagPcm, 0x3F)));
  EXPECT_EQ(roundToBlock(44101, 4), 44104u);
  EXPECT_EQ(roundToBlock(44104, 4), 44104u);
  EXPECT_EQ(roundToBlock(7, 6), 12u);
  EXPECT_EQ(roundToBlock(5, 1), 5u);
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
