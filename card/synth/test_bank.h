// Banks and measurements for the synthesizer's tests: samples made in code.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Bank.h"
#include "Synth.h"

namespace zsynth::test {

constexpr uint32_t kRate = 44100;

// A bank built piece by piece; every sample goes into one pcm array.
class BankBuilder {
 public:
  // Appends a sample; the region's start/end are set to it.
  Region sample(const std::vector<int16_t>& pcm);
  Instrument& instrument(uint8_t program, bool drum = false);
  std::shared_ptr<const Bank> build() { return std::make_shared<const Bank>(m_bank); }

 private:
  Bank m_bank;
};

// 441 Hz at 44.1 kHz, 10 cycles looped, tuned so that key 69 sounds at 440 Hz.
Region SineRegion(BankBuilder& b);
std::vector<int16_t> Constant(int16_t value, size_t frames);

// Renders `frames` stereo frames in calls of `block`.
std::vector<float> Render(Synth& s, uint32_t frames, uint32_t block = 256);
std::vector<float> Left(const std::vector<float>& stereo);

// Frequency from the first to the last rising zero crossing.
double MeasureHz(const std::vector<float>& mono);

inline uint32_t NoteOn(int ch, int key, int vel) { return 0x90u | ch | key << 8 | vel << 16; }
inline uint32_t NoteOff(int ch, int key) { return 0x80u | ch | key << 8; }
inline uint32_t Cc(int ch, int cc, int value) { return 0xB0u | ch | cc << 8 | value << 16; }

}  // namespace zsynth::test
