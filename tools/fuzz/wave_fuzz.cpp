// libFuzzer target for the wave reader: every input goes through a real file, as the
// programs read it.
#include "shared/wave/WaveFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/fuzz/FuzzInputFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzfile::Choose("WAVE_FUZZ_TMP", "wave_fuzz", ".wav");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzfile::Write(data, size);

  WaveInfo info;
  std::memset(&info, 0x5A, sizeof info);
  WaveInfo before = info;
  void* block = ReadWaveFile(fuzzfile::Path().c_str(), &info);
  if (!block) {
    // A failed read leaves the caller's record as it was.
    if (std::memcmp(&info, &before, sizeof info) != 0) __builtin_trap();
    return 0;
  }
  // The samples follow at least a 12-byte header and two 8-byte chunk headers.
  if (info.dwDataLength < 0 || static_cast<size_t>(info.dwDataLength) + 28 > size) __builtin_trap();
  // Touch every byte read so that the sanitizer sees a short block.
  const auto* p = static_cast<const volatile unsigned char*>(block);
  unsigned sum = 0;
  for (int32_t i = 0; i < info.dwDataLength; ++i) sum += p[i];
  (void)sum;
  std::free(block);
  return 0;
}
