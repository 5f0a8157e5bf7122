// An instrument bank as the synthesizer plays it: every instrument flattened into regions
// that carry final values (seconds, cents, decibels), whatever file format they came from.
// Immutable once loaded; shared by the voices that play it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zsynth {

enum class BankKind : uint8_t { kUnknown = 0, kDls = 1, kSf2 = 2 };

enum class LoopMode : uint8_t {
  kNone = 0,          // play once to the end
  kForward = 1,       // loop for the whole note, release included
  kUntilRelease = 2,  // loop while the key is held, then play on to the end
};

struct Envelope {
  float delay = 0.0f;    // seconds
  float attack = 0.0f;   // seconds
  float hold = 0.0f;     // seconds
  float decay = 0.0f;    // seconds, to the sustain level
  float sustain = 1.0f;  // volume envelope: gain 0..1; modulation envelope: 0..1 of full
  float release = 0.0f;  // seconds
  float keyToHold = 0.0f;   // timecents per key away from 60
  float keyToDecay = 0.0f;  // timecents per key away from 60
};

struct Lfo {
  float delay = 0.0f;        // seconds
  float frequency = 8.176f;  // Hz
};

struct Region {
  uint8_t keyLo = 0, keyHi = 127;
  uint8_t velLo = 0, velHi = 127;

  // The sample, in frames of Bank::pcm: [start, end), loop [loopStart, loopEnd).
  uint32_t start = 0, end = 0;
  uint32_t loopStart = 0, loopEnd = 0;
  uint32_t sampleRate = 44100;
  LoopMode loop = LoopMode::kNone;

  uint8_t rootKey = 60;
  float tuneCents = 0.0f;      // fine and coarse tuning and the sample's own correction
  float scaleTuning = 100.0f;  // cents per key

  float attenuation = 0.0f;  // dB, >= 0
  float pan = 0.0f;          // -1 left .. 1 right
  float reverbSend = 0.0f;   // 0..1
  float chorusSend = 0.0f;   // 0..1

  float filterCutoff = 13500.0f;  // absolute cents (8.176 Hz * 2^(c/1200)); 13500 is open
  float filterQ = 0.0f;           // dB of resonance

  Envelope volEnv;
  Envelope modEnv;
  Lfo modLfo;
  Lfo vibLfo;
  float modLfoToPitch = 0.0f;   // cents
  float vibLfoToPitch = 0.0f;   // cents
  float modEnvToPitch = 0.0f;   // cents
  float modLfoToFilter = 0.0f;  // cents
  float modEnvToFilter = 0.0f;  // cents
  float modLfoToVolume = 0.0f;  // dB

  uint16_t exclusiveClass = 0;  // a new note of the class cuts the others (hi-hats)
};

struct Instrument {
  std::string name;
  bool drum = false;     // a percussion kit: the note picks the region
  uint8_t bankMsb = 0;   // bank select (SF2: the preset's bank)
  uint8_t bankLsb = 0;
  uint8_t program = 0;
  std::vector<Region> regions;
};

struct Bank {
  BankKind kind = BankKind::kUnknown;
  std::string name;
  std::vector<int16_t> pcm;  // every sample, mono, 16 bit
  std::vector<Instrument> instruments;

  // The instrument for a channel's program: the exact bank first, then bank 0, then for
  // drums the standard kit (program 0). Null when the bank has nothing to offer.
  const Instrument* find(bool drum, uint8_t msb, uint8_t lsb, uint8_t program) const;
};

}  // namespace zsynth
