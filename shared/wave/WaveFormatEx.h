// The wave format as DirectSound and the wave output take it: for the players of both programs
// and the card's own outputs.
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

// Plain PCM at `rate`, as a wave output is opened with.
inline WAVEFORMATEX PcmWaveFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
  WAVEFORMATEX f = {};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  f.wBitsPerSample = bits;
  f.cbSize = 0;
  return f;
}
