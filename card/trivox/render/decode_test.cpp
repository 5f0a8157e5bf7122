#include "decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "mixer.h"

namespace trivox {
namespace {

void put(std::vector<uint8_t>& out, int64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
}
void putFloat(std::vector<uint8_t>& out, float v) {
  uint8_t b[4];
  std::memcpy(b, &v, 4);
  out.insert(out.end(), b, b + 4);
}

SampleCoding coding(uint16_t channels, uint16_t bits, bool floating = false, uint32_t mask = 0) {
  SampleCoding c;
  c.channels = channels;
  c.bits = bits;
  c.floating = floating;
  c.channelMask = mask;
  return c;
}

TEST(Decode, EveryWidthReachesTheSameScale) {
  // Half scale positive, then full scale negative, in each coding.
  std::vector<uint8_t> u8, s16, s24, s32, f32;
  put(u8, 128 + 64, 1), put(u8, 0, 1);
  put(s16, 16384, 2), put(s16, -32768, 2);
  put(s24, 4194304, 3), put(s24, -8388608, 3);
  put(s32, 1073741824, 4), put(s32, INT32_MIN, 4);
  putFloat(f32, 0.5f), putFloat(f32, -1.0f);
  const std::pair<std::vector<uint8_t>*, SampleCoding> cases[] = {
      {&u8, coding(1, 8)}, {&s16, coding(1, 16)}, {&s24, coding(1, 24)}, {&s32, coding(1, 32)},
      {&f32, coding(1, 32, true)}};
  for (const auto& c : cases) {
    float out[2] = {9, 9};
    decodeFrames(c.first->data(), 2, c.second, out, nullptr);
    EXPECT_FLOAT_EQ(out[0], 0.5f) << c.second.bits << (c.second.floating ? " float" : "");
    EXPECT_FLOAT_EQ(out[1], -1.0f) << c.second.bits << (c.second.floating ? " float" : "");
  }
}

TEST(Decode, StereoSplitsOrFoldsAndFloatIsTamed) {
  std::vector<uint8_t> s24;
  put(s24, 4194304, 3), put(s24, 0, 3);  // left half scale, right silent
  float l = 9, r = 9;
  decodeFrames(s24.data(), 1, coding(2, 24), &l, &r);
  EXPECT_FLOAT_EQ(l, 0.5f);
  EXPECT_FLOAT_EQ(r, 0.0f);
  decodeFrames(s24.data(), 1, coding(2, 24), &l, nullptr);
  EXPECT_FLOAT_EQ(l, 0.25f);
  std::vector<uint8_t> f;
  putFloat(f, NAN), putFloat(f, 7.0f), putFloat(f, -INFINITY);
  float out[3];
  decodeFrames(f.data(), 3, coding(1, 32, true), out, nullptr);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_EQ(out[1], 1.0f);
  EXPECT_EQ(out[2], -1.0f);
}

TEST(Decode, SurroundFoldsBySpeakerPosition) {
  // 5.1 in the usual order: FL FR FC LFE BL BR, only the back left sounding.
  std::vector<uint8_t> s16;
  for (int ch = 0; ch < 6; ++ch) put(s16, ch == 4 ? 30000 : 0, 2);
  float l = 0, r = 0;
  decodeFrames(s16.data(), 1, coding(6, 16), &l, &r);
  EXPECT_GT(l, 0.0f);
  EXPECT_EQ(r, 0.0f);
  // Channels take the mask's bits from the lowest: without back left, channel 4 is back right.
  decodeFrames(s16.data(), 1, coding(6, 16, false, 0x1 | 0x2 | 0x4 | 0x8 | 0x20 | 0x200), &l, &r);
  EXPECT_EQ(l, 0.0f);
  EXPECT_GT(r, 0.0f);
  // Full scale in every channel stays full scale on both sides and in the fold.
  std::vector<uint8_t> full;
  for (int ch = 0; ch < 8; ++ch) putFloat(full, 1.0f);
  decodeFrames(full.data(), 1, coding(8, 32, true), &l, &r);
  EXPECT_FLOAT_EQ(l, 1.0f);
  EXPECT_FLOAT_EQ(r, 1.0f);
  decodeFrames(full.data(), 1, coding(8, 32, true), &l, nullptr);
  EXPECT_FLOAT_EQ(l, 1.0f);
  // A channel the mask leaves without a speaker sounds on both sides.
  std::vector<uint8_t> third;
  put(third, 0, 2), put(third, 0, 2), put(third, 20000, 2);
  decodeFrames(third.data(), 1, coding(3, 16, false, 0x3), &l, &r);
  EXPECT_GT(l, 0.0f);
  EXPECT_FLOAT_EQ(l, r);
}

// The mixer plays a buffer alike whatever its coding.
TEST(Decode, MixerPlaysWideAndFloatBuffersLikeSixteenBit) {
  constexpr int kFrames = 4800;
  std::vector<float> signal(kFrames);
  for (int i = 0; i < kFrames; ++i) signal[static_cast<size_t>(i)] = 0.5f * std::sin(0.05f * static_cast<float>(i));
  std::vector<float> rendered[3];
  const SampleCoding codings[] = {coding(1, 16), coding(1, 24), coding(1, 32, true)};
  for (int c = 0; c < 3; ++c) {
    std::vector<uint8_t> data;
    for (float x : signal) {
      if (codings[c].floating) {
        putFloat(data, x);
      } else {
        put(data, std::lrint(x * (codings[c].bits == 16 ? 32767.0 : 8388607.0)), codings[c].bits / 8);
      }
    }
    Mixer m(HrtfSet{}, 48000, 1);
    VoiceParams p;
    p.data = data.data();
    p.bytes = static_cast<uint32_t>(data.size());
    p.channels = 1;
    p.bits = codings[c].bits;
    p.floating = codings[c].floating;
    p.frequency = 48000;
    p.playing = true;
    p.looping = true;
    p.playGen = 1;
    m.setVoice(m.addVoice(), p);
    rendered[c].resize(2 * 2400);
    m.render(rendered[c].data(), 2400);
  }
  double peak = 0;
  for (float x : rendered[0]) peak = std::max(peak, static_cast<double>(std::fabs(x)));
  EXPECT_GT(peak, 0.4);
  for (int c = 1; c < 3; ++c)
    for (size_t i = 0; i < rendered[0].size(); ++i) ASSERT_NEAR(rendered[c][i], rendered[0][i], 1e-3) << c << " " << i;
}

}  // namespace
}  // namespace trivox
