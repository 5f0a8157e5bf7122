// libFuzzer target for the card's whole bank probe, as the driver runs it: the head, a walk
// of every top-level chunk by reads at offsets, then the preset or instrument list counted.
// The first input byte picks how much of the head the driver got; the verdict must not
// depend on it (but for the chunk limit, which a short head meets before a bad chunk), and
// no read may go past the file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "card/core/BankCost.h"

namespace {

struct File {
  const uint8_t* data;
  size_t size;
};

uint32_t ReadAt(void* context, uint64_t offset, uint8_t* to, uint32_t n) {
  const File& f = *static_cast<const File*>(context);
  if (offset >= f.size) return 0;
  const uint32_t got = uint32_t(f.size - offset < n ? f.size - offset : n);
  std::memcpy(to, f.data + offset, got);
  return got;
}

kv22::BankVerdict Probe(const File& f, uint32_t headSize, std::vector<uint16_t>& counts) {
  std::vector<uint8_t> head(f.data, f.data + (headSize < f.size ? headSize : f.size));
  kv22::BankList list;
  const kv22::BankVerdict v =
      kv22::FindBankList(&ReadAt, const_cast<File*>(&f), head.data(), uint32_t(head.size()), f.size, list);
  if (v != kv22::kBankLooksValid) return v;
  if (list.offset + list.size > f.size) __builtin_trap();
  std::vector<uint8_t> body(f.data + list.offset, f.data + list.offset + list.size);
  return kv22::CheckBankList(list, body.data(), counts.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint32_t headSize = 12 + data[0] * 4u;
  const File f{data + 1, size - 1};
  std::vector<uint16_t> counts(kv22::kBankCountedInstruments);
  const kv22::BankVerdict whole = Probe(f, 65536, counts);
  const kv22::BankVerdict part = Probe(f, headSize, counts);
  if (whole > kv22::kBankBadTables || part > kv22::kBankBadTables) __builtin_trap();
  if (whole != part && whole != kv22::kBankOverBudget && part != kv22::kBankOverBudget) __builtin_trap();
  return 0;
}
