// RIFF WAVE reader shared by the control panel and the player: one call reads the
// format fields and the whole sample block of a file.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>

struct WaveInfo {
  uint32_t nSamplesPerSec;
  uint16_t wBitsPerSample;
  uint16_t nBlockAlign;
  uint16_t nChannels;
  uint16_t wFormatTag;
  uint32_t nAvgBytesPerSec;
  int32_t dwDataLength;  // sample bytes actually read
};

// Reads "fmt " directly after the 12-byte header and "data" directly after "fmt ".
// Returns a block from malloc (release it with free) of the data chunk's declared size, but
// never more than 64 KiB past the bytes the file holds, of which info->dwDataLength bytes
// were read; info is written only then. Null when the file cannot be read that way (a fmt
// chunk shorter than its 16 bytes of fields among them); info is then left untouched. Only
// the first fmt/data pair is read.
void* ReadWaveFile(const char* path, WaveInfo* info);

// Owner for the block ReadWaveFile returns.
struct WaveFree {
  void operator()(void* p) const { std::free(p); }
};
using WaveBlock = std::unique_ptr<void, WaveFree>;
