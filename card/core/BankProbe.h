// The card's first look at an instrument bank it is asked to load: from the head of the
// file and the file's size, does it look like a DLS or SoundFont 2 bank? Freestanding (the
// kernel driver runs it): no standard library, no allocation.
#pragma once
#include <stdint.h>

namespace kv22 {

enum BankVerdict : uint32_t {
  kBankLooksValid = 0,
  kBankNotRiff = 1,        // no RIFF header
  kBankWrongForm = 2,      // a RIFF file of another kind
  kBankSizeMismatch = 3,   // the RIFF size claims more than the file holds
  kBankBadChunk = 4,       // a top-level chunk runs past the RIFF data
  kBankMissingChunk = 5,   // a chunk every bank of its kind needs is absent
  kBankMisordered = 6,     // SoundFont 2: the 'INFO' list does not come first
  kBankOverBudget = 7,     // loading it would cost more than any bank may (BankCost.h)
  kBankBadTables = 8,      // the preset, instrument or region tables do not hold together
};

// head: the first headSize bytes of a file of fileSize bytes. Chunks are checked as far as
// the head reaches; required chunks are demanded only when the whole RIFF data was seen.
BankVerdict ProbeBank(const uint8_t* head, uint32_t headSize, uint64_t fileSize);

const char* BankVerdictText(BankVerdict v);

}  // namespace kv22
