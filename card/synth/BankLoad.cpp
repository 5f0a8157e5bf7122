#include "BankLoad.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>
#include <vector>

#include "BankReaders.h"
#include "Riff.h"
#include "card/core/BankCost.h"

namespace zsynth {

BankKind DetectBank(const uint8_t* data, size_t size) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0) return BankKind::kUnknown;
  if (std::memcmp(data + 8, "DLS ", 4) == 0) return BankKind::kDls;
  if (std::memcmp(data + 8, "sfbk", 4) == 0) return BankKind::kSf2;
  return BankKind::kUnknown;
}

namespace {

std::string TooLarge(uint64_t size) {
  return "a bank of " + std::to_string(size) + " bytes is larger than the " +
         std::to_string(kv22::kBankMaxFileBytes >> 20) + " MiB a bank may have";
}

// Top-level chunks past the card's limit: it reads each one's header when it probes.
bool TooManyChunks(const uint8_t* data, size_t size) {
  const uint32_t riffSize = riff::Le32(data + 4);
  if (riffSize < 4 || riffSize > size - 8) return false;  // the reader refuses it itself
  riff::Walker w(data + 12, riffSize - 4);
  riff::Chunk c;
  uint32_t n = 0;
  while (w.Next(c)) {
    if (++n > kv22::kBankMaxChunks) return true;
  }
  return false;
}

LoadResult Refused(const std::string& why) { return LoadResult{nullptr, why}; }

}  // namespace

LoadResult LoadBank(const uint8_t* data, size_t size) {
  if (size > kv22::kBankMaxFileBytes) return Refused(TooLarge(size));
  // Loaders run inside programs we do not own: running short of memory is a refusal.
  try {
    const BankKind kind = DetectBank(data, size);
    if (kind != BankKind::kUnknown && TooManyChunks(data, size)) {
      return Refused("more than " + std::to_string(kv22::kBankMaxChunks) + " top-level chunks");
    }
    switch (kind) {
      case BankKind::kDls: return LoadDls(data, size);
      case BankKind::kSf2: return LoadSf2(data, size);
      default: return Refused("not a DLS or SoundFont 2 bank");
    }
  } catch (const std::bad_alloc&) {
    return Refused("not enough memory to load the bank");
  } catch (const std::length_error&) {
    return Refused("not enough memory to load the bank");
  }
}

LoadResult LoadBankFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return LoadResult{nullptr, "cannot open " + path};
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0) return LoadResult{nullptr, "cannot read " + path};
  if (uint64_t(size) > kv22::kBankMaxFileBytes) return Refused(TooLarge(uint64_t(size)));
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return Refused("not enough memory to load the bank");
  }
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return LoadResult{nullptr, "cannot read " + path};
  return LoadBank(bytes.data(), bytes.size());
}

std::string BudgetReason(kv22::BankVerdict verdict, const kv22::BankCost& cost) {
  return std::string(kv22::BankVerdictText(verdict)) + " (" + std::to_string(cost.regions) + " regions from " +
         std::to_string(cost.zones) + " zones, " + std::to_string(cost.connections) + " articulation blocks)";
}

LoadResult Finish(std::unique_ptr<Bank> bank, const std::string& reason) {
  if (!reason.empty()) return LoadResult{nullptr, reason};
  return LoadResult{std::shared_ptr<const Bank>(std::move(bank)), ""};
}

float TimecentsToSeconds(double timecents) { return float(std::exp2(timecents / 1200.0)); }

float AbsCentsToHz(double cents) { return float(8.176 * std::exp2(cents / 1200.0)); }

}  // namespace zsynth
