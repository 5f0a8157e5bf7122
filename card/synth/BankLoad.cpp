#include "BankLoad.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

#include "BankReaders.h"

namespace zsynth {

BankKind DetectBank(const uint8_t* data, size_t size) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0) return BankKind::kUnknown;
  if (std::memcmp(data + 8, "DLS ", 4) == 0) return BankKind::kDls;
  if (std::memcmp(data + 8, "sfbk", 4) == 0) return BankKind::kSf2;
  return BankKind::kUnknown;
}

LoadResult LoadBank(const uint8_t* data, size_t size) {
  switch (DetectBank(data, size)) {
    case BankKind::kDls: return LoadDls(data, size);
    case BankKind::kSf2: return LoadSf2(data, size);
    default: return LoadResult{nullptr, "not a DLS or SoundFont 2 bank"};
  }
}

LoadResult LoadBankFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return LoadResult{nullptr, "cannot open " + path};
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0) return LoadResult{nullptr, "cannot read " + path};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return LoadResult{nullptr, "cannot read " + path};
  return LoadBank(bytes.data(), bytes.size());
}

LoadResult Finish(std::unique_ptr<Bank> bank, const std::string& reason) {
  if (!reason.empty()) return LoadResult{nullptr, reason};
  return LoadResult{std::shared_ptr<const Bank>(std::move(bank)), ""};
}

float TimecentsToSeconds(double timecents) { return float(std::exp2(timecents / 1200.0)); }

float AbsCentsToHz(double cents) { return float(8.176 * std::exp2(cents / 1200.0)); }

}  // namespace zsynth
