// The tone player against Wine's DirectSound (the test command runs a sound server).
#include "controlpanel/wave/Playfree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void Put16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, unsigned v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

std::string WriteWave(const char* name, unsigned tag, unsigned channels, unsigned rate, unsigned bits,
                      unsigned dataBytes) {
  const unsigned align = channels * bits / 8 ? channels * bits / 8 : 1;
  std::string f = "RIFF";
  Put32(f, 36 + dataBytes);
  f += "WAVEfmt ";
  Put32(f, 16);
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * align);
  Put16(f, align);
  Put16(f, bits);
  f += "data";
  Put32(f, dataBytes);
  for (unsigned i = 0; i < dataBytes; ++i) f.push_back(static_cast<char>((i * 37) & 0x7F));
  const std::string path = ::testing::TempDir() + name;
  FILE* out = std::fopen(path.c_str(), "wb");
  EXPECT_NE(out, nullptr);
  if (out) {
    std::fwrite(f.data(), 1, f.size(), out);
    std::fclose(out);
  }
  return path;
}

bool WaitDone(CTonePlayer& p, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!p.IsDone()) {
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
  return true;
}

TEST(TonePlayer, FileInAnotherFormatPlaysToItsEnd) {
  // Stereo 22050 Hz 8-bit, 0.2 s: not the primary buffer's format.
  const std::string path = WriteWave("tp_stereo8.wav", 1, 2, 22050, 8, 8820);
  CTonePlayer p;
  ASSERT_EQ(p.LoadWave(path.c_str()), 1);
  p.SetPan(-10000);
  ASSERT_EQ(p.Play(), 1);
  EXPECT_FALSE(p.IsDone());
  EXPECT_TRUE(WaitDone(p, 3000));
  std::remove(path.c_str());
}

TEST(TonePlayer, StopEndsPlayingAtOnce) {
  const std::string path = WriteWave("tp_long.wav", 1, 1, 44100, 16, 88200 * 2);
  CTonePlayer p;
  ASSERT_EQ(p.LoadWave(path.c_str()), 1);
  ASSERT_EQ(p.Play(), 1);
  EXPECT_FALSE(p.IsDone());
  p.Stop();
  EXPECT_TRUE(p.IsDone());
  // A second load releases the first set of objects and works the same.
  ASSERT_EQ(p.LoadWave(path.c_str()), 1);
  ASSERT_EQ(p.Play(), 1);
  p.ReleaseAll();
  EXPECT_TRUE(p.IsDone());
  EXPECT_EQ(p.Play(), 0);
  p.ReleaseAll();  // nothing held: nothing to do
  std::remove(path.c_str());
}

TEST(TonePlayer, UnplayableOrMissingFilesFail) {
  CTonePlayer p;
  // Format tag 2 with nonsense fields: DirectSound refuses the buffer.
  const std::string adpcm = WriteWave("tp_adpcm.wav", 2, 1, 44100, 4, 400);
  EXPECT_EQ(p.LoadWave(adpcm.c_str()), 0);
  EXPECT_TRUE(p.IsDone());
  EXPECT_EQ(p.Play(), 0);
  EXPECT_EQ(p.LoadWave((::testing::TempDir() + "tp_none.wav").c_str()), 0);
  EXPECT_EQ(p.Play(), 0);
  // An empty data chunk gives no buffer to play.
  const std::string empty = WriteWave("tp_empty.wav", 1, 1, 44100, 16, 0);
  EXPECT_EQ(p.LoadWave(empty.c_str()), 0);
  p.SetPan(10000);  // without a buffer: ignored
  std::remove(adpcm.c_str());
  std::remove(empty.c_str());
}

}  // namespace
