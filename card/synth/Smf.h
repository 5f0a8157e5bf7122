// Standard MIDI files (formats 0 and 1) read into one time-ordered list of messages, with
// the tempo map applied. Bounded: nothing is read past the data given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zsynth {

struct SmfEvent {
  double seconds = 0.0;
  uint32_t packed = 0;  // a short message as for midiOutShortMsg; 0 for SysEx
  uint32_t sysexAt = 0, sysexSize = 0;  // in SmfSong::sysex, F0 to F7
};

struct SmfSong {
  std::vector<SmfEvent> events;  // sorted by time, file order kept for equal times
  std::vector<uint8_t> sysex;
  double seconds = 0.0;  // the last event's time
};

// The most events a song may hold; each costs about 40 bytes while the file is read.
constexpr size_t kMaxSmfEvents = size_t(1) << 20;

// False, with a reason, when the data is not a usable standard MIDI file.
bool ReadSmf(const uint8_t* data, size_t size, SmfSong& song, std::string& reason);

}  // namespace zsynth
