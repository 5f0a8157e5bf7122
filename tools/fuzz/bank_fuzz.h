// What every bank fuzz target checks: a bank the reader accepts keeps every region inside
// its samples and within the budget, and the card's whole probe of the same file (the one
// the driver runs) accepts it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "card/core/BankCost.h"
#include "card/core/BankProbe.h"
#include "card/synth/BankLoad.h"

inline uint32_t FuzzReadAt(void* context, uint64_t offset, uint8_t* to, uint32_t n) {
  const auto* file = static_cast<const std::vector<uint8_t>*>(context);
  if (offset >= file->size()) return 0;
  const uint32_t got = uint32_t(file->size() - offset < n ? file->size() - offset : n);
  std::memcpy(to, file->data() + offset, got);
  return got;
}

// The driver's probe, on memory.
inline kv22::BankVerdict ProbeWhole(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  kv22::BankList list;
  const uint32_t head = uint32_t(size < 65536 ? size : 65536);
  const kv22::BankVerdict v = kv22::FindBankList(&FuzzReadAt, &file, data, head, size, list);
  if (v != kv22::kBankLooksValid) return v;
  std::vector<uint16_t> counts(kv22::kBankCountedInstruments);
  return kv22::CheckBankList(list, data + list.offset, counts.data());
}

inline void CheckBank(const zsynth::LoadResult& r, const uint8_t* data, size_t size) {
  const kv22::BankVerdict probed = ProbeWhole(data, size);
  if (!r.bank) {
    if (r.reason.empty()) __builtin_trap();
    return;
  }
  if (probed != kv22::kBankLooksValid) __builtin_trap();
  size_t regions = 0;
  for (const zsynth::Instrument& in : r.bank->instruments) regions += in.regions.size();
  if (regions > kv22::kBankMaxRegions) __builtin_trap();
  if (!r.reason.empty() || r.bank->instruments.empty()) __builtin_trap();
  const size_t pool = r.bank->pcm.size();
  for (const zsynth::Instrument& in : r.bank->instruments) {
    for (const zsynth::Region& g : in.regions) {
      if (!(g.start < g.end && g.end <= pool)) __builtin_trap();
      if (g.loop != zsynth::LoopMode::kNone &&
          !(g.start <= g.loopStart && g.loopStart < g.loopEnd && g.loopEnd <= g.end)) {
        __builtin_trap();
      }
      if (g.keyLo > g.keyHi || g.keyHi > 127 || g.velLo > g.velHi || g.velHi > 127) __builtin_trap();
      if (g.sampleRate == 0 || !(g.attenuation >= 0) || g.pan < -1 || g.pan > 1) __builtin_trap();
    }
  }
  const uint32_t head = uint32_t(size < 65536 ? size : 65536);
  if (kv22::ProbeBank(data, head, size) != kv22::kBankLooksValid) __builtin_trap();
}
