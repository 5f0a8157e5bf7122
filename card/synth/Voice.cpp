#include "Voice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zsynth {

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr double kFrac = 4294967296.0;

// The fraction of a 32.32 position; through a signed integer, which converts in one step.
inline float Frac(uint64_t phase) {
  return static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(phase) >> 9)) * (1.0f / 8388608.0f);
}

float Triangle(float t, const Lfo& lfo) {
  if (t < lfo.delay || !(lfo.frequency > 0.0f)) return 0.0f;
  const float x = (t - lfo.delay) * lfo.frequency;
  // x >= 0: a cast floors it, far cheaper than floor() on 32-bit Windows; past 2^30 cycles floor() does.
  const float p = x < 1073741824.0f ? x - static_cast<float>(static_cast<int32_t>(x)) : x - std::floor(x);
  return p < 0.25f ? 4.0f * p : (p < 0.75f ? 2.0f - 4.0f * p : 4.0f * p - 4.0f);
}
}  // namespace

void Voice::start(const Region& region, const Bank& bank, uint8_t key, uint8_t velocity,
                  uint32_t outRate, const VoiceControl& control) {
  m_region = &region;
  m_bank = &bank;
  m_pcm = bank.pcm.data();
  m_rate = outRate;
  const uint32_t size = static_cast<uint32_t>(std::min<size_t>(bank.pcm.size(), UINT32_MAX));
  m_end = std::min(region.end, size);
  m_start = std::min(region.start, m_end);
  m_loopStart = region.loopStart;
  m_loopEnd = region.loopEnd;
  m_looping = region.loop != LoopMode::kNone && m_loopStart >= m_start && m_loopStart < m_loopEnd &&
              m_loopEnd <= m_end;
  m_ended = m_start >= m_end;
  m_phase = static_cast<uint64_t>(m_start) << 32;
  const float cents = (key - region.rootKey) * region.scaleTuning + region.tuneCents;
  const float rate = region.sampleRate > 0 ? static_cast<float>(region.sampleRate) : 44100.0f;
  m_pitchBase = cents / 1200.0f + std::log2(rate / outRate);
  m_gainBase = DbToGain(-(std::max(region.attenuation, 0.0f) + VelocityDb(velocity))) / 32768.0f;
  m_vol.start(region.volEnv, key, true);
  m_mod.start(region.modEnv, key, false);
  m_modLfoT = m_vibLfoT = 0.0f;
  m_filterOn = false;
  m_cutoffHz = -1.0f;
  m_q = NAN;  // NaN equals nothing: the first block works out 1 / 2Q
  m_cents = m_cutoffCents = NAN;  // none yet: NaN equals nothing
  m_pan = 2.0f;  // none yet
  m_z1 = m_z2 = 0.0f;
  update(control, 0.0f);
  m_gainL = m_toL, m_gainR = m_toR, m_gainRev = m_toRev, m_gainCho = m_toCho;
}

void Voice::release() {
  m_vol.release();
  m_mod.release();
  if (m_region->loop == LoopMode::kUntilRelease) m_looping = false;
}

void Voice::update(const VoiceControl& c, float seconds) {
  const Region& r = *m_region;
  const float env = m_vol.advance(seconds);
  const float mod = m_mod.advance(seconds);
  m_modLfoT += seconds;
  m_vibLfoT += seconds;
  // An LFO nothing listens to is not worked out; 0 is what it would have added.
  const float vibDepth = r.vibLfoToPitch + c.vibratoCents;
  const bool modUsed = r.modLfoToPitch != 0.0f || r.modLfoToFilter != 0.0f || r.modLfoToVolume != 0.0f;
  const float modLfo = modUsed ? Triangle(m_modLfoT, r.modLfo) : 0.0f;
  const float vibLfo = vibDepth != 0.0f ? Triangle(m_vibLfoT, r.vibLfo) : 0.0f;

  // A held note's pitch and cutoff mostly stay put from block to block: no exp2 then.
  const float cents = c.pitchCents + modLfo * r.modLfoToPitch + vibLfo * vibDepth + mod * r.modEnvToPitch;
  if (cents != m_cents) {
    m_cents = cents;
    const float ratio = Exp2(m_pitchBase + cents * (1.0f / 1200.0f));
    m_inc = static_cast<uint64_t>(static_cast<double>(Clamp(ratio, 1e-9f, 1024.0f)) * kFrac);
  }

  const float cutoff = Clamp(r.filterCutoff + modLfo * r.modLfoToFilter + mod * r.modEnvToFilter, 1500.0f, 14000.0f);
  if (cutoff != m_cutoffCents) {
    m_cutoffCents = cutoff;
    m_hz = AbsCentsToHz(cutoff);
  }
  const float hz = m_hz;
  m_filterOn = hz < 0.45f * m_rate;
  if (m_filterOn && (hz != m_cutoffHz || r.filterQ != m_q)) {
    // A swept cutoff comes here every block: one division, the resonance kept.
    if (r.filterQ != m_q) m_halfOverQ = 0.5f / std::max(DbToGain(Clamp(r.filterQ, 0.0f, 96.0f) - 3.01f), 0.5f);
    m_cutoffHz = hz;
    m_q = r.filterQ;
    float sw, cw;
    SinCos(2.0f * kPi * hz / m_rate, sw, cw);
    const float alpha = sw * m_halfOverQ, inv = 1.0f / (1.0f + alpha);
    m_b1 = (1.0f - cw) * inv;
    m_b0 = m_b2 = 0.5f * m_b1;
    m_a1 = -2.0f * cw * inv;
    m_a2 = (1.0f - alpha) * inv;
  }

  float g = m_gainBase * c.gain * env;
  if (r.modLfoToVolume != 0.0f) g *= DbToGain(-modLfo * r.modLfoToVolume);
  if (!std::isfinite(g)) g = 0.0f;
  const float pan = Clamp(r.pan + c.pan, -1.0f, 1.0f);
  if (pan != m_pan) {
    m_pan = pan;
    const float angle = (pan + 1.0f) * (kPi / 4.0f);
    SinCos(angle, m_panR, m_panL);
  }
  m_toL = g * m_panL;
  m_toR = g * m_panR;
  m_toRev = g * Clamp(r.reverbSend + c.reverb, 0.0f, 1.0f) * c.reverbScale;
  m_toCho = g * Clamp(r.chorusSend + c.chorus, 0.0f, 1.0f) * c.chorusScale;
}

float Voice::sampleAt(uint64_t index) const {
  if (m_looping && index >= m_loopEnd) index = m_loopStart + (index - m_loopStart) % (m_loopEnd - m_loopStart);
  if (index < m_start) index = m_start;
  return index < m_end ? static_cast<float>(m_pcm[index]) : 0.0f;
}

void Voice::generate(float* out, uint32_t frames, bool cubic, const VoiceKernels& kernels) {
  uint32_t i = 0;
  while (i < frames) {
    const uint64_t idx = m_phase >> 32;
    if (m_looping && idx >= m_loopEnd) {
      const uint64_t span = static_cast<uint64_t>(m_loopEnd - m_loopStart) << 32;
      m_phase = (static_cast<uint64_t>(m_loopStart) << 32) + (m_phase - (static_cast<uint64_t>(m_loopStart) << 32)) % span;
      continue;
    }
    if (!m_looping && idx >= m_end) {
      std::fill(out + i, out + frames, 0.0f);
      m_ended = true;
      return;
    }
    const uint32_t limit = m_looping ? m_loopEnd : m_end;
    if (idx > m_start && idx + 2 < limit) {
      // Every tap inside the sample: the plain loop.
      const uint64_t stop = static_cast<uint64_t>(limit - 2) << 32;
      // Mostly the whole rest of the block fits: a multiplication says so, where a 64-bit
      // division would be a library call in a 32-bit build.
      const uint32_t want = frames - i;
      const uint32_t n = m_phase + (want - 1) * m_inc < stop
                             ? want
                             : static_cast<uint32_t>(std::min<uint64_t>((stop - m_phase + m_inc - 1) / m_inc, want));
      const int16_t* p = m_pcm + idx;
      const uint32_t frac = static_cast<uint32_t>(m_phase);
      (cubic ? kernels.cubic : kernels.linear)(p, frac, m_inc, out + i, n);
      m_phase += m_inc * n;
      i += n;
      continue;
    }
    // Near an edge: taps wrap round the loop or fall silent past the end.
    const float f = Frac(m_phase);
    const float y1 = sampleAt(idx), y2 = sampleAt(idx + 1);
    if (cubic) {
      const float y0 = idx > 0 ? sampleAt(idx - 1) : y1, y3 = sampleAt(idx + 2);
      // As the kernels' CubicOf: Catmull-Rom from shared differences.
      const float e = y1 - y2, d = y3 - y0;
      const float b = (y0 - y1) - 4.0f * e - d, c = 3.0f * e + d;
      out[i++] = y1 + 0.5f * f * (y2 - y0 + f * (b + f * c));
    } else {
      out[i++] = y1 + f * (y2 - y1);
    }
    m_phase += m_inc;
  }
}

void Voice::toLane(LaneGroup& g, int lane, uint32_t frames) {
  if (m_filterOn) {
    g.b0[lane] = m_b0, g.b1[lane] = m_b1, g.b2[lane] = m_b2, g.a1[lane] = m_a1, g.a2[lane] = m_a2;
    g.z1[lane] = m_z1, g.z2[lane] = m_z2;
  } else {  // open: y = x, the state kept for when it closes again
    g.b0[lane] = 1.0f;
    g.b1[lane] = g.b2[lane] = g.a1[lane] = g.a2[lane] = g.z1[lane] = g.z2[lane] = 0.0f;
  }
  // Gains ramp linearly to this block's targets.
  const float inv = 1.0f / frames;
  const float from[kBuses] = {m_gainL, m_gainR, m_gainRev, m_gainCho};
  const float to[kBuses] = {m_toL, m_toR, m_toRev, m_toCho};
  for (int b = 0; b < kBuses; ++b) {
    g.gain[b][lane] = from[b];
    g.step[b][lane] = (to[b] - from[b]) * inv;
  }
  m_gainL = m_toL, m_gainR = m_toR, m_gainRev = m_toRev, m_gainCho = m_toCho;
}

void Voice::finish(const LaneGroup& g, int lane) {
  if (!m_filterOn) return;
  // A filter ringing down to denormals would cost more than the whole voice.
  m_z1 = std::fabs(g.z1[lane]) < 1e-15f ? 0.0f : g.z1[lane];
  m_z2 = std::fabs(g.z2[lane]) < 1e-15f ? 0.0f : g.z2[lane];
}

bool Voice::prepare(const VoiceControl& control, uint32_t frames, bool cubic, const VoiceKernels& kernels,
                    LaneGroup& group, int lane) {
  update(control, static_cast<float>(frames) / m_rate);
  generate(group.x[lane], frames, cubic, kernels);
  toLane(group, lane, frames);
  return !m_ended && !m_vol.done();
}

void Voice::fadeOut(Buses& buses, bool cubic, const VoiceKernels& kernels, LaneGroup& group, LaneBuses& lanes) {
  group.clear();
  lanes.clear(true);
  generate(group.x[0], kBlock, cubic, kernels);
  m_toL = m_toR = m_toRev = m_toCho = 0.0f;
  toLane(group, 0, kBlock);
  kernels.filterMix(group, lanes, kBlock, true);
  kernels.reduce(lanes, buses, kBlock);
  m_ended = true;
}

}  // namespace zsynth
