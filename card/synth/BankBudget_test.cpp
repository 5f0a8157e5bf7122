// The bank budget against the costliest banks a few bytes can make. Cost is measured by
// what the reader builds (regions, samples, articulation blocks), never by a clock; the
// times are printed for the record.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "BankLoad.h"
#include "CostlyBanks_test.h"
#include "card/core/BankCost.h"

using namespace zsynth;

namespace {

constexpr size_t kMaxInput = 1u << 20;
constexpr size_t kMaxBytes = 64u << 20;

struct Measured {
  LoadResult result;
  double ms;
};

Measured Load(const std::vector<uint8_t>& file, const char* what) {
  const auto t0 = std::chrono::steady_clock::now();
  Measured m{LoadBank(file.data(), file.size()), 0};
  m.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  std::printf("  %-44s %7zu bytes  %8.1f ms  %s\n", what, file.size(), m.ms,
              m.result.bank ? "loaded" : m.result.reason.c_str());
  return m;
}

// What an accepted bank holds, in bytes: regions, samples, names.
size_t Footprint(const Bank& bank) {
  size_t bytes = bank.pcm.size() * sizeof(int16_t);
  for (const Instrument& in : bank.instruments) bytes += sizeof in + in.regions.size() * sizeof(Region);
  return bytes;
}

size_t Regions(const Bank& bank) {
  size_t n = 0;
  for (const Instrument& in : bank.instruments) n += in.regions.size();
  return n;
}

TEST(BankBudget, ASoundFontOfManyPresetZonesOverOneInstrumentIsRefused) {
  // 1000 x 1000 zone pairs from 16 KB: a million regions before the budget.
  const auto bomb = costly::Sf2(1, 1000, 1000);
  ASSERT_LT(bomb.size(), 20000u);
  const Measured m = Load(bomb, "SF2, 1 preset x 1000 zones x 1000 zones");
  EXPECT_FALSE(m.result.bank);
  EXPECT_NE(m.result.reason.find("more memory or time than a bank may"), std::string::npos) << m.result.reason;
  EXPECT_NE(m.result.reason.find("1000000 regions"), std::string::npos) << m.result.reason;
}

TEST(BankBudget, TheCostliestAcceptedSoundFontStaysWithinItsBudget) {
  // Presets sharing one large instrument, as cheap General MIDI sets do, up to the limit.
  const auto shared = costly::Sf2(128, 1, 128);
  const Measured gm = Load(shared, "SF2, 128 presets over one 128-zone instrument");
  ASSERT_TRUE(gm.result.bank) << gm.result.reason;
  EXPECT_EQ(Regions(*gm.result.bank), 128u * 128u);

  const auto widest = costly::Sf2(256, 4, 64);  // exactly kBankMaxRegions pairs
  ASSERT_LT(widest.size(), kMaxInput);
  const Measured m = Load(widest, "SF2, 256 presets x 4 zones x 64 zones");
  ASSERT_TRUE(m.result.bank) << m.result.reason;
  EXPECT_EQ(Regions(*m.result.bank), kv22::kBankMaxRegions);
  EXPECT_LE(Footprint(*m.result.bank), kMaxBytes);
  EXPECT_FALSE(Load(costly::Sf2(257, 4, 64), "SF2, one preset more").result.bank);
}

TEST(BankBudget, RegionsAreBoundedByTheZonesTheFileHolds) {
  // 200 x 200 = 40000 pairs from 400 zones: within the fixed limit, past 64 per zone.
  const Measured m = Load(costly::Sf2(1, 200, 200), "SF2, 1 preset x 200 zones x 200 zones");
  EXPECT_FALSE(m.result.bank);
  EXPECT_NE(m.result.reason.find("40000 regions from 400 zones"), std::string::npos) << m.result.reason;
}

TEST(BankBudget, ADlsArticulationSharedByManyRegionsIsRefused) {
  // 8000 regions each taking over 20000 blocks: 160 M blocks applied from 700 KB.
  const auto bomb = costly::Dls(8000, 20000);
  ASSERT_LT(bomb.size(), kMaxInput);
  const Measured m = Load(bomb, "DLS, 8000 regions x 20000 shared blocks");
  EXPECT_FALSE(m.result.bank);
  EXPECT_NE(m.result.reason.find("more memory or time than a bank may"), std::string::npos) << m.result.reason;

  const Measured ok = Load(costly::Dls(2000, 2000), "DLS, 2000 regions x 2000 shared blocks");
  ASSERT_TRUE(ok.result.bank) << ok.result.reason;
  EXPECT_EQ(Regions(*ok.result.bank), 2000u);
  EXPECT_LE(Footprint(*ok.result.bank), kMaxBytes);
}

TEST(BankBudget, ADlsOfTheMostRegionsAMegabyteHoldsLoadsWithinItsBudget) {
  const auto many = costly::Dls(16000, 0);
  ASSERT_LT(many.size(), kMaxInput);
  const Measured m = Load(many, "DLS, 16000 regions");
  ASSERT_TRUE(m.result.bank) << m.result.reason;
  EXPECT_EQ(Regions(*m.result.bank), 16000u);
  EXPECT_LE(Footprint(*m.result.bank), kMaxBytes);
}

TEST(BankBudget, ThePoolTableOfAMegabyteOfWavesIsReadByLookup) {
  // 20000 waves, each cue found among all of them: printed, for the record.
  const auto pool = costly::DlsPool(20000);
  ASSERT_LT(pool.size(), kMaxInput);
  const Measured m = Load(pool, "DLS, 20000 waves and cues");
  ASSERT_TRUE(m.result.bank) << m.result.reason;
  EXPECT_EQ(m.result.bank->pcm.size(), 20000u);
}

TEST(BankBudget, FilesPastTheLargestBankAreRefusedUnread) {
  std::vector<uint8_t> head = costly::Sf2(1, 1, 1);
  const LoadResult r = LoadBank(head.data(), size_t(kv22::kBankMaxFileBytes) + 1);
  EXPECT_FALSE(r.bank);
  EXPECT_NE(r.reason.find("larger than the 128 MiB a bank may have"), std::string::npos) << r.reason;
}

}  // namespace
