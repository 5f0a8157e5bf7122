#include "mixer.h"

#include <algorithm>

#include "kernels.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define TRIVOX_SSE 1
#endif

namespace trivox {
namespace {

// Subnormal arithmetic costs a hundred cycles a sample on x86; the render never needs it.
class FlushDenormals {
 public:
#if TRIVOX_SSE
  FlushDenormals() : m_saved(_mm_getcsr()) { _mm_setcsr(m_saved | 0x8040u); }
  ~FlushDenormals() { _mm_setcsr(m_saved); }

 private:
  unsigned m_saved;
#endif
};

// One hand-over of a voice's parameters.
struct VoiceBlock {
  VoiceParams params;
  uint32_t gen = 0;  // odd while the voice is taken
};

bool isTaken(uint32_t gen) { return (gen & 1u) != 0; }

}  // namespace

struct Mixer::Voice : VoiceState {
  // Control side, under m_control.
  uint32_t gen = 0;
  Handoff<VoiceBlock> blocks;

  // Written by render(), read by control calls.
  std::atomic<uint32_t> takenGen{0};  // generation of the last block render() took up

  // Render side.
  uint32_t renderGen = 0;
  bool live = false;  // taken, as far as render() knows
};

Mixer::Mixer(const HrtfSet& hrtf, uint32_t rate, int maxVoices, const Kernels* kernels)
    : m_kernels(kernels ? kernels : &trivox::kernels()),
      m_hrtf(hrtf), m_rate(rate ? rate : 48000), m_voiceCount(std::max(maxVoices, 1)),
      m_voices(new Voice[static_cast<size_t>(std::max(maxVoices, 1))]),
      m_hrtfReady(prepareHrtf(m_hrtf, m_rate)),
      m_output(*m_kernels, m_hrtf, m_rate, kVoiceHistory + kBlockFrames),
      m_voiceRenderer(*m_kernels, m_hrtf, m_rate, linearAt(m_kernels == avx2Kernels())) {}

Mixer::~Mixer() = default;

bool Mixer::prepareHrtf(HrtfSet& set, uint32_t rate) {
  if (set.empty() || set.taps > kMaxTaps) set = makeSphericalHead(rate);
  if (set.rate != rate) {
    // Delays are counted in samples of the set's own rate.
    const float scale = static_cast<float>(rate) / static_cast<float>(set.rate);
    for (float& d : set.delays) d = std::min(d * scale, static_cast<float>(kMaxOnsetDelay));
  }
  return true;
}

void Mixer::publish(Voice& v, const VoiceParams& params) {
  VoiceBlock& block = v.blocks.spare();
  block.params = params;
  block.gen = v.gen;
  v.blocks.publish();
}

void Mixer::freeRetired() {
  auto left = [this](const Retired& r) {
    const uint32_t taken = m_voices[static_cast<size_t>(r.voice)].takenGen.load(std::memory_order_acquire);
    return static_cast<int32_t>(taken - r.gen) >= 0;
  };
  m_retired.erase(std::remove_if(m_retired.begin(), m_retired.end(), left), m_retired.end());
}

int Mixer::addVoice() {
  std::lock_guard<std::mutex> lock(m_control);
  freeRetired();
  for (int i = 0; i < m_voiceCount; ++i) {
    Voice& v = m_voices[static_cast<size_t>(i)];
    if (!isTaken(v.gen)) {
      ++v.gen;
      publish(v, VoiceParams{});
      return i;
    }
  }
  return -1;
}

void Mixer::removeVoice(int id, std::shared_ptr<const void> data) {
  if (id < 0 || id >= m_voiceCount) return;
  std::lock_guard<std::mutex> lock(m_control);
  Voice& v = m_voices[static_cast<size_t>(id)];
  if (isTaken(v.gen)) {
    ++v.gen;
    publish(v, VoiceParams{});
  }
  if (data) m_retired.push_back(Retired{id, v.gen, std::move(data)});
  freeRetired();
}

void Mixer::setVoice(int id, const VoiceParams& params) {
  if (id < 0 || id >= m_voiceCount) return;
  std::lock_guard<std::mutex> lock(m_control);
  freeRetired();
  Voice& v = m_voices[static_cast<size_t>(id)];
  if (isTaken(v.gen)) publish(v, params);
}

void Mixer::setListener(const ListenerState& listener) {
  std::lock_guard<std::mutex> lock(m_control);
  freeRetired();
  m_listener.spare() = listener;
  m_listener.publish();
}

void Mixer::setCardState(const CardRenderState& state) {
  std::lock_guard<std::mutex> lock(m_control);
  freeRetired();
  m_card.spare() = state;
  m_card.publish();
}

VoiceStatus Mixer::status(int id) const {
  VoiceStatus s;
  if (id < 0 || id >= m_voiceCount) return s;
  std::lock_guard<std::mutex> lock(m_control);
  const Voice& v = m_voices[static_cast<size_t>(id)];
  // What render() reports belongs to this voice only once it took it up.
  if (v.takenGen.load(std::memory_order_acquire) != v.gen) return s;
  s.frame = v.frame.load();
  s.endedGen = v.endedGen.load();
  s.seekGen = v.seekGen.load();
  return s;
}

void Mixer::takeUpdates() {
  // A new listener or card state may move every voice's targets.
  const bool moved = m_listener.take();
  const bool card = m_card.take();
  for (int i = 0; i < m_voiceCount; ++i) {
    Voice& v = m_voices[static_cast<size_t>(i)];
    if (moved || card) v.aimed = false;
    if (!v.blocks.take()) continue;
    v.aimed = false;
    const VoiceBlock& block = v.blocks.read();
    v.p = block.params;
    if (block.gen == v.renderGen) continue;
    // Taken anew or freed: the old voice's data is read no more.
    v.renderGen = block.gen;
    v.live = isTaken(block.gen);
    v.running = false;
    v.pos = 0;
    v.appliedSeek = 0;
    v.ended = 0;
    v.frame.store(0, std::memory_order_relaxed);
    v.endedGen.store(0, std::memory_order_relaxed);
    v.seekGen.store(0, std::memory_order_relaxed);
    v.takenGen.store(block.gen, std::memory_order_release);
  }
}

void Mixer::render(float* out, int frames) {
  FlushDenormals ftz;
  takeUpdates();
  while (frames > 0) {
    const int n = std::min(frames, kBlockFrames);
    renderBlock(n);
    const float* left = m_output.mix(0);
    const float* right = m_output.mix(1);
    for (int i = 0; i < n; ++i) {
      out[2 * i] = left[i];
      out[2 * i + 1] = right[i];
    }
    out += 2 * n;
    frames -= n;
  }
}

void Mixer::renderBlock(int frames) {
  BlockContext block = m_output.beginBlock(m_card.read(), frames);
  block.listener = &m_listener.read();
  block.scratch = &m_scratch;
  for (int i = 0; i < m_voiceCount; ++i) {
    Voice& v = m_voices[static_cast<size_t>(i)];
    // Ear filter tails left from before a stretch in speed mode belong to other samples.
    if (block.snapFilters) std::fill(&v.earTail[0][0], &v.earTail[0][0] + 2 * kMaxTaps, 0.0f);
    if (v.live) m_voiceRenderer.render(v, block);
  }
  m_output.endBlock(m_card.read(), block);
}

}  // namespace trivox
