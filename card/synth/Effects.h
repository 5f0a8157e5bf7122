// The send effects: a comb-and-allpass room and a two-tap chorus. Buffers are sized when
// built, so processing never allocates.
#pragma once

#include <cstdint>
#include <vector>

namespace zsynth {

class Reverb {
 public:
  explicit Reverb(uint32_t rate);
  // Time for the tank to fall by 60 dB; `cheap` halves the combs.
  void configure(float rt60, bool cheap);
  // Adds the room's answer to `in` onto the stereo pair.
  void process(const float* in, float* left, float* right, uint32_t frames);
  void clear();

 private:
  struct Line {
    std::vector<float> buf;
    uint32_t pos = 0;
    float gain = 0.0f;  // comb: feedback; allpass: fixed
    float damp = 0.0f;  // comb: state of the low-pass in the loop
  };
  static constexpr int kCombs = 8, kAllpasses = 4;
  uint32_t m_rate;
  Line m_comb[2][kCombs];
  Line m_allpass[2][kAllpasses];
  int m_combsUsed = kCombs;
  float m_rt60 = -1.0f;
  int64_t m_tail = 0;  // frames until the tank is silent after its input stopped
};

class Chorus {
 public:
  explicit Chorus(uint32_t rate);
  void configure(bool cheap) { m_cheap = cheap; }
  void process(const float* in, float* left, float* right, uint32_t frames);
  void clear();

 private:
  float tap(float delay) const;
  uint32_t m_rate;
  std::vector<float> m_buf;
  uint32_t m_pos = 0;
  float m_phase = 0.0f;  // LFO, cycles
  bool m_cheap = false;
  int64_t m_tail = 0;
};

}  // namespace zsynth
