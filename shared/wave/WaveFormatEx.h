// The wave format as DirectSound takes it, for the players of both programs.
#pragma once
#include <windows.h>
#include <mmreg.h>

#include "shared/wave/WaveFile.h"

// The six format fields of a file's "fmt " chunk. The reader never keeps further format
// bytes, so there are none to announce.
inline WAVEFORMATEX WaveFormatOf(const WaveInfo& info) {
  WAVEFORMATEX f = {};
  f.wFormatTag = info.wFormatTag;
  f.nChannels = info.nChannels;
  f.nSamplesPerSec = info.nSamplesPerSec;
  f.nAvgBytesPerSec = info.nAvgBytesPerSec;
  f.nBlockAlign = info.nBlockAlign;
  f.wBitsPerSample = info.wBitsPerSample;
  f.cbSize = 0;
  return f;
}
