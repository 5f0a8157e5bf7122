#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "Smf.h"

namespace zsynth {
namespace {

std::vector<uint8_t> File(std::vector<std::vector<uint8_t>> tracks) {
  std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, static_cast<uint8_t>(tracks.size()), 0, 96};
  for (auto& t : tracks) {
    const size_t n = t.size();
    f.insert(f.end(), {'M', 'T', 'r', 'k', 0, 0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    f.insert(f.end(), t.begin(), t.end());
  }
  return f;
}

TEST(Smf, TracksMergeUnderTheTempoMap) {
  // Track 1: 96 ticks at 120 bpm (0.5 s), then 60 bpm; running status; a SysEx.
  const std::vector<uint8_t> t1 = {0x00, 0x90, 60, 100, 0x60, 62, 100, 0x00, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40,
                                   0x60, 0xF0, 0x03, 0x7E, 0x09, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
  const std::vector<uint8_t> t2 = {0x81, 0x40, 0xC1, 5, 0x00, 0xFF, 0x2F, 0x00};  // at tick 192
  const auto f = File({t1, t2});
  SmfSong song;
  std::string reason;
  ASSERT_TRUE(ReadSmf(f.data(), f.size(), song, reason)) << reason;
  ASSERT_EQ(song.events.size(), 4u);
  EXPECT_EQ(song.events[0].packed, 0x90u | 60 << 8 | 100 << 16);
  EXPECT_DOUBLE_EQ(song.events[1].seconds, 0.5);
  EXPECT_EQ(song.events[1].packed, 0x90u | 62 << 8 | 100 << 16);
  // Tick 192, 96 ticks at a second a beat; equal times keep the tracks' order.
  EXPECT_DOUBLE_EQ(song.events[2].seconds, 1.5);
  EXPECT_EQ(song.events[2].packed, 0u);
  EXPECT_DOUBLE_EQ(song.events[3].seconds, 1.5);
  EXPECT_EQ(song.events[3].packed, 0xC1u | 5 << 8);
  const std::vector<uint8_t> sysex(song.sysex.begin() + song.events[2].sysexAt,
                                   song.sysex.begin() + song.events[2].sysexAt + song.events[2].sysexSize);
  EXPECT_EQ(sysex, (std::vector<uint8_t>{0xF0, 0x7E, 0x09, 0xF7}));

  // Cut anywhere, the file is refused without reading past its end.
  for (size_t n = 0; n < f.size() - 1; ++n) {
    std::vector<uint8_t> cut(f.begin(), f.begin() + n);
    SmfSong s;
    EXPECT_FALSE(ReadSmf(cut.data(), cut.size(), s, reason)) << n;
  }
}

TEST(Smf, AHeaderLengthThatWrapsIsRefused) {
  // 8 + 0xFFFFFFF8 wraps to the file's start in 32 bits: the header must not be read as a track.
  auto f = File({{0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}});
  f[4] = f[5] = f[6] = 0xFF;
  f[7] = 0xF8;
  SmfSong song;
  std::string reason;
  EXPECT_FALSE(ReadSmf(f.data(), f.size(), song, reason));
  EXPECT_EQ(reason, "fewer tracks than the header declares");
}

// Two bytes an event, by running status: the most events a file can hold.
std::vector<uint8_t> DenseTrack(size_t events) {
  std::vector<uint8_t> t = {0x00, 0xC0, 0x01};
  for (size_t i = 1; i < events; ++i) t.insert(t.end(), {0x00, uint8_t(i & 0x7F)});
  t.insert(t.end(), {0x00, 0xFF, 0x2F, 0x00});
  return t;
}

std::vector<uint8_t> OneTrack(const std::vector<uint8_t>& t) {
  std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
  for (int i = 3; i >= 0; --i) f.push_back(uint8_t(t.size() >> (8 * i)));
  f.insert(f.end(), t.begin(), t.end());
  return f;
}

TEST(Smf, CostIsBoundedByTheFile) {
  const auto f = OneTrack(DenseTrack(520000));
  ASSERT_LT(f.size(), 1u << 20);
  SmfSong song;
  std::string reason;
  ASSERT_TRUE(ReadSmf(f.data(), f.size(), song, reason)) << reason;
  const size_t built = song.events.capacity() * sizeof(SmfEvent) + song.sysex.capacity();
  std::printf("  %zu-byte file: %zu events, %zu bytes built\n", f.size(), song.events.size(), built);
  EXPECT_EQ(song.events.size(), 520000u);
  EXPECT_LE(built, 16 * f.size());

  const auto huge = OneTrack(DenseTrack(kMaxSmfEvents + 1));
  EXPECT_FALSE(ReadSmf(huge.data(), huge.size(), song, reason));
  EXPECT_EQ(reason, "more than 1048576 events");
}

}  // namespace
}  // namespace zsynth
