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

void ramp(float* out, int n, float from, float to) {
  const float d = (to - from) / static_cast<float>(n);
  for (int i = 0; i < n; ++i) out[i] = from + d * static_cast<float>(i + 1);
}

float finiteOr(float v, float fallback) { return std::isfinite(v) ? v : fallback; }

// Snaps values that have glided close enough, so nothing decays into subnormals.
float settle(float v, float target) { return std::fabs(v - target) < 1e-7f ? target : v; }

}  // namespace

struct Mixer::Voice {
  // Control side, under m_paramMutex.
  VoiceParams pending;
  bool dirty = false;
  bool inUse = false;

  std::atomic<uint32_t> frame{0};
  std::atomic<uint32_t> endedGen{0};
  std::atomic<uint32_t> seekGen{0};

  // Render side.
  VoiceParams p;
  bool live = false;     // the render side's view of inUse
  bool running = false;  // sounded in the previous block
  double pos = 0;
  uint32_t appliedSeek = 0;
  uint32_t ended = 0;

  float h[2][kMaxTaps] = {};
  float delay[2] = {};
  float gain[2] = {};
  float step = 0;
  float th[2][kMaxTaps] = {};
  float tdelay[2] = {};
  float tgain[2] = {};
  float tstep = 0;
  int remaining = 0;

  float hist[kHist] = {};
  float earTail[2][kMaxTaps] = {};
};

Mixer::Mixer(const HrtfSet& hrtf, uint32_t rate, int maxVoices, const Kernels* kernels)
    : m_kernels(kernels ? kernels : &trivox::kernels()),
      m_hrtf(hrtf), m_rate(rate ? rate : 48000), m_voiceCount(std::max(maxVoices, 1)),
      m_voices(new Voice[static_cast<size_t>(std::max(maxVoices, 1))]) {
  if (m_hrtf.empty() || m_hrtf.taps > kMaxTaps) m_hrtf = makeSphericalHead(m_rate);
  if (m_hrtf.rate != m_rate) {
    // Delays are counted in samples of the set's own rate.
    const float scale = static_cast<float>(m_rate) / static_cast<float>(m_hrtf.rate);
    for (float& d : m_hrtf.delays) d = std::min(d * scale, static_cast<float>(kMaxOnsetDelay));
  }
  for (auto& v : m_src) v.assign(kMaxSrc, 0.0f);
  for (auto& v : m_mono) v.assign(kHist + kBlockFrames, 0.0f);
  for (auto& v : m_ear) v.assign(kMaxTaps + kBlockFrames, 0.0f);
  for (auto& v : m_gain) v.assign(kBlockFrames, 0.0f);
  for (auto& v : m_mix) v.assign(kBlockFrames, 0.0f);
  m_index.assign(kBlockFrames, 0);
  m_frac.assign(kBlockFrames, 0.0f);
}

Mixer::~Mixer() = default;

int Mixer::addVoice() {
  std::lock_guard<std::mutex> lock(m_paramMutex);
  for (int i = 0; i < m_voiceCount; ++i) {
    Voice& v = m_voices[static_cast<size_t>(i)];
    if (!v.inUse) {
      v.inUse = true;
      v.pending = VoiceParams{};
      v.dirty = true;
      v.frame.store(0);
      v.endedGen.store(0);
      v.seekGen.store(0);
      return i;
    }
  }
  return -1;
}

void Mixer::removeVoice(int id) {
  if (id < 0 || id >= m_voiceCount) return;
  std::lock_guard<std::mutex> render(m_renderMutex);
  std::lock_guard<std::mutex> lock(m_paramMutex);
  Voice& v = m_voices[static_cast<size_t>(id)];
  v.inUse = false;
  v.pending = VoiceParams{};
  v.dirty = true;
  v.live = false;
  v.p = VoiceParams{};
  v.running = false;
}

void Mixer::setVoice(int id, const VoiceParams& params) {
  if (id < 0 || id >= m_voiceCount) return;
  std::lock_guard<std::mutex> lock(m_paramMutex);
  Voice& v = m_voices[static_cast<size_t>(id)];
  if (!v.inUse) return;
  v.pending = params;
  v.dirty = true;
}

void Mixer::setListener(const ListenerState& listener) {
  std::lock_guard<std::mutex> lock(m_paramMutex);
  m_pendingListener = listener;
  m_listenerDirty = true;
}

VoiceStatus Mixer::status(int id) const {
  VoiceStatus s;
  if (id < 0 || id >= m_voiceCount) return s;
  const Voice& v = m_voices[static_cast<size_t>(id)];
  s.frame = v.frame.load();
  s.endedGen = v.endedGen.load();
  s.seekGen = v.seekGen.load();
  return s;
}

void Mixer::render(float* out, int frames) {
  FlushDenormals ftz;
  std::lock_guard<std::mutex> render(m_renderMutex);
  {
    std::lock_guard<std::mutex> lock(m_paramMutex);
    if (m_listenerDirty) {
      m_listener = m_pendingListener;
      m_listenerDirty = false;
    }
    for (int i = 0; i < m_voiceCount; ++i) {
      Voice& v = m_voices[static_cast<size_t>(i)];
      if (!v.dirty) continue;
      if (v.inUse && !v.live) {
        // A slot taken anew starts from nothing.
        v.pos = 0;
        v.appliedSeek = 0;
        v.ended = 0;
        v.running = false;
      }
      v.p = v.pending;
      v.live = v.inUse;
      v.dirty = false;
    }
  }
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
  for (int i = 0; i < m_voiceCount; ++i) {
    Voice& v = m_voices[static_cast<size_t>(i)];
    if (v.live) renderVoice(v, frames);
  }
}

// Where the voice should be heading: filters, delays, ear gains and step.
void Mixer::targets(Voice& v, float* th, float* td, float* tg, float& ts) const {
  const VoiceParams& p = v.p;
  const float vol = millibelsToGain(p.volume);
  const float panL = p.pan > 0 ? millibelsToGain(-p.pan) : 1.0f;
  const float panR = p.pan < 0 ? millibelsToGain(p.pan) : 1.0f;
  float pitch = 1.0f, g = 1.0f;
  td[0] = td[1] = 0.0f;
  std::fill(th, th + kMaxTaps + m_hrtf.taps, 0.0f);
  if (p.is3d) {
    const Placement pl = place(m_listener, p.source);
    pitch = finiteOr(pl.pitch, 1.0f);
    g = finiteOr(pl.gain, 0.0f);
    if (p.source.mode != Mode3D::Disabled) {
      // A source at the listener's own position is heard from the front.
      const float az = pl.centred ? 0.0f : finiteOr(pl.azimuth, 0.0f);
      const float el = pl.centred ? 0.0f : finiteOr(pl.elevation, 0.0f);
      m_hrtf.interpolate(az, el, th, th + kMaxTaps, td[0], td[1]);
    }
  }
  tg[0] = vol * panL * g;
  tg[1] = vol * panR * g;
  const float freq = static_cast<float>(std::clamp<uint32_t>(p.frequency, 1, 1000000));
  ts = std::clamp(freq * pitch / static_cast<float>(m_rate), 0.0f, kMaxStep);
}

bool Mixer::resample(Voice& v, int n, float step0, float step1, float* outA, float* outB, bool split) {
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
  double ph = v.pos - static_cast<double>(base);
  double st = step0;
  const double dst = (static_cast<double>(step1) - step0) / n;
  const double limit = static_cast<double>(count - 3);
  int32_t* idx = m_index.data();
  float* frac = m_frac.data();
  // Phase in closed form so the loop vectorises: step i is step0 + (i+1) dst.
  const double ph0 = ph;
  for (int i = 0; i < n; ++i) {
    const double di = i;
    const double q = std::min(ph0 + di * st + dst * 0.5 * di * (di + 1.0), limit);
    const int k = static_cast<int>(q);
    idx[i] = k;
    frac[i] = static_cast<float>(q - k);
  }
  ph = ph0 + n * st + dst * 0.5 * n * (n + 1.0);
  m_kernels->cubicAt(sa, idx, frac, outA, n);
  if (split) m_kernels->cubicAt(sb, idx, frac, outB, n);
  double pos = static_cast<double>(base) + ph;
  if (p.looping) {
    pos = std::fmod(pos, static_cast<double>(frames));
    if (pos < 0) pos += static_cast<double>(frames);
    v.pos = pos;
    return false;
  }
  v.pos = pos;
  return pos >= static_cast<double>(frames);
}

void Mixer::renderVoice(Voice& v, int n) {
  const VoiceParams& p = v.p;
  if (p.seekGen != v.appliedSeek) {
    v.appliedSeek = p.seekGen;
    v.pos = p.seekFrame;
    const int bpf = p.channels * (p.bits / 8);
    const uint32_t frames = bpf > 0 ? p.bytes / static_cast<uint32_t>(bpf) : 0;
    if (v.pos >= frames) v.pos = 0;
    v.frame.store(static_cast<uint32_t>(v.pos));
    v.seekGen.store(p.seekGen);
  }
  const bool active = p.playing && v.ended != p.playGen;
  if (!active) {
    v.running = false;
    return;
  }
  const bool binaural = p.is3d && p.source.mode != Mode3D::Disabled;
  const int taps = m_hrtf.taps;
  float th[2 * kMaxTaps], td[2] = {0, 0}, tg[2], ts;
  targets(v, th, td, tg, ts);

  if (!v.running) {
    // A start is not a parameter change: begin exactly at the target.
    std::memcpy(v.h[0], th, sizeof(float) * taps);
    std::memcpy(v.h[1], th + kMaxTaps, sizeof(float) * taps);
    std::memcpy(v.th, v.h, sizeof(v.h));
    v.delay[0] = v.tdelay[0] = td[0];
    v.delay[1] = v.tdelay[1] = td[1];
    v.gain[0] = v.tgain[0] = tg[0];
    v.gain[1] = v.tgain[1] = tg[1];
    v.step = v.tstep = ts;
    v.remaining = 0;
    std::fill(std::begin(v.hist), std::end(v.hist), 0.0f);
    std::fill(&v.earTail[0][0], &v.earTail[0][0] + 2 * kMaxTaps, 0.0f);
    v.running = true;
  } else {
    const bool changed = std::memcmp(v.th[0], th, sizeof(float) * taps) != 0 ||
                         std::memcmp(v.th[1], th + kMaxTaps, sizeof(float) * taps) != 0 ||
                         v.tdelay[0] != td[0] || v.tdelay[1] != td[1] || v.tgain[0] != tg[0] ||
                         v.tgain[1] != tg[1] || v.tstep != ts;
    if (changed) {
      std::memcpy(v.th[0], th, sizeof(float) * taps);
      std::memcpy(v.th[1], th + kMaxTaps, sizeof(float) * taps);
      v.tdelay[0] = td[0];
      v.tdelay[1] = td[1];
      v.tgain[0] = tg[0];
      v.tgain[1] = tg[1];
      v.tstep = ts;
      v.remaining = kGlideBlocks;
    }
  }

  // This block moves 1/remaining of the way to the target.
  float nh[2][kMaxTaps];
  std::memcpy(nh, v.h, sizeof(nh));
  float nd[2], ng[2], ns;
  const bool gliding = v.remaining > 0;
  if (gliding) {
    const float t = 1.0f / static_cast<float>(v.remaining);
    for (int e = 0; e < 2; ++e) {
      for (int k = 0; k < taps; ++k) nh[e][k] = settle(v.h[e][k] + (v.th[e][k] - v.h[e][k]) * t, v.th[e][k]);
      nd[e] = settle(v.delay[e] + (v.tdelay[e] - v.delay[e]) * t, v.tdelay[e]);
      ng[e] = settle(v.gain[e] + (v.tgain[e] - v.gain[e]) * t, v.tgain[e]);
    }
    ns = settle(v.step + (v.tstep - v.step) * t, v.tstep);
    if (--v.remaining == 0) {
      std::memcpy(nh, v.th, sizeof(nh));
      std::copy(v.tdelay, v.tdelay + 2, nd);
      std::copy(v.tgain, v.tgain + 2, ng);
      ns = v.tstep;
    }
  } else {
    std::copy(v.delay, v.delay + 2, nd);
    std::copy(v.gain, v.gain + 2, ng);
    ns = v.step;
  }

  bool ended;
  if (binaural) {
    float* mono = m_mono[0].data();
    std::copy(std::begin(v.hist), std::end(v.hist), mono);
    ended = resample(v, n, v.step, ns, mono + kHist, nullptr, false);
    // A filter change of D (sum of absolute coefficient changes) moves a
    // full-scale output by at most D; spread over `fade` samples each step
    // stays below kFadeStepLimit. Small changes fade fast and cost little.
    int fade = 0;
    if (gliding) {
      float change = 0.0f;
      for (int e = 0; e < 2; ++e) {
        float d = 0.0f;
        for (int k = 0; k < taps; ++k) d += std::fabs(nh[e][k] - v.h[e][k]);
        change = std::max(change, d);
      }
      if (change > 0.0f) fade = std::min(n, (static_cast<int>(change / kFadeStepLimit) + 8) & ~7);
    }
    for (int e = 0; e < 2; ++e) {
      float* x = m_ear[e].data() + (kMaxTaps - 1);
      std::copy(v.earTail[e], v.earTail[e] + (taps - 1), x - (taps - 1));
      // Fractional interaural delay, gliding sample by sample.
      const float d0 = v.delay[e];
      if (nd[e] == d0) {
        // Still: the cubic's weights are the same for every sample.
        const float pos = static_cast<float>(kHist - kLookahead) - d0;
        const int k = static_cast<int>(pos);
        float c[4];
        cubicWeights(pos - static_cast<float>(k), c);
        m_kernels->fir4(mono + k - 1, c, x, n);
      } else {
        // Read position kHist - kLookahead + i - (d0 + dd (i+1)).
        const float dd = (nd[e] - d0) / static_cast<float>(n);
        m_kernels->delayCubic(mono, static_cast<float>(kHist - kLookahead) - d0 - dd, 1.0f - dd, x, n);
      }
      float* wa = m_gain[0].data();
      ramp(wa, n, v.gain[e], ng[e]);
      if (fade > 0) {
        float* wb = m_gain[1].data();
        const float inv = 1.0f / static_cast<float>(fade);
        for (int i = 0; i < fade; ++i) {
          const float t = static_cast<float>(i + 1) * inv;
          wb[i] = wa[i] * t;
          wa[i] -= wb[i];
        }
        float* mix = m_mix[static_cast<size_t>(e)].data();
        m_kernels->convolveFade(x, v.h[e], nh[e], taps, fade, wa, wb, mix);
        if (fade < n) m_kernels->convolve(x + fade, nh[e], taps, n - fade, wa + fade, mix + fade);
      } else {
        m_kernels->convolve(x, nh[e], taps, n, wa, m_mix[static_cast<size_t>(e)].data());
      }
      if (n >= taps - 1) {
        std::copy(x + n - (taps - 1), x + n, v.earTail[e]);
      } else {
        std::memmove(v.earTail[e], v.earTail[e] + n, sizeof(float) * static_cast<size_t>(taps - 1 - n));
        std::copy(x, x + n, v.earTail[e] + (taps - 1 - n));
      }
    }
    std::copy(mono + n, mono + n + kHist, v.hist);
  } else {
    const bool split = p.channels == 2 && !p.is3d;
    float* a = m_mono[0].data();
    float* b = m_mono[1].data();
    ended = resample(v, n, v.step, ns, a, b, split);
    if (!split) b = a;
    float* gl = m_gain[0].data();
    float* gr = m_gain[1].data();
    ramp(gl, n, v.gain[0], ng[0]);
    ramp(gr, n, v.gain[1], ng[1]);
    float* ml = m_mix[0].data();
    float* mr = m_mix[1].data();
    for (int i = 0; i < n; ++i) {
      ml[i] += gl[i] * a[i];
      mr[i] += gr[i] * b[i];
    }
  }

  std::memcpy(v.h, nh, sizeof(nh));
  std::copy(nd, nd + 2, v.delay);
  std::copy(ng, ng + 2, v.gain);
  v.step = ns;
  if (ended) {
    v.ended = p.playGen;
    v.pos = 0;
    v.running = false;
    v.endedGen.store(p.playGen);
  }
  v.frame.store(static_cast<uint32_t>(v.pos));
}

}  // namespace trivox
