#include "output_stage.h"

#include <algorithm>

#include "kernels.h"

namespace trivox {
namespace {

constexpr float kFadeShare = 1.0f / kCardFadeBlocks;

float towards(float now, float target) {
  return now < target ? std::min(target, now + kFadeShare) : std::max(target, now - kFadeShare);
}

}  // namespace

PanGroup::PanGroup(BusPan pan, int slotFrames, float* bus, int stride)
    : m_pan(pan), m_input(static_cast<size_t>(kPanGroup * slotFrames), 0.0f), m_bus(bus), m_stride(stride) {}

float* PanGroup::slot(int n) {
  if (m_count == kPanGroup) flush(n);
  const size_t size = m_input.size() / kPanGroup;
  return m_input.data() + static_cast<size_t>(m_count) * size;
}

void PanGroup::add(const float* from, const float* to, const float* x, int n) {
  const float inv = 1.0f / static_cast<float>(n);
  const int slot = m_count++;
  for (int c = 0; c < kAmbiChannels; ++c) {
    m_from[slot][c] = from[c];
    m_slope[slot][c] = (to[c] - from[c]) * inv;
  }
  m_x[slot] = x;
}

void PanGroup::flush(int n) {
  m_pan(m_from, m_slope, m_count, m_x, n, m_bus, m_stride);
  m_count = 0;
}

OutputStage::OutputStage(const Kernels& kernels, const HrtfSet& hrtf, uint32_t rate, int slotFrames)
    : m_kernels(kernels),
      m_decoder(AmbisonicDecoder::design(hrtf, rate)),
      m_canceller(hrtf, rate, kBlockFrames),
      m_limiter(kBlockFrames),
      m_equaliser(rate, kBlockFrames),
      m_busStride(m_decoder.taps - 1 + kBlockFrames),
      m_bus(static_cast<size_t>(kAmbiChannels * m_busStride), 0.0f),
      m_pan(busPan(&kernels == avx2Kernels()), slotFrames, m_bus.data() + (m_decoder.taps - 1), m_busStride) {
  for (auto* v : {&m_mix[0], &m_mix[1], &m_quality[0], &m_quality[1], &m_speed[0], &m_speed[1], &m_binaural[0],
                  &m_binaural[1], &m_weight[0], &m_weight[1]})
    v->assign(kBlockFrames, 0.0f);
  m_ones.assign(kBlockFrames, 1.0f);
}

BlockContext OutputStage::beginBlock(const CardRenderState& card, int n) {
  const float speedTo = card.mode == RenderMode::kSpeed ? 1.0f : 0.0f;
  const float speakersTo = card.output == OutputPath::kSpeakers ? 1.0f : 0.0f;
  BlockContext b;
  b.frames = n;
  Route& r = b.route;
  r.modeFading = m_speedMix != speedTo;
  r.quality = speedTo < 1.0f || m_speedMix < 1.0f;
  r.speed = speedTo > 0.0f || m_speedMix > 0.0f;
  r.speakers = speakersTo > 0.0f || m_speakerMix > 0.0f;
  b.snapFilters = r.quality && !m_qualityRan;
  if (r.speed && !m_speedRan) std::fill(m_bus.begin(), m_bus.end(), 0.0f);
  if (r.speakers && !m_speakersRan) m_canceller.reset();
  m_qualityRan = r.quality;
  m_speedRan = r.speed;
  m_speakersRan = r.speakers;
  b.pan = r.speed ? &m_pan : nullptr;
  for (int e = 0; e < 2; ++e) {
    std::fill(m_mix[e].begin(), m_mix[e].begin() + n, 0.0f);
    std::vector<float>& binaural = r.speakers ? m_binaural[e] : m_mix[e];
    if (r.speakers) std::fill(binaural.begin(), binaural.begin() + n, 0.0f);
    if (r.modeFading) {
      std::fill(m_quality[e].begin(), m_quality[e].begin() + n, 0.0f);
      std::fill(m_speed[e].begin(), m_speed[e].begin() + n, 0.0f);
    }
    b.ears[e] = r.modeFading ? m_quality[e].data() : binaural.data();
    b.direct[e] = m_mix[e].data();
  }
  return b;
}

void OutputStage::endBlock(const CardRenderState& card, const BlockContext& b) {
  const Route& r = b.route;
  const int n = b.frames;
  float* binaural[2] = {r.speakers ? m_binaural[0].data() : m_mix[0].data(),
                        r.speakers ? m_binaural[1].data() : m_mix[1].data()};
  if (r.speed) {
    m_pan.flush(n);
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
    m_canceller.process(m_kernels, binaural[0], binaural[1], n, w, m_mix[0].data(), m_mix[1].data());
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
void OutputStage::decodeBus(int n, float* left, float* right) {
  const int taps = m_decoder.taps;
  // The weights are not yet in use this early in the block.
  float* even = m_weight[0].data();
  float* odd = m_weight[1].data();
  std::fill(even, even + n, 0.0f);
  std::fill(odd, odd + n, 0.0f);
  for (int c = 0; c < kAmbiChannels; ++c) {
    float* bus = m_bus.data() + static_cast<size_t>(c) * m_busStride;
    m_kernels.convolve(bus + taps - 1, m_decoder.filter(c), taps, n, m_ones.data(), ambiAntisymmetric(c) ? odd : even);
    std::copy(bus + n, bus + n + taps - 1, bus);
    std::fill(bus + taps - 1, bus + taps - 1 + n, 0.0f);
  }
  for (int i = 0; i < n; ++i) {
    left[i] += even[i] + odd[i];
    right[i] += even[i] - odd[i];
  }
}

}  // namespace trivox
