// libFuzzer target for the SoundFont 2 reader: the input is taken as a whole file.
#include "card/synth/BankReaders.h"
#include "tools/fuzz/bank_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckBank(zsynth::LoadSf2(data, size), data, size);
  return 0;
}
