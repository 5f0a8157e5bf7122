// The bench's songs, written as standard MIDI files by a small generator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zsynth::bench {

struct Song {
  std::string name;
  std::vector<uint8_t> smf;
};

// A 32-voice and a 64-voice dense piece (with two voices a note), and a General MIDI piece with drums.
std::vector<Song> MakeSongs();

}  // namespace zsynth::bench
