#include "mixer.h"

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
constexpr int kHist = kMaxOnsetDelay + kLookahead + 3;
constexpr int kMaxSrc = static_cast<int>(kBlockFrames * kMaxStep) + 8;

#if defined(__x86_64__)
constexpr int kGroups = 8;  // sixteen xmm registers
#else
constexpr int kGroups = 4;
#endif

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

inline float cubic(const float* s, float f) {
  // Catmull-Rom through s[0..3], between s[1] and s[2].
  return s[1] + 0.5f * f * (s[2] - s[0] + f * (2.0f * s[0] - 5.0f * s[1] + 4.0f * s[2] - s[3] +
                                               f * (3.0f * (s[1] - s[2]) + s[3] - s[0])));
}

// mix[i] += w[i] * sum_k h[k] x[i-k]; x has taps-1 samples of history before x[0].
void convolve(const float* x, const float* h, int taps, int n, const float* w, float* mix) {
  int i = 0;
#if TRIVOX_SSE
  for (; i + 4 * kGroups <= n; i += 4 * kGroups) {
    __m128 acc[kGroups];
    for (int g = 0; g < kGroups; ++g) acc[g] = _mm_setzero_ps();
    for (int k = 0; k < taps; ++k) {
      const __m128 hk = _mm_set1_ps(h[k]);
      const float* xp = x + i - k;
      for (int g = 0; g < kGroups; ++g) acc[g] = _mm_add_ps(acc[g], _mm_mul_ps(hk, _mm_loadu_ps(xp + 4 * g)));
    }
    for (int g = 0; g < kGroups; ++g) {
      float* m = mix + i + 4 * g;
      _mm_storeu_ps(m, _mm_add_ps(_mm_loadu_ps(m), _mm_mul_ps(acc[g], _mm_loadu_ps(w + i + 4 * g))));
    }
  }
  for (; i + 4 <= n; i += 4) {
    __m128 acc = _mm_setzero_ps();
    for (int k = 0; k < taps; ++k) acc = _mm_add_ps(acc, _mm_mul_ps(_mm_set1_ps(h[k]), _mm_loadu_ps(x + i - k)));
    _mm_storeu_ps(mix + i, _mm_add_ps(_mm_loadu_ps(mix + i), _mm_mul_ps(acc, _mm_loadu_ps(w + i))));
  }
#endif
  for (; i < n; ++i) {
    float acc = 0.0f;
    for (int k = 0; k < taps; ++k) acc += h[k] * x[i - k];
    mix[i] += w[i] * acc;
  }
}

// The same with the filter moving from ha to hb over the block (equal to
// interpolating the coefficients sample by sample): mix += wa*(ha*x) + wb*(hb*x).
void convolveFade(const float* x, const float* ha, const float* hb, int taps, int n, const float* wa,
                  const float* wb, float* mix) {
  int i = 0;
#if TRIVOX_SSE
  constexpr int G = kGroups / 2;
  for (; i + 4 * G <= n; i += 4 * G) {
    __m128 a[G], b[G];
    for (int g = 0; g < G; ++g) a[g] = b[g] = _mm_setzero_ps();
    for (int k = 0; k < taps; ++k) {
      const __m128 hak = _mm_set1_ps(ha[k]);
      const __m128 hbk = _mm_set1_ps(hb[k]);
      const float* xp = x + i - k;
      for (int g = 0; g < G; ++g) {
        const __m128 xv = _mm_loadu_ps(xp + 4 * g);
        a[g] = _mm_add_ps(a[g], _mm_mul_ps(hak, xv));
        b[g] = _mm_add_ps(b[g], _mm_mul_ps(hbk, xv));
      }
    }
    for (int g = 0; g < G; ++g) {
      float* m = mix + i + 4 * g;
      const __m128 v = _mm_add_ps(_mm_mul_ps(a[g], _mm_loadu_ps(wa + i + 4 * g)),
                                  _mm_mul_ps(b[g], _mm_loadu_ps(wb + i + 4 * g)));
      _mm_storeu_ps(m, _mm_add_ps(_mm_loadu_ps(m), v));
    }
  }
#endif
  for (; i < n; ++i) {
    float a = 0.0f, b = 0.0f;
    for (int k = 0; k < taps; ++k) {
      a += ha[k] * x[i - k];
      b += hb[k] * x[i - k];
    }
    mix[i] += wa[i] * a + wb[i] * b;
  }
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

Mixer::Mixer(const HrtfSet& hrtf, uint32_t rate, int maxVoices)
    : m_hrtf(hrtf), m_rate(rate ? rate : 48000), m_voiceCount(std::max(maxVoices, 1)),
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
  const bool stereo = p.channels == 2;
  const bool eight = p.bits == 8;
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
    const uint8_t* src = p.data + f * bytesPerFrame;
    for (int k = 0; k < run; ++k, ++j) {
      float a, b;
      if (eight) {
        a = (static_cast<float>(src[0]) - 128.0f) * (1.0f / 128.0f);
        b = stereo ? (static_cast<float>(src[1]) - 128.0f) * (1.0f / 128.0f) : a;
      } else {
        a = static_cast<float>(static_cast<int16_t>(src[0] | (src[1] << 8))) * (1.0f / 32768.0f);
        b = stereo ? static_cast<float>(static_cast<int16_t>(src[2] | (src[3] << 8))) * (1.0f / 32768.0f) : a;
      }
      src += bytesPerFrame;
      if (split) {
        sa[j] = a;
        sb[j] = b;
      } else {
        sa[j] = stereo ? 0.5f * (a + b) : a;
      }
    }
  }
  double ph = v.pos - static_cast<double>(base);
  double st = step0;
  const double dst = (static_cast<double>(step1) - step0) / n;
  const double limit = static_cast<double>(count - 3);
  for (int i = 0; i < n; ++i) {
    st += dst;
    const double q = std::min(ph, limit);
    const int k = static_cast<int>(q);
    const float fr = static_cast<float>(q - k);
    outA[i] = cubic(sa + k - 1, fr);
    if (split) outB[i] = cubic(sb + k - 1, fr);
    ph += st;
  }
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
    const bool filterMoves = gliding && std::memcmp(v.h, nh, sizeof(float) * kMaxTaps * 2) != 0;
    for (int e = 0; e < 2; ++e) {
      float* x = m_ear[e].data() + (kMaxTaps - 1);
      std::copy(v.earTail[e], v.earTail[e] + (taps - 1), x - (taps - 1));
      // Fractional interaural delay, gliding sample by sample.
      const float d0 = v.delay[e];
      const float dd = (nd[e] - d0) / static_cast<float>(n);
      for (int i = 0; i < n; ++i) {
        const float pos = static_cast<float>(kHist + i - kLookahead) - (d0 + dd * static_cast<float>(i + 1));
        const int k = static_cast<int>(pos);
        x[i] = cubic(mono + k - 1, pos - static_cast<float>(k));
      }
      float* wa = m_gain[0].data();
      ramp(wa, n, v.gain[e], ng[e]);
      if (filterMoves) {
        float* wb = m_gain[1].data();
        const float inv = 1.0f / static_cast<float>(n);
        for (int i = 0; i < n; ++i) {
          const float t = static_cast<float>(i + 1) * inv;
          wb[i] = wa[i] * t;
          wa[i] -= wb[i];
        }
        convolveFade(x, v.h[e], nh[e], taps, n, wa, wb, m_mix[static_cast<size_t>(e)].data());
      } else {
        convolve(x, nh[e], taps, n, wa, m_mix[static_cast<size_t>(e)].data());
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
