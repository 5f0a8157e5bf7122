// Writes seed banks for the bank fuzz targets: bank_seeds sf2|dls DIR. The SoundFont target
// gets SoundFont 3 seeds too: the same reader takes both.
#include <cstdio>
#include <string>

#include "card/synth/TestBankSf3.h"
#include "card/synth/TestBankWriter.h"

using namespace zsynth::testbank;

namespace {

Recipe Varied() {
  Recipe recipe;
  Sample a;
  a.name = "a";
  a.pcm.assign(64, 3000);
  a.loopStart = 8;
  a.loopEnd = 40;
  a.loop = zsynth::LoopMode::kForward;
  Sample b = a;
  b.eightBit = true;
  b.loop = zsynth::LoopMode::kUntilRelease;
  recipe.samples = {a, b};
  Program p;
  p.presetGlobal = {{48, 20}};
  p.instGlobal = {{34, -3000}, {37, 100}};
  p.art = {{0, 0, 0x206, 0, 1 << 16}, {1, 0, 3, 0, 50 << 16}};
  Zone z1, z2;
  z1.keyHi = 60;
  z1.gens = {{0, 4}, {51, -1}};
  z2.keyLo = 61;
  z2.sample = 1;
  z2.art = {{0, 0, 0x500, 0, 7000 << 16}};
  p.zones = {z1, z2};
  Program kit;
  kit.drum = true;
  kit.zones = {Zone{}};
  recipe.programs = {p, kit};
  return recipe;
}

bool Write(const std::string& path, const std::vector<uint8_t>& b) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const bool sf2 = std::string(argv[1]) == "sf2";
  Recipe level1 = Varied(), level2 = Varied();
  level2.dls2 = true;
  const std::string dir = argv[2];
  bool ok = Write(dir + "/varied", sf2 ? WriteSf2(level1) : WriteDls(level1));
  ok = ok && Write(dir + "/level2", sf2 ? WriteSf2(SquareBank()) : WriteDls(level2));
  if (sf2) {
    // Low quality: small streams, so more of each run goes into the pages and packets.
    ok = ok && Write(dir + "/sf3-varied", WriteSf3(level1, 0.0f));
    ok = ok && Write(dir + "/sf3-square", WriteSf3(SquareBank(), 0.0f));
  }
  return ok ? 0 : 1;
}
