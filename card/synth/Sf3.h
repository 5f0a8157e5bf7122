// SoundFont 3: a SoundFont 2 whose samples are Ogg Vorbis streams. Every sample is decoded
// once, at load, into the bank's 16-bit pool; nothing compressed reaches the voices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zsynth {

constexpr uint16_t kSampleVorbis = 0x10;  // 'shdr' sample type: an Ogg Vorbis stream
constexpr uint16_t kSampleRom = 0x8000;

// A sample as 'shdr' gives it. Compressed: start and end are bytes of 'smpl' and the loop is
// counted from the sample's first frame; otherwise all four are 16-bit words of 'smpl'.
struct SampleSpan {
  std::string name;
  uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0;
  uint16_t type = 0;
};

// Fills `pcm` with every sample but the ROM ones, decoded or copied, and moves each sample's
// points onto the pool. False, with the reason, on the first sample that cannot be used: a
// stream cut short, a stream that does not decode, more than one channel, or a stream that
// would decode to more than its share of memory.
bool DecodeSf3Samples(const uint8_t* smpl, size_t smplSize, std::vector<SampleSpan>& samples,
                      std::vector<int16_t>& pcm, std::string& reason);

}  // namespace zsynth
