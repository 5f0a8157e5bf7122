// Sample decoding for the mixer: any PCM width or 32-bit float, any channel
// count, folded to the mixer's one or two channels. Real-time safe.
#pragma once

#include <cstdint>

namespace trivox {

constexpr int kMaxSourceChannels = 8;

struct SampleCoding {
  uint16_t channels = 1;     // 1..kMaxSourceChannels
  uint16_t bits = 16;        // 8 (unsigned), 16, 24, 32 (signed), or 32 float
  bool floating = false;
  uint32_t channelMask = 0;  // speaker of each channel; 0: the usual order
};

// Decodes `frames` whole frames from `src` into `left` and, when `right` is
// given, `right`; without `right`, `left` gets the mono fold. Samples come out
// in -1..1: float input is clamped there and not-a-number becomes silence.
void decodeFrames(const uint8_t* src, int frames, const SampleCoding& coding, float* left, float* right);

}  // namespace trivox
