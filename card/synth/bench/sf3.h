// A SoundFont 2 file re-written as SoundFont 3: the same presets, every sample encoded with
// libvorbis, so the bench can play a real General MIDI bank compressed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zsynth::bench {

// Empty with `reason` set when the file is not a SoundFont 2 this can re-write.
std::vector<uint8_t> Sf2ToSf3(const std::vector<uint8_t>& sf2, float quality, std::string& reason);

}  // namespace zsynth::bench
