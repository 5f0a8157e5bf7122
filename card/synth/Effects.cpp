#include "Effects.h"

#include <algorithm>
#include <cmath>

namespace zsynth {

namespace {
// Mutually prime lengths at 44.1 kHz; the right side is spread by a few frames.
constexpr uint32_t kCombLen[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr uint32_t kAllpassLen[4] = {556, 441, 341, 225};
constexpr uint32_t kSpread = 23;
constexpr float kInputGain = 0.015f, kWetGain = 3.0f;
constexpr float kChorusBase = 0.012f, kChorusDepth = 0.004f, kChorusRate = 0.6f;  // s, s, Hz

uint32_t Scaled(uint32_t frames, uint32_t rate) {
  return std::max<uint32_t>(1, static_cast<uint32_t>(static_cast<uint64_t>(frames) * rate / 44100));
}
bool Silent(const float* in, uint32_t frames) {
  for (uint32_t i = 0; i < frames; ++i)
    if (in[i] != 0.0f) return false;
  return true;
}
}  // namespace

Reverb::Reverb(uint32_t rate) : m_rate(rate) {
  for (int side = 0; side < 2; ++side) {
    for (int i = 0; i < kCombs; ++i) {
      m_comb[side][i].buf.assign(Scaled(kCombLen[i] + side * kSpread, rate), 0.0f);
    }
    for (int i = 0; i < kAllpasses; ++i) {
      m_allpass[side][i].buf.assign(Scaled(kAllpassLen[i] + side * kSpread, rate), 0.0f);
      m_allpass[side][i].gain = 0.5f;
    }
  }
  configure(1.5f, false);
}

void Reverb::configure(float rt60, bool cheap) {
  const int used = cheap ? kCombs / 2 : kCombs;
  if (rt60 == m_rt60 && used == m_combsUsed) return;
  m_rt60 = rt60;
  m_combsUsed = used;
  for (auto& side : m_comb)
    for (Line& c : side) c.gain = std::pow(10.0f, -3.0f * c.buf.size() / (m_rate * rt60));
}

void Reverb::clear() {
  for (auto& side : m_comb)
    for (Line& c : side) std::fill(c.buf.begin(), c.buf.end(), 0.0f), c.pos = 0, c.damp = 0.0f;
  for (auto& side : m_allpass)
    for (Line& a : side) std::fill(a.buf.begin(), a.buf.end(), 0.0f), a.pos = 0;
  m_tail = 0;
}

void Reverb::process(const float* in, float* left, float* right, uint32_t frames) {
  if (!Silent(in, frames)) {
    m_tail = static_cast<int64_t>(2.0f * m_rt60 * m_rate) + 4096;
  } else if (m_tail <= 0) {
    return;  // the tank has rung out: nothing to add, nothing to spend
  }
  m_tail -= frames;
  if (m_tail <= 0) {
    clear();
    return;
  }
  const float wet = kWetGain * kCombs / m_combsUsed;
  float* outs[2] = {left, right};
  for (int side = 0; side < 2; ++side) {
    float* out = outs[side];
    for (uint32_t i = 0; i < frames; ++i) {
      const float x = in[i] * kInputGain;
      float sum = 0.0f;
      for (int c = 0; c < m_combsUsed; ++c) {
        Line& l = m_comb[side][c];
        const float y = l.buf[l.pos];
        l.damp = y * 0.8f + l.damp * 0.2f;  // the loop's low-pass state
        l.buf[l.pos] = x + l.damp * l.gain;
        if (++l.pos == l.buf.size()) l.pos = 0;
        sum += y;
      }
      for (Line& a : m_allpass[side]) {
        const float b = a.buf[a.pos];
        a.buf[a.pos] = sum + b * a.gain;
        sum = b - sum;
        if (++a.pos == a.buf.size()) a.pos = 0;
      }
      out[i] += sum * wet;
    }
  }
}

Chorus::Chorus(uint32_t rate) : m_rate(rate) {
  m_buf.assign(static_cast<size_t>((kChorusBase + 2 * kChorusDepth) * rate) + 4, 0.0f);
}

void Chorus::clear() {
  std::fill(m_buf.begin(), m_buf.end(), 0.0f);
  m_tail = 0;
}

float Chorus::tap(float delay) const {
  const size_t n = m_buf.size();
  const float pos = static_cast<float>(m_pos) + n - delay;
  const uint32_t i = static_cast<uint32_t>(pos);
  const float f = pos - static_cast<float>(i);
  const float a = m_buf[i % n], b = m_buf[(i + 1) % n];
  return a + f * (b - a);
}

void Chorus::process(const float* in, float* left, float* right, uint32_t frames) {
  if (!Silent(in, frames)) {
    m_tail = static_cast<int64_t>(m_buf.size()) + frames;
  } else if (m_tail <= 0) {
    return;
  }
  m_tail -= frames;
  // The LFO moves the taps once a block, ramped across it.
  const float step = kChorusRate * frames / m_rate;
  auto delayAt = [&](float phase) {
    const float tri = 4.0f * std::fabs(phase - std::floor(phase + 0.5f)) - 1.0f;
    return (kChorusBase + kChorusDepth * tri) * m_rate;
  };
  const float l0 = delayAt(m_phase), l1 = delayAt(m_phase + step);
  const float r0 = delayAt(m_phase + 0.25f), r1 = delayAt(m_phase + 0.25f + step);
  m_phase += step;
  m_phase -= std::floor(m_phase);
  const float inv = 1.0f / frames;
  for (uint32_t i = 0; i < frames; ++i) {
    m_buf[m_pos] = in[i];
    const float t = (i + 1) * inv;
    const float l = tap(l0 + (l1 - l0) * t);
    const float r = m_cheap ? l : tap(r0 + (r1 - r0) * t);
    left[i] += l;
    right[i] += r;
    if (++m_pos == m_buf.size()) m_pos = 0;
  }
}

}  // namespace zsynth
