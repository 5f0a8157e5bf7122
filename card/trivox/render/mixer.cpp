#include "mixer.h"

#include "kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define TRIVOX_SSE 1
#endif

namespace trivox {
namespace {

// Delay lines read two samples ahead of the nominal position for the cubic.
constexpr int kLookahead = 2;
constexpr float kFadeStepLimit = 0.0005f;  // -66 dBFS
constexpr int kHist = kMaxOnsetDelay + kLookahead + 3;
constexpr int kMaxSrc = static_cast<int>(kBlockFrames * kMaxStep) + 8;


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

void cubicWeights(float f, float* c) {
  // Catmull-Rom as weights of s[0..3] for a point between s[1] and s[2].
  const float f2 = f * f, f3 = f2 * f;
  c[0] = 0.5f * (-f3 + 2.0f * f2 - f);
  c[1] = 0.5f * (3.0f * f3 - 5.0f * f2 + 2.0f);
  c[2] = 0.5f * (-3.0f * f3 + 4.0f * f2 + f);
  c[3] = 0.5f * (f3 - f2);
}

float finiteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

// Snaps values that have glided close enough, so nothing decays into subnormals.
float settle(float v, float target) { return std::fabs(v - target) < 1e-7f ? target : v; }

}  // namespace

// What a voice renders with: ear filters, interaural delays, ear gains and
// the resampling step.
struct Mixer::Settings {
  float filter[2][kMaxTaps];
  float delay[2];
  float gain[2];
  float step;
  float sh[kAmbiChannels];  // the speed mode's bus gains, distance and volume included
};

namespace {

// One hand-over of a voice's parameters.
struct VoiceBlock {
  VoiceParams params;
  uint32_t gen = 0;  // odd while the voice is taken
};

bool isTaken(uint32_t gen) { return (gen & 1u) != 0; }

}  // namespace

struct Mixer::Voice {
  // Control side, under m_control.
  uint32_t gen = 0;
  Handoff<VoiceBlock> blocks;

  // Written by render(), read by control calls.
  std::atomic<uint32_t> takenGen{0};  // generation of the last block render() took up
  std::atomic<uint32_t> frame{0};
  std::atomic<uint32_t> endedGen{0};
  std::atomic<uint32_t> seekGen{0};

  // Render side.
  VoiceParams p;
  uint32_t renderGen = 0;
  bool live = false;     // taken, as far as render() knows
  bool running = false;  // sounded in the previous block
  bool aimed = false;    // the glide heads for what the parameters and listener say now
  double pos = 0;
  uint32_t appliedSeek = 0;
  uint32_t ended = 0;

  Settings now{};     // at the start of this block
  Settings target{};  // where the glide heads
  int remaining = 0;  // blocks left in the glide

  float history[kHist] = {};
  float earTail[2][kMaxTaps] = {};
  float earPeak[2] = {};  // bounds the ear inputs in earTail
};

Mixer::Mixer(const HrtfSet& hrtf, uint32_t rate, int maxVoices, const Kernels* kernels)
    : m_kernels(kernels ? kernels : &trivox::kernels()),
      m_hrtf(hrtf), m_rate(rate ? rate : 48000), m_voiceCount(std::max(maxVoices, 1)),
      m_voices(new Voice[static_cast<size_t>(std::max(maxVoices, 1))]),
      m_hrtfReady(prepareHrtf(m_hrtf, m_rate)),
      m_decoder(AmbisonicDecoder::design(m_hrtf, m_rate)),
      m_canceller(m_hrtf, m_rate, kBlockFrames),
      m_limiter(kBlockFrames),
      m_equaliser(m_rate, kBlockFrames),
      m_pan(busPan(m_kernels == avx2Kernels())),
      m_linearAt(linearAt(m_kernels == avx2Kernels())) {
  m_busStride = m_decoder.taps - 1 + kBlockFrames;
  m_bus.assign(static_cast<size_t>(kAmbiChannels * m_busStride), 0.0f);
  for (auto* v : {&m_quality[0], &m_quality[1], &m_speed[0], &m_speed[1], &m_binaural[0], &m_binaural[1],
                  &m_weight[0], &m_weight[1]})
    v->assign(kBlockFrames, 0.0f);
  m_ones.assign(kBlockFrames, 1.0f);
  m_panInput.assign(kPanGroup * (kHist + kBlockFrames), 0.0f);
  for (auto& v : m_src) v.assign(kMaxSrc + kLinearReach, 0.0f);
  for (auto& v : m_mono) v.assign(kHist + kBlockFrames, 0.0f);
  for (auto& v : m_ear) v.assign(kMaxTaps + kBlockFrames, 0.0f);
  for (auto& v : m_gain) v.assign(kBlockFrames, 0.0f);
  for (auto& v : m_mix) v.assign(kBlockFrames, 0.0f);
  m_index.assign(kBlockFrames, 0);
  m_frac.assign(kBlockFrames, 0.0f);
}

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
    for (int i = 0; i < n; ++i) {
      out[2 * i] = m_mix[0][static_cast<size_t>(i)];
      out[2 * i + 1] = m_mix[1][static_cast<size_t>(i)];
    }
    out += 2 * n;
    frames -= n;
  }
}

void Mixer::renderBlock(int frames) {
  std::fill(m_mix[0].begin(), m_mix[0].begin() + frames, 0.0f);
  std::fill(m_mix[1].begin(), m_mix[1].begin() + frames, 0.0f);
  const bool qualityWasOff = !m_qualityRan;
  const Route route = beginBlock(frames);
  for (int i = 0; i < m_voiceCount; ++i) {
    Voice& v = m_voices[static_cast<size_t>(i)];
    // Ear filter tails left from before a stretch in speed mode belong to other samples.
    if (route.quality && qualityWasOff) std::fill(&v.earTail[0][0], &v.earTail[0][0] + 2 * kMaxTaps, 0.0f);
    m_snapFilters = route.quality && qualityWasOff;
    if (v.live) renderVoice(v, frames);
  }
  m_snapFilters = false;
  endBlock(route, frames);
}

// Where the voice should be heading: filters, delays, ear gains and step.
void Mixer::targets(const Voice& v, Settings& target) const {
  const VoiceParams& p = v.p;
  const float vol = millibelsToGain(p.volume);
  const float panL = p.pan > 0 ? millibelsToGain(-p.pan) : 1.0f;
  const float panR = p.pan < 0 ? millibelsToGain(p.pan) : 1.0f;
  float pitch = 1.0f, distanceGain = 1.0f;
  target.delay[0] = target.delay[1] = 0.0f;
  for (float* ear : target.filter) std::fill(ear, ear + m_hrtf.taps, 0.0f);
  std::fill(std::begin(target.sh), std::end(target.sh), 0.0f);
  if (p.is3d) {
    const Placement placement = place(m_listener.read(), p.source);
    pitch = finiteOr(placement.pitch, 1.0f);
    distanceGain = finiteOr(placement.gain, 0.0f);
    if (p.source.mode != Mode3D::Disabled) {
      // A source at the listener's own position is heard from the front.
      const float az = placement.centred ? 0.0f : finiteOr(placement.azimuth, 0.0f);
      const float el = placement.centred ? 0.0f : finiteOr(placement.elevation, 0.0f);
      if (m_qualityRan) {
        m_hrtf.interpolate(az, el, target.filter[0], target.filter[1], target.delay[0], target.delay[1]);
      } else {
        // Speed mode alone needs no ear filters: they stay where they were.
        std::memcpy(target.filter, v.target.filter, sizeof target.filter);
        std::copy(v.target.delay, v.target.delay + 2, target.delay);
      }
      ambiEncode(az, el, target.sh);
    }
  }
  target.gain[0] = vol * panL * distanceGain;
  target.gain[1] = vol * panR * distanceGain;
  const float busGain = 0.5f * (target.gain[0] + target.gain[1]);
  for (float& g : target.sh) g *= busGain;
  const float freq = static_cast<float>(std::clamp<uint32_t>(p.frequency, 1, 1000000));
  target.step = std::clamp(freq * pitch / static_cast<float>(m_rate), 0.0f, kMaxStep);
}

bool Mixer::resample(Voice& v, int n, float step0, float step1, float* outA, float* outB, bool split, bool linear) {
  const VoiceParams& p = v.p;
  const int bytesPerFrame = p.channels * (p.bits / 8);
  const int64_t frames = bytesPerFrame > 0 ? p.bytes / static_cast<uint32_t>(bytesPerFrame) : 0;
  if (frames <= 0 || !p.data) {
    std::fill(outA, outA + n, 0.0f);
    if (split) std::fill(outB, outB + n, 0.0f);
    return true;
  }
  const int64_t base = static_cast<int64_t>(std::floor(v.pos)) - 1;
  const double maxStep = std::max(step0, step1);
  const int count = std::min(static_cast<int>((v.pos - static_cast<double>(base)) + maxStep * n) + 4, kMaxSrc);
  float* sa = m_src[0].data();
  float* sb = m_src[1].data();
  const SampleCoding coding{p.channels, p.bits, p.floating, p.channelMask};
  for (int j = 0; j < count;) {
    int64_t f = base + j;
    if (p.looping) {
      f %= frames;
      if (f < 0) f += frames;
    } else if (f < 0 || f >= frames) {
      sa[j] = 0.0f;
      sb[j] = 0.0f;
      ++j;
      continue;
    }
    // Decode the contiguous stretch up to the buffer's end at once.
    const int run = static_cast<int>(std::min<int64_t>(count - j, frames - f));
    decodeFrames(p.data + f * bytesPerFrame, run, coding, sa + j, split ? sb + j : nullptr);
    j += run;
  }
  const double firstStep = step0;
  const double stepChange = (static_cast<double>(step1) - step0) / n;
  const double limit = static_cast<double>(count - 3);
  const double phase = v.pos - static_cast<double>(base);
  if (linear) {
    m_linearAt(sa, static_cast<float>(phase), step0, static_cast<float>(stepChange), static_cast<float>(limit), outA, n);
  } else {
    cubicResample(sa, sb, phase, firstStep, stepChange, limit, outA, outB, split, n);
  }
  const double endPhase = phase + n * firstStep + stepChange * 0.5 * n * (n + 1.0);
  double pos = static_cast<double>(base) + endPhase;
  if (p.looping) {
    pos = std::fmod(pos, static_cast<double>(frames));
    if (pos < 0) pos += static_cast<double>(frames);
    v.pos = pos;
    return false;
  }
  v.pos = pos;
  return pos >= static_cast<double>(frames);
}

void Mixer::cubicResample(const float* sa, const float* sb, double phase, double firstStep, double stepChange,
                          double limit, float* outA, float* outB, bool split, int n) {
  if (stepChange == 0.0 && phase + (n - 1.0) * firstStep <= limit && limit + 3 + kCubicReach <= kMaxSrc) {
    // A steady step within the decoded stretch, the usual case: no glide, no clamp.
    m_kernels->resampleCubic(sa, phase, firstStep, outA, n);
    if (split) m_kernels->resampleCubic(sb, phase, firstStep, outB, n);
    return;
  }
  int32_t* idx = m_index.data();
  float* frac = m_frac.data();
  // Phase in closed form so the loop vectorises: step i is step0 + (i+1) stepChange.
  for (int i = 0; i < n; ++i) {
    const double di = i;
    const double at = std::min(phase + di * firstStep + stepChange * 0.5 * di * (di + 1.0), limit);
    const int k = static_cast<int>(at);
    idx[i] = k;
    frac[i] = static_cast<float>(at - k);
  }
  m_kernels->cubicAt(sa, idx, frac, outA, n);
  if (split) m_kernels->cubicAt(sb, idx, frac, outB, n);
}

void Mixer::seek(Voice& v) const {
  const VoiceParams& p = v.p;
  v.appliedSeek = p.seekGen;
  v.pos = p.seekFrame;
  const int bytesPerFrame = p.channels * (p.bits / 8);
  const uint32_t frames = bytesPerFrame > 0 ? p.bytes / static_cast<uint32_t>(bytesPerFrame) : 0;
  if (v.pos >= frames) v.pos = 0;
  v.frame.store(static_cast<uint32_t>(v.pos));
  v.seekGen.store(p.seekGen);
}

// Starts the voice at its target, or turns the glide towards a new one.
void Mixer::aim(Voice& v, const Settings& target) const {
  const size_t filterBytes = sizeof(float) * static_cast<size_t>(m_hrtf.taps);
  Settings& now = v.now;
  Settings& heading = v.target;
  if (!v.running) {
    // A start is not a parameter change: begin exactly at the target.
    for (int e = 0; e < 2; ++e) std::memcpy(now.filter[e], target.filter[e], filterBytes);
    std::memcpy(heading.filter, now.filter, sizeof(now.filter));
    std::copy(target.delay, target.delay + 2, now.delay);
    std::copy(target.gain, target.gain + 2, now.gain);
    now.step = target.step;
    std::copy(std::begin(target.sh), std::end(target.sh), now.sh);
    std::copy(std::begin(now.sh), std::end(now.sh), heading.sh);
    std::copy(now.delay, now.delay + 2, heading.delay);
    std::copy(now.gain, now.gain + 2, heading.gain);
    heading.step = now.step;
    v.remaining = 0;
    std::fill(std::begin(v.history), std::end(v.history), 0.0f);
    std::fill(&v.earTail[0][0], &v.earTail[0][0] + 2 * kMaxTaps, 0.0f);
    v.running = true;
    return;
  }
  if (m_snapFilters) {
    for (int e = 0; e < 2; ++e) {
      std::memcpy(now.filter[e], target.filter[e], filterBytes);
      std::memcpy(heading.filter[e], target.filter[e], filterBytes);
    }
    std::copy(target.delay, target.delay + 2, now.delay);
    std::copy(target.delay, target.delay + 2, heading.delay);
  }
  const bool changed = std::memcmp(heading.filter[0], target.filter[0], filterBytes) != 0 ||
                       std::memcmp(heading.filter[1], target.filter[1], filterBytes) != 0 ||
                       heading.delay[0] != target.delay[0] || heading.delay[1] != target.delay[1] ||
                       heading.gain[0] != target.gain[0] || heading.gain[1] != target.gain[1] ||
                       heading.step != target.step ||
                       !std::equal(std::begin(target.sh), std::end(target.sh), heading.sh);
  if (!changed) return;
  for (int e = 0; e < 2; ++e) std::memcpy(heading.filter[e], target.filter[e], filterBytes);
  std::copy(target.delay, target.delay + 2, heading.delay);
  std::copy(target.gain, target.gain + 2, heading.gain);
  heading.step = target.step;
  std::copy(std::begin(target.sh), std::end(target.sh), heading.sh);
  v.remaining = kGlideBlocks;
}

// Only the set's taps of the filters are ever read; without the quality path the glide leaves them unset.
void Mixer::copySettings(const Settings& from, Settings& to) const {
  for (int e = 0; e < 2; ++e) {
    std::copy(from.filter[e], from.filter[e] + (m_qualityRan ? m_hrtf.taps : 0), to.filter[e]);
    to.delay[e] = from.delay[e];
    to.gain[e] = from.gain[e];
  }
  to.step = from.step;
  std::copy(from.sh, from.sh + kAmbiChannels, to.sh);
}

// This block moves 1/remaining of the way to the target; false when nothing glides.
bool Mixer::glide(Voice& v, Settings& next) const {
  const Settings& now = v.now;
  const Settings& heading = v.target;
  if (v.remaining <= 0) return false;
  const float share = 1.0f / static_cast<float>(v.remaining);
  for (int e = 0; e < 2; ++e) {
    for (int k = 0; k < (m_qualityRan ? m_hrtf.taps : 0); ++k)
      next.filter[e][k] = settle(now.filter[e][k] + (heading.filter[e][k] - now.filter[e][k]) * share,
                                 heading.filter[e][k]);
    next.delay[e] = settle(now.delay[e] + (heading.delay[e] - now.delay[e]) * share, heading.delay[e]);
    next.gain[e] = settle(now.gain[e] + (heading.gain[e] - now.gain[e]) * share, heading.gain[e]);
  }
  next.step = settle(now.step + (heading.step - now.step) * share, heading.step);
  for (int c = 0; c < kAmbiChannels; ++c) next.sh[c] = settle(now.sh[c] + (heading.sh[c] - now.sh[c]) * share, heading.sh[c]);
  if (--v.remaining == 0) copySettings(heading, next);
  return true;
}

void Mixer::renderVoice(Voice& v, int n) {
  const VoiceParams& p = v.p;
  if (p.seekGen != v.appliedSeek) seek(v);
  if (!p.playing || v.ended == p.playGen) {
    v.running = false;
    return;
  }
  // Targets follow from the parameters and the listener alone: worked out
  // again only when one of them came anew, or the voice starts.
  if (!v.aimed || !v.running) {
    Settings target;
    targets(v, target);
    aim(v, target);
    v.aimed = true;
  }
  Settings next;
  const bool gliding = glide(v, next);
  const Settings& use = gliding ? next : v.now;
  const bool binaural = p.is3d && p.source.mode != Mode3D::Disabled;
  const bool ended = binaural ? renderBinaural(v, n, use, gliding) : renderDirect(v, n, use);
  if (gliding) copySettings(next, v.now);
  if (ended) {
    v.ended = p.playGen;
    v.pos = 0;
    v.running = false;
    v.endedGen.store(p.playGen);
  }
  v.frame.store(static_cast<uint32_t>(v.pos));
}

bool Mixer::renderBinaural(Voice& v, int n, const Settings& next, bool gliding) {
  float* mono = m_speedRan ? panSlot(n) : m_mono[0].data();
  std::copy(std::begin(v.history), std::end(v.history), mono);
  const bool ended = resample(v, n, v.now.step, next.step, mono + kHist, nullptr, false, !m_qualityRan);
  // The bus hears the samples as late as the ears do, less their onset delays.
  if (m_speedRan) panToBus(v.now.sh, next.sh, mono + kHist - kLookahead, n);
  if (!m_qualityRan) {
    std::copy(mono + n, mono + n + kHist, v.history);
    return ended;
  }
  for (int e = 0; e < 2; ++e) renderEar(v, e, mono, n, next, gliding);
  std::copy(mono + n, mono + n + kHist, v.history);
  return ended;
}

// One ear: the interaural delay, then the ear's filter, crossfaded to the next one.
void Mixer::renderEar(Voice& v, int e, const float* mono, int n, const Settings& next, bool gliding) {
  const int taps = m_hrtf.taps;
  float* x = m_ear[static_cast<size_t>(e)].data() + (kMaxTaps - 1);
  float* tail = v.earTail[e];
  std::copy(tail, tail + (taps - 1), x - (taps - 1));
  // Fractional interaural delay, gliding sample by sample.
  const float delay0 = v.now.delay[e];
  float fresh;
  if (next.delay[e] == delay0) {
    // Still: the cubic's weights are the same for every sample.
    const float at = static_cast<float>(kHist - kLookahead) - delay0;
    const int k = static_cast<int>(at);
    float weights[4];
    cubicWeights(at - static_cast<float>(k), weights);
    fresh = m_kernels->fir4(mono + k - 1, weights, x, n);
  } else {
    // Read position kHist - kLookahead + i - (delay0 + delayStep (i+1)).
    const float delayStep = (next.delay[e] - delay0) / static_cast<float>(n);
    fresh = m_kernels->delayCubic(mono, static_cast<float>(kHist - kLookahead) - delay0 - delayStep,
                                  1.0f - delayStep, x, n);
  }
  const float peak = std::max(fresh, v.earPeak[e]);
  v.earPeak[e] = n >= taps - 1 ? fresh : peak;
  // A filter change of D (sum of the coefficients' changes) moves an output of gain g from inputs within
  // +-peak by at most g D peak: over `fade` samples each step stays below kFadeStepLimit.
  float change = 0.0f;
  for (int k = 0; gliding && k < taps; ++k) change += std::fabs(next.filter[e][k] - v.now.filter[e][k]);
  int fade = 0;
  if (change > 0.0f) {
    const float level = std::max(std::fabs(v.now.gain[e]), std::fabs(next.gain[e])) * peak;
    fade = std::min(n, (static_cast<int>(std::min(change * level / kFadeStepLimit, 1e6f)) + 8) & ~7);
  }
  // g ((1 - t) old + t new) * x = g new * x + g (1 - t) (old - new) * x, the latter over the fade.
  float* mix = m_dest[e];
  const float gain0 = v.now.gain[e], gain1 = next.gain[e];
  float* weight = m_gain[0].data();
  if (gain1 == gain0) {  // no ramp to write
    m_kernels->convolveGain(x, next.filter[e], taps, n, gain0, mix);
  } else {
    ramp(weight, n, gain0, gain1);
    m_kernels->convolve(x, next.filter[e], taps, n, weight, mix);
  }
  if (fade > 0) {
    float* oldWeight = m_gain[1].data();
    const float inv = 1.0f / static_cast<float>(fade);
    for (int i = 0; i < fade; ++i)
      oldWeight[i] = (gain1 == gain0 ? gain0 : weight[i]) * (1.0f - static_cast<float>(i + 1) * inv);
    float away[kMaxTaps];
    for (int k = 0; k < taps; ++k) away[k] = v.now.filter[e][k] - next.filter[e][k];
    m_kernels->convolve(x, away, taps, fade, oldWeight, mix);
  }
  if (n >= taps - 1) {
    std::copy(x + n - (taps - 1), x + n, tail);
  } else {
    std::memmove(tail, tail + n, sizeof(float) * static_cast<size_t>(taps - 1 - n));
    std::copy(x, x + n, tail + (taps - 1 - n));
  }
}

// Without the head: the source's own channels (mono sources on both ears), panned.
bool Mixer::renderDirect(Voice& v, int n, const Settings& next) {
  const bool split = v.p.channels >= 2 && !v.p.is3d;
  float* left = m_mono[0].data();
  float* right = m_mono[1].data();
  const bool ended = resample(v, n, v.now.step, next.step, left, right, split);
  if (!split) right = left;
  float* gainL = m_gain[0].data();
  float* gainR = m_gain[1].data();
  ramp(gainL, n, v.now.gain[0], next.gain[0]);
  ramp(gainR, n, v.now.gain[1], next.gain[1]);
  float* mixL = m_mix[0].data();
  float* mixR = m_mix[1].data();
  for (int i = 0; i < n; ++i) {
    mixL[i] += gainL[i] * left[i];
    mixR[i] += gainR[i] * right[i];
  }
  return ended;
}

}  // namespace trivox
