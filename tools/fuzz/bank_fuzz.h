// What every bank fuzz target checks: a bank the reader accepts keeps every region inside
// its samples, and the card's quick look at the same file accepts it too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "card/core/BankProbe.h"
#include "card/synth/BankLoad.h"

inline void CheckBank(const zsynth::LoadResult& r, const uint8_t* data, size_t size) {
  if (!r.bank) {
    if (r.reason.empty()) __builtin_trap();
    return;
  }
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
