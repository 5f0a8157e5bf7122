#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "BankBytes_test.h"
#include "BankLoad.h"
#include "BankReaders.h"
#include "TestBankWriter.h"

using namespace zsynth;
using testbank::Gen;

namespace {

std::vector<int16_t> Ramp(int n) {
  std::vector<int16_t> v;
  for (int i = 0; i < n; ++i) v.push_back(int16_t(i * 7 - 300));
  return v;
}

// Two samples, a piano whose preset and instrument both have global zones, and a kit.
testbank::Recipe TwoPrograms() {
  testbank::Recipe recipe;
  testbank::Sample a;
  a.name = "ramp";
  a.pcm = Ramp(200);
  a.rate = 22050;
  a.rootKey = 57;
  a.fineTune = -12;
  a.loopStart = 50;
  a.loopEnd = 150;
  a.loop = LoopMode::kUntilRelease;
  testbank::Sample b;
  b.name = "click";
  b.pcm = Ramp(64);
  recipe.samples = {a, b};

  testbank::Program piano;
  piano.name = "Piano";
  piano.program = 1;
  piano.bankMsb = 8;
  piano.instGlobal = {{48, 60}, {34, -1200}, {37, 200}, {29, 250}, {17, -250}};
  piano.presetGlobal = {{48, 40}};
  piano.presetZone = {{43, 40 | 100 << 8}, {52, 5}, {34, 1200}};
  testbank::Zone low, high;
  low.keyHi = 59;
  low.gens = {{0, 10}, {3, -20}, {51, 2}, {58, 62}, {57, 3}, {38, 0}, {8, 9000}, {9, 100}};
  high.keyLo = 60;
  high.velLo = 64;
  high.sample = 0;
  high.gens = {{48, 100}, {31, 100}, {22, -1200}};
  piano.zones = {low, high};

  testbank::Program kit;
  kit.name = "Kit";
  kit.drum = true;
  testbank::Zone hit;
  hit.sample = 1;
  hit.keyLo = hit.keyHi = 36;
  hit.gens = {{16, 300}, {15, 1200}};
  kit.zones = {hit};
  recipe.programs = {piano, kit};
  return recipe;
}

LoadResult Load(const std::vector<uint8_t>& bytes) { return LoadBank(bytes.data(), bytes.size()); }

const Instrument* Named(const Bank& bank, const std::string& name) {
  for (const Instrument& in : bank.instruments) {
    if (in.name == name) return &in;
  }
  return nullptr;
}

TEST(Sf2Reader, FlattensPresetsOverInstrumentsIntoFinalValues) {
  std::vector<uint8_t> bytes = testbank::WriteSf2(TwoPrograms());
  ASSERT_EQ(DetectBank(bytes.data(), bytes.size()), BankKind::kSf2);
  LoadResult r = Load(bytes);
  ASSERT_TRUE(r.bank) << r.reason;
  const Bank& bank = *r.bank;
  EXPECT_EQ(bank.name, "Test bank");
  ASSERT_EQ(bank.pcm.size(), 200u + 46 + 64 + 46);
  EXPECT_EQ(bank.pcm[1], -293);

  const Instrument* piano = Named(bank, "Piano");
  ASSERT_TRUE(piano);
  EXPECT_FALSE(piano->drum);
  EXPECT_EQ(piano->bankMsb, 8);
  EXPECT_EQ(piano->program, 1);
  ASSERT_EQ(piano->regions.size(), 2u);
  const Region& lo = piano->regions[0];
  // The preset's key range 40..100 narrows the instrument zone's 0..59.
  EXPECT_EQ(lo.keyLo, 40);
  EXPECT_EQ(lo.keyHi, 59);
  EXPECT_EQ(lo.start, 10u);
  EXPECT_EQ(lo.end, 200u);
  EXPECT_EQ(lo.loopStart, 50u);
  EXPECT_EQ(lo.loopEnd, 130u);
  EXPECT_EQ(lo.loop, LoopMode::kUntilRelease);
  EXPECT_EQ(lo.sampleRate, 22050u);
  EXPECT_EQ(lo.rootKey, 62);                       // overridden
  EXPECT_FLOAT_EQ(lo.tuneCents, 200 + 5 - 12);     // coarse, preset fine, sample correction
  EXPECT_FLOAT_EQ(lo.attenuation, (60 + 40) / 10.0f);  // instrument global + preset global
  EXPECT_NEAR(lo.volEnv.attack, 1.0f, 1e-5);       // -1200 + 1200 timecents
  EXPECT_NEAR(lo.volEnv.sustain, std::pow(10.0, -200 / 200.0), 1e-6);
  EXPECT_NEAR(lo.volEnv.release, 1.0f, 1e-6);
  EXPECT_NEAR(lo.modEnv.sustain, 0.75f, 1e-6);
  EXPECT_FLOAT_EQ(lo.pan, -0.5f);
  EXPECT_FLOAT_EQ(lo.filterCutoff, 9000);
  EXPECT_FLOAT_EQ(lo.filterQ, 10);
  EXPECT_EQ(lo.exclusiveClass, 3);

  const Region& hi = piano->regions[1];
  EXPECT_EQ(hi.keyLo, 60);
  EXPECT_EQ(hi.keyHi, 100);
  EXPECT_EQ(hi.velLo, 64);
  EXPECT_EQ(hi.rootKey, 57);  // the sample's own
  EXPECT_FLOAT_EQ(hi.attenuation, (100 + 40) / 10.0f);  // local replaces global
  EXPECT_FLOAT_EQ(hi.volEnv.keyToHold, 0);
  EXPECT_FLOAT_EQ(hi.modEnv.keyToHold, 100);
  EXPECT_NEAR(hi.modLfo.frequency, 8.176f / 2, 1e-4);
  EXPECT_NEAR(hi.volEnv.delay, std::exp2(-10.0), 1e-7);  // the default -12000 timecents
  EXPECT_EQ(hi.exclusiveClass, 0);

  const Instrument* kit = bank.find(true, 0, 0, 0);
  ASSERT_TRUE(kit);
  EXPECT_EQ(kit->name, "Kit");
  ASSERT_EQ(kit->regions.size(), 1u);
  EXPECT_EQ(kit->regions[0].start, 246u);
  EXPECT_EQ(kit->regions[0].end, 310u);
  EXPECT_EQ(kit->regions[0].loop, LoopMode::kNone);
  EXPECT_FLOAT_EQ(kit->regions[0].reverbSend, 0.3f);
  EXPECT_FLOAT_EQ(kit->regions[0].chorusSend, 1.0f);
}

TEST(Sf2Reader, OffsetsStayInsideTheirSample) {
  testbank::Recipe recipe = TwoPrograms();
  // Offsets far past either end of the sample, coarse ones included.
  recipe.programs[1].zones[0].gens = {{0, -30000}, {4, -5}, {1, 30000}, {12, 3}};
  LoadResult r = Load(testbank::WriteSf2(recipe));
  ASSERT_TRUE(r.bank) << r.reason;
  const Region& hit = r.bank->find(true, 0, 0, 0)->regions[0];
  EXPECT_EQ(hit.start, 246u);
  EXPECT_EQ(hit.end, 310u);
}

TEST(Sf2Reader, RefusesMalformedBanksWithAReason) {
  const std::vector<uint8_t> good = testbank::WriteSf2(TwoPrograms());
  DamagedBanks damaged{good, {}};
  auto edit = [&](const char* why, auto change) { damaged.add(why, change); };
  edit("sample 'ramp' points outside the pool",
       [](std::vector<uint8_t>& b) { Put32(b, At(b, "ramp") + 24, 100000); });
  edit("zone names sample 9 of 2", [](std::vector<uint8_t>& b) {
    size_t igen = At(b, "igen") + 8;
    for (size_t g = igen;; g += 4) {
      if (b[g] == 53 && b[g + 1] == 0) { b[g + 2] = 9; break; }
    }
  });
  edit("'shdr' size 91 is not a whole number of records", [](std::vector<uint8_t>& b) {
    Put32(b, At(b, "shdr") + 4, 91);
  });
  edit("no 'ifil' version chunk", [](std::vector<uint8_t>& b) { std::memcpy(&b[At(b, "ifil")], "xfil", 4); });
  edit("no 'shdr' chunk", [](std::vector<uint8_t>& b) { std::memcpy(&b[At(b, "shdr")], "xhdr", 4); });
  edit("truncated chunk 'phdr' in 'pdta'", [](std::vector<uint8_t>& b) { Put32(b, At(b, "phdr") + 4, 1u << 30); });
  edit("zone index outside its bag table", [](std::vector<uint8_t>& b) {
    b[At(b, "EOP") + 24] = 200;  // the terminal preset's first bag
  });
  edit("RIFF size runs past the end of the file", [](std::vector<uint8_t>& b) { b.pop_back(); });
  edit("'INFO' is not the first list", [](std::vector<uint8_t>& b) { std::memcpy(&b[At(b, "INFO")], "JUNK", 4); });
  edit("RIFF form 'sfbX' is not 'sfbk'", [](std::vector<uint8_t>& b) { b[11] = 'X'; });
  for (const Damaged& c : damaged.cases) {
    LoadResult r = LoadSf2(c.bytes.data(), c.bytes.size());
    EXPECT_FALSE(r.bank) << c.why;
    EXPECT_EQ(r.reason, c.why);
  }
}

// Every prefix, its RIFF size made to fit, so the cut lands inside each inner chunk in turn.
TEST(Sf2Reader, NeverReadsPastACutFile) {
  const std::vector<uint8_t> good = testbank::WriteSf2(TwoPrograms());
  for (size_t n = 12; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));  // no spare capacity
    Put32(cut, 4, uint32_t(n - 8));
    LoadResult r = LoadSf2(cut.data(), cut.size());
    EXPECT_NE(bool(r.bank), !r.reason.empty()) << n;
  }
}

// The bank the card installs as its default: every General MIDI program and the standard kit.
TEST(DefaultBank, LoadsCompletely) {
  const char* path = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  if (std::FILE* f = std::fopen(path, "rb")) {
    std::fclose(f);
  } else {
    GTEST_SKIP() << path << " is not installed";
  }
  const auto t0 = std::chrono::steady_clock::now();
  LoadResult r = LoadBankFile(path);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  ASSERT_TRUE(r.bank) << r.reason;
  size_t regions = 0;
  for (const Instrument& in : r.bank->instruments) regions += in.regions.size();
  std::printf("default bank: %zu presets, %zu regions, %zu sample frames (%.1f MB), loaded in %.0f ms\n",
              r.bank->instruments.size(), regions, r.bank->pcm.size(),
              r.bank->pcm.size() * 2 / 1e6, ms);
  for (int p = 0; p < 128; ++p) {
    const Instrument* in = r.bank->find(false, 0, 0, uint8_t(p));
    ASSERT_TRUE(in) << "program " << p;
    EXPECT_FALSE(in->drum);
    EXPECT_EQ(in->program, p);
  }
  const Instrument* kit = r.bank->find(true, 0, 0, 0);
  ASSERT_TRUE(kit);
  EXPECT_EQ(kit->program, 0);
  // The standard kit's keys: bass drum 35 to open triangle 81.
  for (int key = 35; key <= 81; ++key) {
    bool found = false;
    for (const Region& g : kit->regions) found = found || (g.keyLo <= key && key <= g.keyHi);
    EXPECT_TRUE(found) << "drum key " << key;
  }
}

}  // namespace
