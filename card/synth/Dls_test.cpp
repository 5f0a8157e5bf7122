#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "BankBytes_test.h"
#include "BankLoad.h"
#include "BankReaders.h"
#include "TestBankWriter.h"

using namespace zsynth;
using testbank::Conn;

namespace {

constexpr int32_t kUnit = 65536;

testbank::Recipe Organ(bool dls2) {
  testbank::Recipe recipe;
  recipe.dls2 = dls2;
  testbank::Sample a;
  a.name = "a";
  for (int i = 0; i < 300; ++i) a.pcm.push_back(int16_t(i * 100 - 15000));
  a.rate = 32000;
  a.rootKey = 65;
  a.fineTune = 7;
  a.loopStart = 100;
  a.loopEnd = 250;
  a.loop = LoopMode::kUntilRelease;
  testbank::Sample b = a;
  b.name = "b";
  b.eightBit = true;
  b.rate = 11025;
  b.loop = LoopMode::kForward;
  recipe.samples = {a, b};

  testbank::Program organ;
  organ.name = "Organ";
  organ.bankMsb = 3;
  organ.bankLsb = 2;
  organ.program = 19;
  // EG1 attack 1 s, sustain 50 %, LFO to pitch 30 cents, cutoff 6000 cents.
  organ.art = {{0, 0, 0x206, 0, 0}, {0, 0, 0x20A, 0, 500 * kUnit}, {1, 0, 3, 0, 30 * kUnit},
               {0, 0, 0x500, 0, 6000 * kUnit}};
  testbank::Zone low, high;
  low.keyHi = 63;
  low.attenuationCb = 60;
  high.keyLo = 64;
  high.velLo = 10;
  high.sample = 1;
  high.keyGroup = 2;
  // Its own articulation: release 2 s, pan full right, EG2 to pitch 1200 cents.
  high.art = {{0, 0, 0x209, 0, 1200 * kUnit}, {0, 0, 4, 0, 500 * kUnit}, {5, 0, 3, 0, 1200 * kUnit}};
  organ.zones = {low, high};

  testbank::Program kit;
  kit.name = "Drums";
  kit.drum = true;
  kit.program = 0;
  kit.zones = {testbank::Zone{}};
  recipe.programs = {organ, kit};
  return recipe;
}

class DlsReader : public ::testing::TestWithParam<bool> {};

TEST_P(DlsReader, ReadsInstrumentsRegionsWavesAndArticulation) {
  std::vector<uint8_t> bytes = testbank::WriteDls(Organ(GetParam()));
  ASSERT_EQ(DetectBank(bytes.data(), bytes.size()), BankKind::kDls);
  LoadResult r = LoadBank(bytes.data(), bytes.size());
  ASSERT_TRUE(r.bank) << r.reason;
  const Bank& bank = *r.bank;
  ASSERT_EQ(bank.pcm.size(), 600u);
  EXPECT_EQ(bank.pcm[1], -14900);
  EXPECT_EQ(bank.pcm[301], (-14900 >> 8) * 256) << "8-bit unsigned to 16-bit";

  const Instrument* organ = bank.find(false, 3, 2, 19);
  ASSERT_TRUE(organ);
  EXPECT_EQ(organ->name, "Organ");
  ASSERT_EQ(organ->regions.size(), 2u);
  const Region& lo = organ->regions[0];
  EXPECT_EQ(lo.keyHi, 63);
  EXPECT_EQ(lo.start, 0u);
  EXPECT_EQ(lo.end, 300u);
  EXPECT_EQ(lo.loopStart, 100u);
  EXPECT_EQ(lo.loopEnd, 250u);
  EXPECT_EQ(lo.loop, LoopMode::kUntilRelease);
  EXPECT_EQ(lo.sampleRate, 32000u);
  EXPECT_EQ(lo.rootKey, 65);
  EXPECT_FLOAT_EQ(lo.tuneCents, 7);
  EXPECT_FLOAT_EQ(lo.attenuation, 6);
  EXPECT_NEAR(lo.volEnv.attack, 1.0f, 1e-6);
  EXPECT_NEAR(lo.volEnv.sustain, std::pow(10.0, -48 / 20.0), 1e-6);  // half of 96 dB
  EXPECT_FLOAT_EQ(lo.modLfoToPitch, 30);
  EXPECT_FLOAT_EQ(lo.filterCutoff, 6000);
  EXPECT_NEAR(lo.modLfo.frequency, 5.0f, 1e-6);

  const Region& hi = organ->regions[1];
  EXPECT_EQ(hi.keyLo, 64);
  EXPECT_EQ(hi.velLo, 10);
  EXPECT_EQ(hi.start, 300u);
  EXPECT_EQ(hi.loopStart, 400u);
  EXPECT_EQ(hi.loop, LoopMode::kForward);
  EXPECT_EQ(hi.sampleRate, 11025u);
  EXPECT_EQ(hi.exclusiveClass, 2);
  // The region's articulation replaces the instrument's whole.
  EXPECT_NEAR(hi.volEnv.release, 2.0f, 1e-5);
  EXPECT_FLOAT_EQ(hi.volEnv.attack, 0);
  EXPECT_FLOAT_EQ(hi.volEnv.sustain, 1);
  EXPECT_FLOAT_EQ(hi.pan, 1);
  EXPECT_FLOAT_EQ(hi.modEnvToPitch, 1200);
  EXPECT_FLOAT_EQ(hi.modLfoToPitch, 0);

  const Instrument* kit = bank.find(true, 0, 0, 40);  // any kit program falls back
  ASSERT_TRUE(kit);
  EXPECT_EQ(kit->name, "Drums");
}

INSTANTIATE_TEST_SUITE_P(Levels, DlsReader, ::testing::Values(false, true));

TEST(DlsRefusal, MalformedBanksGiveTheirReason) {
  const std::vector<uint8_t> good = testbank::WriteDls(Organ(false));
  std::vector<std::pair<const char*, std::vector<uint8_t>>> cases;
  auto edit = [&](const char* why, auto change) {
    std::vector<uint8_t> b = good;
    change(b);
    cases.push_back({why, b});
  };
  edit("pool cue 1 points at no wave", [](std::vector<uint8_t>& b) { Put32(b, At(b, "ptbl") + 20, 5); });
  edit("truncated chunk 'ptbl'", [](std::vector<uint8_t>& b) { Put32(b, At(b, "ptbl") + 12, 1000); });
  edit("region names wave 7 of 2", [](std::vector<uint8_t>& b) { Put32(b, At(b, "wlnk") + 16, 7); });
  edit("loop outside its wave", [](std::vector<uint8_t>& b) {
    Put32(b, At(b, "wsmp") + 8 + 20 + 12, 290);  // the region's first loop: length
  });
  edit("no 'wvpl' list", [](std::vector<uint8_t>& b) { std::memcpy(&b[At(b, "wvpl")], "xvpl", 4); });
  edit("no 'colh' chunk", [](std::vector<uint8_t>& b) { std::memcpy(&b[At(b, "colh")], "xolh", 4); });
  edit("wave format 3, 16 bits is not 8- or 16-bit PCM",
       [](std::vector<uint8_t>& b) { b[At(b, "fmt ") + 8] = 3; });
  edit("truncated chunk 'art1'", [](std::vector<uint8_t>& b) { Put32(b, At(b, "art1") + 12, 99); });
  for (const auto& c : cases) {
    LoadResult r = LoadBank(c.second.data(), c.second.size());
    EXPECT_FALSE(r.bank) << c.first;
    EXPECT_EQ(r.reason, c.first);
  }
  // Every prefix, its RIFF size made to fit, so each inner chunk is cut in turn.
  for (size_t n = 12; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    Put32(cut, 4, uint32_t(n - 8));
    LoadResult r = LoadDls(cut.data(), cut.size());
    EXPECT_NE(bool(r.bank), !r.reason.empty()) << n;
  }
}

// The pool table's offsets as another DLS reader takes them: every instrument names its
// wave by sample rate, which differs between the two waves.
TEST(DlsRefusal, AnotherReaderAgreesOnTheTestBank) {
  if (std::system("command -v dlsdump > /dev/null 2>&1") != 0) GTEST_SKIP() << "no dlsdump";
  const std::string path = ::testing::TempDir() + "zsynth-organ.dls";
  {
    std::vector<uint8_t> bytes = testbank::WriteDls(Organ(false));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
  }
  FILE* p = popen(("dlsdump '" + path + "' 2>&1").c_str(), "r");
  ASSERT_TRUE(p);
  std::string out;
  char buf[512];
  while (fgets(buf, sizeof buf, p)) out += buf;
  pclose(p);
  std::remove(path.c_str());
  EXPECT_NE(out.find("\"Organ\",  MIDIBank=386, MIDIProgram=19"), std::string::npos) << out;
  EXPECT_NE(out.find("Sample: 32000Hz, KeyRange=0-63"), std::string::npos) << out;
  EXPECT_NE(out.find("Sample: 11025Hz, KeyRange=64-127, VelocityRange=10-127"), std::string::npos) << out;
}

}  // namespace
