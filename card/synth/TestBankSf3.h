// SoundFont 3 banks for tests, their samples encoded with libvorbis: host builds only.
#pragma once

#include <cstdint>
#include <vector>

#include "TestBankWriter.h"

namespace zsynth {
namespace testbank {

// The recipe as SoundFont 3: every sample one mono Ogg Vorbis stream at `quality` (-0.1..1).
std::vector<uint8_t> WriteSf3(const Recipe& recipe, float quality = 0.6f);

// One mono Ogg Vorbis stream of `frames` samples, appended to `out`.
void EncodeVorbis(const int16_t* pcm, size_t frames, uint32_t rate, float quality, std::vector<uint8_t>& out);

}  // namespace testbank
}  // namespace zsynth
