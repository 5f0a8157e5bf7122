// SoundFont 3: the same bank compressed reads as the uncompressed one, near enough to hear
// no difference, and a damaged stream refuses the whole bank with its reason.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "BankBytes_test.h"
#include "BankLoad.h"
#include "TestBankSf3.h"

using namespace zsynth;

namespace {

// Two looped tones and a one-shot, at two sample rates.
testbank::Recipe Tones() {
  testbank::Recipe recipe;
  auto tone = [](const char* name, double hz, uint32_t rate, size_t frames) {
    testbank::Sample s;
    s.name = name;
    s.rate = rate;
    for (size_t i = 0; i < frames; ++i) s.pcm.push_back(int16_t(std::lround(9000 * std::sin(2 * M_PI * hz * i / rate) +
                                                                          3000 * std::sin(6 * M_PI * hz * i / rate))));
    return s;
  };
  testbank::Sample a = tone("low", 220.5, 44100, 8820), b = tone("high", 1050, 22050, 4410);
  testbank::Sample c = tone("once", 330, 44100, 3000);
  a.loopStart = 4410, a.loopEnd = 8820, a.loop = LoopMode::kForward;
  b.loopStart = 2205, b.loopEnd = 4410, b.loop = LoopMode::kUntilRelease;
  recipe.samples = {a, b, c};
  for (uint16_t i = 0; i < 3; ++i) {
    testbank::Program p;
    p.name = "Tone " + std::to_string(i);
    p.program = uint8_t(i);
    testbank::Zone z;
    z.sample = i;
    p.zones = {z};
    recipe.programs.push_back(p);
  }
  return recipe;
}

double SnrDb(const int16_t* a, const int16_t* b, size_t n) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < n; ++i) signal += double(a[i]) * a[i], noise += double(a[i] - b[i]) * (a[i] - b[i]);
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

TEST(Sf3Reader, ReadsAsTheSameBankUncompressed) {
  const testbank::Recipe recipe = Tones();
  const std::vector<uint8_t> sf3 = testbank::WriteSf3(recipe), sf2 = testbank::WriteSf2(recipe);
  const LoadResult three = LoadBank(sf3.data(), sf3.size()), two = LoadBank(sf2.data(), sf2.size());
  ASSERT_TRUE(three.bank) << three.reason;
  ASSERT_TRUE(two.bank) << two.reason;
  EXPECT_EQ(three.bank->kind, BankKind::kSf2);
  ASSERT_EQ(three.bank->instruments.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const Region& c = three.bank->instruments[i].regions.at(0);
    const Region& u = two.bank->instruments[i].regions.at(0);
    const testbank::Sample& s = recipe.samples[i];
    // Every frame decoded, none added, and the loop where it was.
    EXPECT_EQ(c.end - c.start, s.pcm.size()) << s.name;
    EXPECT_EQ(c.loopStart - c.start, u.loopStart - u.start) << s.name;
    EXPECT_EQ(c.loopEnd - c.start, u.loopEnd - u.start) << s.name;
    EXPECT_EQ(c.loop, u.loop) << s.name;
    EXPECT_EQ(c.sampleRate, s.rate);
    EXPECT_GT(SnrDb(s.pcm.data(), three.bank->pcm.data() + c.start, s.pcm.size()), 25.0) << s.name;
  }
}

// Streams damaged in the ways a download or a careless tool damages them.
TEST(Sf3Reader, RefusesADamagedStreamWithItsReason) {
  const std::vector<uint8_t> good = testbank::WriteSf3(Tones());
  const size_t smpl = At(good, "smpl") + 8, low = At(good, "low\0");
  DamagedBanks damaged{good, {}};
  auto edit = [&](const char* why, auto change) { damaged.add(why, change); };
  edit("compressed sample 'low' is cut short", [&](std::vector<uint8_t>& b) { Put32(b, low + 24, 300); });
  edit("compressed sample 'low' is not an Ogg stream or is cut short", [&](std::vector<uint8_t>& b) { b[smpl] = 'X'; });
  edit("compressed sample 'low' is not a well-formed Ogg Vorbis stream (decoder error 31)",
       [&](std::vector<uint8_t>& b) { b[smpl + 4] = 1; });  // the page's structure version
  edit("compressed sample 'low' is not a well-formed Ogg Vorbis stream (decoder error 34)",
       [&](std::vector<uint8_t>& b) { b[smpl + 28 + 1] = 'x'; });  // the identification header's "vorbis"
  edit("compressed sample 'low' has a damaged comment header", [&](std::vector<uint8_t>& b) {
    Put32(b, At(b, "\x03vorbis") + 7, 0x7FFFFFFF);  // the vendor string's length
  });
  edit("compressed sample 'low' points outside the sample data",
       [&](std::vector<uint8_t>& b) { Put32(b, low + 24, 1u << 30); });
  edit("SoundFont version 4 is not 2 or 3", [&](std::vector<uint8_t>& b) { b[At(b, "ifil") + 8] = 4; });
  for (const Damaged& c : damaged.cases) {
    const LoadResult r = LoadBank(c.bytes.data(), c.bytes.size());
    EXPECT_FALSE(r.bank) << c.why;
    EXPECT_EQ(r.reason, c.why);
  }
}

// Every prefix, its RIFF size made to fit: refused with a reason or read, never past the end.
TEST(Sf3Reader, NeverReadsPastACutFile) {
  const std::vector<uint8_t> good = testbank::WriteSf3(Tones(), 0.0f);
  size_t refused = 0;
  for (size_t n = 12; n < good.size(); n += n < 2000 ? 1 : 7) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    Put32(cut, 4, uint32_t(n - 8));
    const LoadResult r = LoadBank(cut.data(), cut.size());
    EXPECT_NE(bool(r.bank), !r.reason.empty()) << n;
    refused += !r.bank;
  }
  EXPECT_GT(refused, 0u);
}

}  // namespace
