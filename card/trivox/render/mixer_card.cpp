// The mixer's output stage: the card's rendering mode, output path and speaker
// equaliser, with a fade over a few blocks whenever one of them changes.
#include <algorithm>

#include "kernels.h"
#include "mixer.h"

namespace trivox {
namespace {

constexpr float kFadeShare = 1.0f / kCardFadeBlocks;

float towards(float now, float target) {
  return now < target ? std::min(target, now + kFadeShare) : std::max(target, now - kFadeShare);
}

}  // namespace

void Mixer::ramp(float* out, int n, float from, float to) {
  const float d = (to - from) / static_cast<float>(n);
  for (int i = 0; i < n; ++i) out[i] = from + d * static_cast<float>(i + 1);
}

// Decides where this block's voices go. With headphones in one steady mode the
// ears add straight into the mix, as they always did.
Mixer::Route Mixer::beginBlock(int n) {
  const CardRenderState& card = m_card.read();
  const float speedTo = card.mode == RenderMode::kSpeed ? 1.0f : 0.0f;
  const float speakersTo = card.output == OutputPath::kSpeakers ? 1.0f : 0.0f;
  Route r;
  r.modeFading = m_speedMix != speedTo;
  r.quality = speedTo < 1.0f || m_speedMix < 1.0f;
  r.speed = speedTo > 0.0f || m_speedMix > 0.0f;
  r.speakers = speakersTo > 0.0f || m_speakerMix > 0.0f;
  if (r.speed && !m_speedRan) std::fill(m_bus.begin(), m_bus.end(), 0.0f);
  if (r.speakers && !m_speakersRan) m_canceller.reset();
  m_qualityRan = r.quality;
  m_speedRan = r.speed;
  m_speakersRan = r.speakers;
  for (int e = 0; e < 2; ++e) {
    std::vector<float>& binaural = r.speakers ? m_binaural[e] : m_mix[e];
    if (r.speakers) std::fill(binaural.begin(), binaural.begin() + n, 0.0f);
    if (r.modeFading) {
      std::fill(m_quality[e].begin(), m_quality[e].begin() + n, 0.0f);
      std::fill(m_speed[e].begin(), m_speed[e].begin() + n, 0.0f);
    }
    m_dest[e] = r.modeFading ? m_quality[e].data() : binaural.data();
  }
  return r;
}

void Mixer::endBlock(const Route& r, int n) {
  const CardRenderState& card = m_card.read();
  float* binaural[2] = {r.speakers ? m_binaural[0].data() : m_mix[0].data(),
                        r.speakers ? m_binaural[1].data() : m_mix[1].data()};
  if (r.speed) {
    flushPan(n);
    float* to[2] = {r.modeFading ? m_speed[0].data() : binaural[0], r.modeFading ? m_speed[1].data() : binaural[1]};
    decodeBus(n, to[0], to[1]);
  }
  if (r.modeFading) {
    const float next = towards(m_speedMix, card.mode == RenderMode::kSpeed ? 1.0f : 0.0f);
    float* w = m_weight[0].data();
    ramp(w, n, m_speedMix, next);
    for (int e = 0; e < 2; ++e) {
      const float* q = m_quality[e].data();
      const float* s = m_speed[e].data();
      for (int i = 0; i < n; ++i) binaural[e][i] += q[i] + w[i] * (s[i] - q[i]);
    }
    m_speedMix = next;
  }
  if (r.speakers) {
    const float next = towards(m_speakerMix, card.output == OutputPath::kSpeakers ? 1.0f : 0.0f);
    float* w = m_weight[0].data();
    ramp(w, n, m_speakerMix, next);
    m_canceller.process(*m_kernels, binaural[0], binaural[1], n, w, m_mix[0].data(), m_mix[1].data());
    float* bypass = m_weight[1].data();
    for (int i = 0; i < n; ++i) bypass[i] = 1.0f - w[i];
    for (int e = 0; e < 2; ++e)
      for (int i = 0; i < n; ++i) m_mix[e][i] += bypass[i] * binaural[e][i];
    m_speakerMix = next;
  }
  m_equaliser.process(card.eqOn, card.eqInput, m_mix[0].data(), m_mix[1].data(), n);
  if (r.speakers || m_limiter.gain() < 1.0f) m_limiter.process(m_mix[0].data(), m_mix[1].data(), n);
}

// Both ears from the bus: the symmetric channels' sum is the same at both ears,
// the antisymmetric channels' sum changes sign.
void Mixer::decodeBus(int n, float* left, float* right) {
  const int taps = m_decoder.taps;
  // The weights are not yet in use this early in the block.
  float* even = m_weight[0].data();
  float* odd = m_weight[1].data();
  std::fill(even, even + n, 0.0f);
  std::fill(odd, odd + n, 0.0f);
  for (int c = 0; c < kAmbiChannels; ++c) {
    float* bus = m_bus.data() + static_cast<size_t>(c) * m_busStride;
    m_kernels->convolve(bus + taps - 1, m_decoder.filter(c), taps, n, m_ones.data(), ambiAntisymmetric(c) ? odd : even);
    std::copy(bus + n, bus + n + taps - 1, bus);
    std::fill(bus + taps - 1, bus + taps - 1 + n, 0.0f);
  }
  for (int i = 0; i < n; ++i) {
    left[i] += even[i] + odd[i];
    right[i] += even[i] - odd[i];
  }
}

// Sources are panned kPanGroup at a time: the bus is read and written once per group.
float* Mixer::panSlot(int n) {
  if (m_panCount == kPanGroup) flushPan(n);
  const size_t size = m_panInput.size() / kPanGroup;
  return m_panInput.data() + static_cast<size_t>(m_panCount) * size;
}

void Mixer::panToBus(const float* from, const float* to, const float* x, int n) {
  const float inv = 1.0f / static_cast<float>(n);
  const int slot = m_panCount++;
  for (int c = 0; c < kAmbiChannels; ++c) {
    m_panFrom[slot][c] = from[c];
    m_panSlope[slot][c] = (to[c] - from[c]) * inv;
  }
  m_panX[slot] = x;
}

void Mixer::flushPan(int n) {
  m_pan(m_panFrom, m_panSlope, m_panCount, m_panX, n, m_bus.data() + (m_decoder.taps - 1), m_busStride);
  m_panCount = 0;
}

}  // namespace trivox
