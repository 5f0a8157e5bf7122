#include "card/core/BankProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "BankBytes_test.h"
#include "TestBankSf3.h"
#include "TestBankWriter.h"

using namespace kv22;

namespace {

using Bytes = std::vector<uint8_t>;

BankVerdict Probe(const Bytes& file, size_t head = 65536) {
  return ProbeBank(file.data(), uint32_t(std::min(head, file.size())), file.size());
}

zsynth::testbank::Recipe Small() {
  zsynth::testbank::Recipe recipe;
  zsynth::testbank::Sample s;
  s.pcm.assign(100, 1000);
  recipe.samples = {s};
  recipe.programs.resize(1);
  recipe.programs[0].zones.resize(1);
  return recipe;
}

TEST(BankProbe, AcceptsBanksWhetherSeenWholeOrInPart) {
  zsynth::testbank::Recipe recipe = Small();
  Bytes sf2 = zsynth::testbank::WriteSf2(recipe), dls = zsynth::testbank::WriteDls(recipe);
  recipe.dls2 = true;
  Bytes dls2 = zsynth::testbank::WriteDls(recipe);
  Bytes sf3 = zsynth::testbank::WriteSf3(recipe);  // a SoundFont 3: the same form
  for (const Bytes* b : {&sf2, &dls, &dls2, &sf3}) {
    EXPECT_EQ(Probe(*b), kBankLooksValid);
    for (size_t head : {12, 20, 64, 200}) EXPECT_EQ(Probe(*b, head), kBankLooksValid) << head;
    // A pad byte or trailing bytes after the RIFF data do no harm.
    Bytes longer = *b;
    longer.push_back(0);
    EXPECT_EQ(Probe(longer), kBankLooksValid);
  }
}

TEST(BankProbe, RefusesWhatIsNoBank) {
  const Bytes sf2 = zsynth::testbank::WriteSf2(Small()), dls = zsynth::testbank::WriteDls(Small());
  EXPECT_EQ(Probe(Bytes{}), kBankNotRiff);
  Bytes text(300, 'x');
  EXPECT_EQ(Probe(text), kBankNotRiff);
  Bytes wave = sf2;
  std::memcpy(&wave[8], "WAVE", 4);
  EXPECT_EQ(Probe(wave), kBankWrongForm);
  Bytes cut(sf2.begin(), sf2.end() - 1);  // a copy that stopped short
  EXPECT_EQ(Probe(cut), kBankSizeMismatch);
  EXPECT_EQ(Probe(cut, 64), kBankSizeMismatch);
  Bytes longChunk = dls;  // 'colh' claims the whole file
  longChunk[16] = 0xFF;
  longChunk[17] = 0xFF;
  EXPECT_EQ(Probe(longChunk), kBankBadChunk);
  Bytes noPdta = sf2;
  std::memcpy(&noPdta[zsynth::At(noPdta, "pdta")], "xdta", 4);
  EXPECT_EQ(Probe(noPdta), kBankMissingChunk);
  EXPECT_EQ(Probe(noPdta, 100), kBankLooksValid) << "the missing list lies past the head";
  Bytes noPtbl = dls;
  std::memcpy(&noPtbl[zsynth::At(noPtbl, "ptbl")], "xtbl", 4);
  EXPECT_EQ(Probe(noPtbl), kBankMissingChunk);
  Bytes infoLater = sf2;
  std::memcpy(&infoLater[zsynth::At(infoLater, "INFO")], "JUNK", 4);
  EXPECT_EQ(Probe(infoLater, 64), kBankMisordered);
  // Head larger than the file: only the file's bytes count.
  Bytes tiny = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'D', 'L', 'S', ' '};
  EXPECT_EQ(ProbeBank(tiny.data(), 4096, tiny.size()), kBankMissingChunk);
  EXPECT_STREQ(BankVerdictText(kBankMissingChunk), "a required chunk is missing");
}

TEST(BankProbe, AcceptsTheDefaultBankFromItsHead) {
  std::ifstream in("/usr/share/sounds/sf2/TimGM6mb.sf2", std::ios::binary);
  if (!in) GTEST_SKIP() << "TimGM6mb.sf2 is not installed";
  in.seekg(0, std::ios::end);
  Bytes all(size_t(in.tellg()));
  in.seekg(0, std::ios::beg);
  ASSERT_TRUE(in.read(reinterpret_cast<char*>(all.data()), long(all.size())));
  EXPECT_EQ(Probe(all), kBankLooksValid);
  EXPECT_EQ(Probe(all, all.size()), kBankLooksValid);
}

}  // namespace
