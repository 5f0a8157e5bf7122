#include "card/core/BankProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "BankBytes_test.h"
#include "BankLoad.h"
#include "CostlyBanks_test.h"
#include "TestBankSf3.h"
#include "TestBankWriter.h"
#include "card/core/BankCost.h"

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

// The card's whole probe as the driver runs it: the head, then the list read from the file.
uint32_t ReadAt(void* context, uint64_t offset, uint8_t* to, uint32_t n) {
  const Bytes& file = *static_cast<const Bytes*>(context);
  if (offset >= file.size()) return 0;
  const uint32_t got = uint32_t(std::min<uint64_t>(n, file.size() - offset));
  std::memcpy(to, file.data() + offset, got);
  return got;
}

BankVerdict ProbeFile(const Bytes& file) {
  BankList list;
  const uint32_t head = uint32_t(std::min<size_t>(file.size(), 65536));
  const BankVerdict found = FindBankList(&ReadAt, const_cast<Bytes*>(&file), file.data(), head, file.size(), list);
  if (found != kBankLooksValid) return found;
  Bytes body(list.size);
  if (ReadAt(const_cast<Bytes*>(&file), list.offset, body.data(), list.size) != list.size) return kBankBadChunk;
  std::vector<uint16_t> counts(kBankCountedInstruments);
  return CheckBankList(list, body.data(), counts.data());
}

TEST(BankFileProbe, RefusesWhatTheSynthesizerRefusesForItsCost) {
  const Bytes costly[] = {zsynth::costly::Sf2(1, 1000, 1000), zsynth::costly::Sf2(257, 4, 64),
                          zsynth::costly::Sf2(1, 200, 200), zsynth::costly::Dls(8000, 20000)};
  for (const Bytes& b : costly) {
    EXPECT_EQ(ProbeBank(b.data(), uint32_t(std::min<size_t>(b.size(), 65536)), b.size()), kBankLooksValid)
        << "the head alone cannot tell";
    EXPECT_EQ(ProbeFile(b), kBankOverBudget);
    EXPECT_FALSE(zsynth::LoadBank(b.data(), b.size()).bank);
  }
  const Bytes fine[] = {zsynth::costly::Sf2(256, 4, 64), zsynth::costly::Dls(2000, 2000),
                        zsynth::testbank::WriteSf2(zsynth::testbank::SquareBank()),
                        zsynth::testbank::WriteDls(zsynth::testbank::SquareBank())};
  for (const Bytes& b : fine) {
    EXPECT_EQ(ProbeFile(b), kBankLooksValid);
    EXPECT_TRUE(zsynth::LoadBank(b.data(), b.size()).bank);
  }
}

TEST(BankFileProbe, WalksTheWholeFileForTheChunksABankNeeds) {
  Bytes sf2 = zsynth::testbank::WriteSf2(Small());
  // The head of 64 bytes sees no further than 'INFO'; the walk finds what is missing.
  Bytes noPdta = sf2;
  std::memcpy(&noPdta[zsynth::At(noPdta, "pdta")], "xdta", 4);
  EXPECT_EQ(ProbeFile(noPdta), kBankMissingChunk);
  Bytes badTables = sf2;
  zsynth::Put32(badTables, zsynth::At(badTables, "pbag") + 4, 3);  // a bag table of no whole record
  EXPECT_EQ(ProbeFile(badTables), kBankBadTables);
  Bytes header = sf2;
  header[zsynth::At(header, "phdr") + 8 + 24] = 9;  // the first preset's bags start past its last
  EXPECT_EQ(ProbeFile(header), kBankBadTables);
  EXPECT_FALSE(zsynth::LoadBank(header.data(), header.size()).bank);
  EXPECT_STREQ(BankVerdictText(kBankOverBudget), "loading it would take more memory or time than a bank may");
}

TEST(BankFileProbe, AcceptsTheDefaultBank) {
  std::ifstream in("/usr/share/sounds/sf2/TimGM6mb.sf2", std::ios::binary);
  if (!in) GTEST_SKIP() << "TimGM6mb.sf2 is not installed";
  Bytes all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(ProbeFile(all), kBankLooksValid);
}

}  // namespace
