#include "voice_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kernels.h"
#include "output_stage.h"

namespace trivox {
namespace {

constexpr float kFadeStepLimit = 0.0005f;  // -66 dBFS
constexpr int kMaxSrc = static_cast<int>(kBlockFrames * kMaxStep) + 8;

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

VoiceScratch::VoiceScratch() {
  for (auto& v : src) v.assign(kMaxSrc + kLinearReach, 0.0f);
  for (auto& v : mono) v.assign(kVoiceHistory + kBlockFrames, 0.0f);
  for (auto& v : ear) v.assign(kMaxTaps + kBlockFrames, 0.0f);
  for (auto& v : gain) v.assign(kBlockFrames, 0.0f);
  index.assign(kBlockFrames, 0);
  frac.assign(kBlockFrames, 0.0f);
}

VoiceRenderer::VoiceRenderer(const Kernels& kernels, const HrtfSet& hrtf, uint32_t rate, LinearAt linearAt)
    : m_kernels(kernels), m_hrtf(hrtf), m_rate(rate), m_linearAt(linearAt) {}

void VoiceRenderer::render(VoiceState& v, const BlockContext& block) const {
  const VoiceParams& p = v.p;
  if (p.seekGen != v.appliedSeek) seek(v);
  if (!p.playing || v.ended == p.playGen) {
    v.running = false;
    return;
  }
  // Targets follow from the parameters and the listener alone: worked out
  // again only when one of them came anew, or the voice starts.
  if (!v.aimed || !v.running) {
    VoiceSettings target;
    targets(v, block, target);
    aim(v, target, block.snapFilters);
    v.aimed = true;
  }
  VoiceSettings next;
  const bool gliding = glide(v, next, block.route.quality);
  const Move move{gliding ? next : v.now, gliding};
  const bool binaural = p.is3d && p.source.mode != Mode3D::Disabled;
  const bool ended = binaural ? renderBinaural(v, move, block) : renderDirect(v, move, block);
  if (gliding) copySettings(next, v.now, block.route.quality);
  if (ended) {
    v.ended = p.playGen;
    v.pos = 0;
    v.running = false;
    v.endedGen.store(p.playGen);
  }
  v.frame.store(static_cast<uint32_t>(v.pos));
}

// Where the voice should be heading: filters, delays, ear gains and step.
void VoiceRenderer::targets(const VoiceState& v, const BlockContext& block, VoiceSettings& target) const {
  const VoiceParams& p = v.p;
  const float vol = millibelsToGain(p.volume);
  const float panL = p.pan > 0 ? millibelsToGain(-p.pan) : 1.0f;
  const float panR = p.pan < 0 ? millibelsToGain(p.pan) : 1.0f;
  float pitch = 1.0f, distanceGain = 1.0f;
  target.delay[0] = target.delay[1] = 0.0f;
  for (float* ear : target.filter) std::fill(ear, ear + m_hrtf.taps, 0.0f);
  std::fill(std::begin(target.sh), std::end(target.sh), 0.0f);
  if (p.is3d) {
    const Placement placement = place(*block.listener, p.source);
    pitch = finiteOr(placement.pitch, 1.0f);
    distanceGain = finiteOr(placement.gain, 0.0f);
    if (p.source.mode != Mode3D::Disabled) {
      // A source at the listener's own position is heard from the front.
      const float az = placement.centred ? 0.0f : finiteOr(placement.azimuth, 0.0f);
      const float el = placement.centred ? 0.0f : finiteOr(placement.elevation, 0.0f);
      if (block.route.quality) {
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

bool VoiceRenderer::resample(VoiceState& v, int n, const Resampling& job, VoiceScratch& scratch) const {
  const VoiceParams& p = v.p;
  const int bytesPerFrame = p.channels * (p.bits / 8);
  const int64_t frames = bytesPerFrame > 0 ? p.bytes / static_cast<uint32_t>(bytesPerFrame) : 0;
  if (frames <= 0 || !p.data) {
    std::fill(job.out[0], job.out[0] + n, 0.0f);
    if (job.split) std::fill(job.out[1], job.out[1] + n, 0.0f);
    return true;
  }
  const int64_t base = static_cast<int64_t>(std::floor(v.pos)) - 1;
  const double maxStep = std::max(job.step0, job.step1);
  const int count = std::min(static_cast<int>((v.pos - static_cast<double>(base)) + maxStep * n) + 4, kMaxSrc);
  float* sa = scratch.src[0].data();
  float* sb = scratch.src[1].data();
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
    decodeFrames(p.data + f * bytesPerFrame, run, coding, sa + j, job.split ? sb + j : nullptr);
    j += run;
  }
  SourceSpan span{{sa, sb}, v.pos - static_cast<double>(base), job.step0, 0.0, static_cast<double>(count - 3)};
  span.stepChange = (static_cast<double>(job.step1) - job.step0) / n;
  if (job.linear) {
    m_linearAt(sa, static_cast<float>(span.phase), job.step0, static_cast<float>(span.stepChange),
               static_cast<float>(span.limit), job.out[0], n);
  } else {
    cubicResample(span, n, job, scratch);
  }
  const double endPhase = span.phase + n * span.firstStep + span.stepChange * 0.5 * n * (n + 1.0);
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

void VoiceRenderer::cubicResample(const SourceSpan& span, int n, const Resampling& job, VoiceScratch& scratch) const {
  const double phase = span.phase, firstStep = span.firstStep, stepChange = span.stepChange, limit = span.limit;
  if (stepChange == 0.0 && phase + (n - 1.0) * firstStep <= limit && limit + 3 + kCubicReach <= kMaxSrc) {
    // A steady step within the decoded stretch, the usual case: no glide, no clamp.
    m_kernels.resampleCubic(span.samples[0], phase, firstStep, job.out[0], n);
    if (job.split) m_kernels.resampleCubic(span.samples[1], phase, firstStep, job.out[1], n);
    return;
  }
  int32_t* idx = scratch.index.data();
  float* frac = scratch.frac.data();
  // Phase in closed form so the loop vectorises: step i is step0 + (i+1) stepChange.
  for (int i = 0; i < n; ++i) {
    const double di = i;
    const double at = std::min(phase + di * firstStep + stepChange * 0.5 * di * (di + 1.0), limit);
    const int k = static_cast<int>(at);
    idx[i] = k;
    frac[i] = static_cast<float>(at - k);
  }
  m_kernels.cubicAt(span.samples[0], idx, frac, job.out[0], n);
  if (job.split) m_kernels.cubicAt(span.samples[1], idx, frac, job.out[1], n);
}

void VoiceRenderer::seek(VoiceState& v) const {
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
void VoiceRenderer::aim(VoiceState& v, const VoiceSettings& target, bool snapFilters) const {
  const size_t filterBytes = sizeof(float) * static_cast<size_t>(m_hrtf.taps);
  VoiceSettings& now = v.now;
  VoiceSettings& heading = v.target;
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
  if (snapFilters) {
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
void VoiceRenderer::copySettings(const VoiceSettings& from, VoiceSettings& to, bool quality) const {
  for (int e = 0; e < 2; ++e) {
    std::copy(from.filter[e], from.filter[e] + (quality ? m_hrtf.taps : 0), to.filter[e]);
    to.delay[e] = from.delay[e];
    to.gain[e] = from.gain[e];
  }
  to.step = from.step;
  std::copy(from.sh, from.sh + kAmbiChannels, to.sh);
}

// This block moves 1/remaining of the way to the target; false when nothing glides.
bool VoiceRenderer::glide(VoiceState& v, VoiceSettings& next, bool quality) const {
  const VoiceSettings& now = v.now;
  const VoiceSettings& heading = v.target;
  if (v.remaining <= 0) return false;
  const float share = 1.0f / static_cast<float>(v.remaining);
  for (int e = 0; e < 2; ++e) {
    for (int k = 0; k < (quality ? m_hrtf.taps : 0); ++k)
      next.filter[e][k] = settle(now.filter[e][k] + (heading.filter[e][k] - now.filter[e][k]) * share,
                                 heading.filter[e][k]);
    next.delay[e] = settle(now.delay[e] + (heading.delay[e] - now.delay[e]) * share, heading.delay[e]);
    next.gain[e] = settle(now.gain[e] + (heading.gain[e] - now.gain[e]) * share, heading.gain[e]);
  }
  next.step = settle(now.step + (heading.step - now.step) * share, heading.step);
  for (int c = 0; c < kAmbiChannels; ++c) next.sh[c] = settle(now.sh[c] + (heading.sh[c] - now.sh[c]) * share, heading.sh[c]);
  if (--v.remaining == 0) copySettings(heading, next, quality);
  return true;
}

bool VoiceRenderer::renderBinaural(VoiceState& v, const Move& move, const BlockContext& block) const {
  const int n = block.frames;
  const bool quality = block.route.quality;
  float* mono = block.pan ? block.pan->slot(n) : block.scratch->mono[0].data();
  std::copy(std::begin(v.history), std::end(v.history), mono);
  Resampling job;
  job.step0 = v.now.step;
  job.step1 = move.next.step;
  job.out[0] = mono + kVoiceHistory;
  job.linear = !quality;
  const bool ended = resample(v, n, job, *block.scratch);
  // The bus hears the samples as late as the ears do, less their onset delays.
  if (block.pan) block.pan->add(v.now.sh, move.next.sh, mono + kVoiceHistory - kLookahead, n);
  if (!quality) {
    std::copy(mono + n, mono + n + kVoiceHistory, v.history);
    return ended;
  }
  for (int e = 0; e < 2; ++e) renderEar(v, e, mono, move, block);
  std::copy(mono + n, mono + n + kVoiceHistory, v.history);
  return ended;
}

// One ear: the interaural delay, then the ear's filter, crossfaded to the next one.
void VoiceRenderer::renderEar(VoiceState& v, int e, const float* mono, const Move& move,
                              const BlockContext& block) const {
  const int n = block.frames;
  const VoiceSettings& next = move.next;
  const int taps = m_hrtf.taps;
  float* x = block.scratch->ear[static_cast<size_t>(e)].data() + (kMaxTaps - 1);
  float* tail = v.earTail[e];
  std::copy(tail, tail + (taps - 1), x - (taps - 1));
  // Fractional interaural delay, gliding sample by sample.
  const float delay0 = v.now.delay[e];
  float fresh;
  if (next.delay[e] == delay0) {
    // Still: the cubic's weights are the same for every sample.
    const float at = static_cast<float>(kVoiceHistory - kLookahead) - delay0;
    const int k = static_cast<int>(at);
    float weights[4];
    cubicWeights(at - static_cast<float>(k), weights);
    fresh = m_kernels.fir4(mono + k - 1, weights, x, n);
  } else {
    // Read position kVoiceHistory - kLookahead + i - (delay0 + delayStep (i+1)).
    const float delayStep = (next.delay[e] - delay0) / static_cast<float>(n);
    fresh = m_kernels.delayCubic(mono, static_cast<float>(kVoiceHistory - kLookahead) - delay0 - delayStep,
                                 1.0f - delayStep, x, n);
  }
  const float peak = std::max(fresh, v.earPeak[e]);
  v.earPeak[e] = n >= taps - 1 ? fresh : peak;
  // A filter change of D (sum of the coefficients' changes) moves an output of gain g from inputs within
  // +-peak by at most g D peak: over `fade` samples each step stays below kFadeStepLimit.
  float change = 0.0f;
  for (int k = 0; move.gliding && k < taps; ++k) change += std::fabs(next.filter[e][k] - v.now.filter[e][k]);
  int fade = 0;
  if (change > 0.0f) {
    const float level = std::max(std::fabs(v.now.gain[e]), std::fabs(next.gain[e])) * peak;
    fade = std::min(n, (static_cast<int>(std::min(change * level / kFadeStepLimit, 1e6f)) + 8) & ~7);
  }
  // g ((1 - t) old + t new) * x = g new * x + g (1 - t) (old - new) * x, the latter over the fade.
  float* mix = block.ears[e];
  const float gain0 = v.now.gain[e], gain1 = next.gain[e];
  float* weight = block.scratch->gain[0].data();
  if (gain1 == gain0) {  // no ramp to write
    m_kernels.convolveGain(x, next.filter[e], taps, n, gain0, mix);
  } else {
    ramp(weight, n, gain0, gain1);
    m_kernels.convolve(x, next.filter[e], taps, n, weight, mix);
  }
  if (fade > 0) {
    float* oldWeight = block.scratch->gain[1].data();
    const float inv = 1.0f / static_cast<float>(fade);
    for (int i = 0; i < fade; ++i)
      oldWeight[i] = (gain1 == gain0 ? gain0 : weight[i]) * (1.0f - static_cast<float>(i + 1) * inv);
    float away[kMaxTaps];
    for (int k = 0; k < taps; ++k) away[k] = v.now.filter[e][k] - next.filter[e][k];
    m_kernels.convolve(x, away, taps, fade, oldWeight, mix);
  }
  if (n >= taps - 1) {
    std::copy(x + n - (taps - 1), x + n, tail);
  } else {
    std::memmove(tail, tail + n, sizeof(float) * static_cast<size_t>(taps - 1 - n));
    std::copy(x, x + n, tail + (taps - 1 - n));
  }
}

// Without the head: the source's own channels (mono sources on both ears), panned.
bool VoiceRenderer::renderDirect(VoiceState& v, const Move& move, const BlockContext& block) const {
  const int n = block.frames;
  VoiceScratch& scratch = *block.scratch;
  Resampling job;
  job.step0 = v.now.step;
  job.step1 = move.next.step;
  job.split = v.p.channels >= 2 && !v.p.is3d;
  job.out[0] = scratch.mono[0].data();
  job.out[1] = scratch.mono[1].data();
  const bool ended = resample(v, n, job, scratch);
  const float* left = job.out[0];
  const float* right = job.split ? job.out[1] : left;
  float* gainL = scratch.gain[0].data();
  float* gainR = scratch.gain[1].data();
  ramp(gainL, n, v.now.gain[0], move.next.gain[0]);
  ramp(gainR, n, v.now.gain[1], move.next.gain[1]);
  float* mixL = block.direct[0];
  float* mixR = block.direct[1];
  for (int i = 0; i < n; ++i) {
    mixL[i] += gainL[i] * left[i];
    mixR[i] += gainR[i] * right[i];
  }
  return ended;
}

}  // namespace trivox
