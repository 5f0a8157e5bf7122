// First cut: tells the formats apart; the readers come next.
#include "BankLoad.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace zsynth {

BankKind DetectBank(const uint8_t* data, size_t size) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0) return BankKind::kUnknown;
  if (std::memcmp(data + 8, "DLS ", 4) == 0) return BankKind::kDls;
  if (std::memcmp(data + 8, "sfbk", 4) == 0) return BankKind::kSf2;
  return BankKind::kUnknown;
}

LoadResult LoadBank(const uint8_t* data, size_t size) {
  LoadResult r;
  r.reason = DetectBank(data, size) == BankKind::kUnknown ? "not a DLS or SoundFont 2 bank"
                                                          : "bank reader not built yet";
  return r;
}

LoadResult LoadBankFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return LoadResult{nullptr, "cannot open " + path};
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return LoadBank(bytes.data(), bytes.size());
}

}  // namespace zsynth
