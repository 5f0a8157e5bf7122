// Writes small SoundFont 2 and DLS banks from a list of samples and programs, for tests:
// the readers' own, and banks that the card is asked to download.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bank.h"

namespace zsynth {
namespace testbank {

struct Sample {
  std::string name = "sample";
  std::vector<int16_t> pcm;
  uint32_t rate = 44100;
  uint8_t rootKey = 60;
  int8_t fineTune = 0;                  // cents
  uint32_t loopStart = 0, loopEnd = 0;  // frames from the sample's first
  LoopMode loop = LoopMode::kNone;
  bool eightBit = false;  // DLS: stored as 8-bit unsigned
};

struct Gen {  // a SoundFont 2 generator
  uint16_t oper;
  int16_t amount;
};

struct Conn {  // a DLS connection block
  uint16_t source, control, destination, transform;
  int32_t scale;
};

struct Zone {
  uint8_t keyLo = 0, keyHi = 127, velLo = 0, velHi = 127;
  uint16_t sample = 0;
  std::vector<Gen> gens;    // SoundFont 2: the instrument zone's
  int32_t attenuationCb = 0;  // DLS: the region's sample attenuation, centibels
  uint16_t keyGroup = 0;      // DLS: exclusive class
  std::vector<Conn> art;      // DLS: the region's articulation (none: the instrument's)
};

struct Program {
  std::string name = "program";
  bool drum = false;
  uint8_t bankMsb = 0, bankLsb = 0, program = 0;
  std::vector<Zone> zones;
  std::vector<Gen> presetGlobal, presetZone, instGlobal;  // SoundFont 2
  std::vector<Conn> art;                                   // DLS: the instrument's
};

struct Recipe {
  std::string name = "Test bank";
  std::vector<Sample> samples;
  std::vector<Program> programs;
  bool dls2 = false;  // DLS: 'rgn2', 'lar2' and 'art2' in place of the level 1 chunks
};

std::vector<uint8_t> WriteSf2(const Recipe& recipe);

// A SoundFont around sample data already made: `smpl` is the chunk's bytes; for each sample,
// [start, end) in it (16-bit words, or for version 3 compressed samples bytes) and where its
// loop points count from.
struct SampleData {
  uint32_t start, end, loopFrom;
  uint16_t type;  // 'shdr' sample type: 1 mono, | 0x10 Ogg Vorbis
};
std::vector<uint8_t> WriteSoundFont(const Recipe& recipe, uint16_t version, const std::vector<uint8_t>& smpl,
                                    const std::vector<SampleData>& data);
std::vector<uint8_t> WriteDls(const Recipe& recipe);

// A complete bank that sounds unlike a General MIDI set: every melodic program plays one
// looped square wave (A4 = 440 Hz exactly, 100 frames a period at 44 kHz), and the standard
// drum kit a short noise burst on every key.
Recipe SquareBank();

}  // namespace testbank
}  // namespace zsynth
