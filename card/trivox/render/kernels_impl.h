// Included by kernels_*.cpp only; compiled with that file's instruction set.
#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels.h"

namespace trivox {
namespace KERNEL_NS {

#include "lanes_impl.h"

inline vf larger(vf top, vf v) {  // lanewise max(top, |v|)
  typedef int32_t vi __attribute__((vector_size(L * 4)));
  vi bits;
  std::memcpy(&bits, &v, sizeof bits);
  bits &= 0x7FFFFFFF;
  std::memcpy(&v, &bits, sizeof v);
  return v > top ? v : top;
}
inline float largest(vf top) {
  float m = 0.0f;
  for (int j = 0; j < L; ++j) m = std::max(m, top[j]);
  return m;
}

#if defined(__x86_64__)
constexpr int kGroups = 4;  // eight accumulators fit sixteen registers
constexpr int kMainGroups = 10;  // one-filter accumulators: a 240-sample block in whole passes
#else
constexpr int kGroups = 2;
constexpr int kMainGroups = 2 * kGroups;
#endif

// G groups of L outputs, each summed in P partial sums over interleaved taps:
// few groups (the block's tail) would otherwise wait on one long add chain.
template <int G, int P>
inline int convolveGroups(const float* x, const float* h, int taps, int i, int n, const float* w, float gain,
                          float* mix) {
  const int whole = taps - taps % P;
  for (; i + L * G <= n; i += L * G) {
    vf acc[G * P];
#pragma GCC unroll 16
    for (int a = 0; a < G * P; ++a) acc[a] = splat(0.0f);
    for (int k = 0; k < whole; k += P) {
#pragma GCC unroll 4
      for (int p = 0; p < P; ++p) {
        const vf hk = splat(h[k + p]);
        const float* xp = x + i - k - p;
#pragma GCC unroll 16
        for (int g = 0; g < G; ++g) acc[g * P + p] += hk * load(xp + L * g);
      }
    }
    for (int k = whole; k < taps; ++k) {
      const vf hk = splat(h[k]);
#pragma GCC unroll 16
      for (int g = 0; g < G; ++g) acc[g * P] += hk * load(x + i - k + L * g);
    }
#pragma GCC unroll 16
    for (int g = 0; g < G; ++g) {
      vf sum = acc[g * P];
#pragma GCC unroll 4
      for (int p = 1; p < P; ++p) sum += acc[g * P + p];
      store(mix + i + L * g, load(mix + i + L * g) + (w ? load(w + i + L * g) : splat(gain)) * sum);
    }
  }
  return i;
}

template <bool Weighted>
void convolveWith(const float* x, const float* h, int taps, int n, const float* w, float gain, float* mix) {
  if (!Weighted) w = nullptr;  // lets the compiler drop the loads
  int i = convolveGroups<kMainGroups, 1>(x, h, taps, 0, n, w, gain, mix);
  i = convolveGroups<kGroups, 2>(x, h, taps, i, n, w, gain, mix);
  i = convolveGroups<kGroups / 2, 4>(x, h, taps, i, n, w, gain, mix);
  i = convolveGroups<1, 2 * kGroups>(x, h, taps, i, n, w, gain, mix);
  for (; i < n; ++i) {
    float acc = 0.0f;
    for (int k = 0; k < taps; ++k) acc += h[k] * x[i - k];
    mix[i] += (w ? w[i] : gain) * acc;
  }
}

void convolve(const float* x, const float* h, int taps, int n, const float* w, float* mix) {
  convolveWith<true>(x, h, taps, n, w, 0.0f, mix);
}

void convolveGain(const float* x, const float* h, int taps, int n, float gain, float* mix) {
  convolveWith<false>(x, h, taps, n, nullptr, gain, mix);
}

inline float cubicScalar(const float* p, float t) {
  const float x0 = p[-1], x1 = p[0], x2 = p[1], x3 = p[2];
  return x1 + 0.5f * t * (x2 - x0 + t * (2.0f * x0 - 5.0f * x1 + 4.0f * x2 - x3 + t * (3.0f * (x1 - x2) + x3 - x0)));
}

inline vf cubicVec(vf x0, vf x1, vf x2, vf x3, vf t) {
  // The same polynomial as cubicScalar from shared differences: fewer operations.
  const vf e = x1 - x2, d = x3 - x0;
  const vf b = (x0 - x1) - 4.0f * e - d;
  const vf c = 3.0f * e + d;
  return x1 + 0.5f * t * (x2 - x0 + t * (b + t * c));
}

void cubicAt(const float* s, const int32_t* k, const float* f, float* out, int n) {
  int i = 0;
#if defined(__AVX2__)
  for (; i + 8 <= n; i += 8) {
    const __m256i ki = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(k + i));
    const vf x0 = _mm256_i32gather_ps(s - 1, ki, 4);
    const vf x1 = _mm256_i32gather_ps(s, ki, 4);
    const vf x2 = _mm256_i32gather_ps(s + 1, ki, 4);
    const vf x3 = _mm256_i32gather_ps(s + 2, ki, 4);
    store(out + i, cubicVec(x0, x1, x2, x3, load(f + i)));
  }
#endif
  for (; i < n; ++i) out[i] = cubicScalar(s + k[i], f[i]);
}

// Positions in 32.32 fixed point per chunk (exact enough, no conversions
// from double), lanes in float from the chunk's whole sample; the lanes'
// taps come from one or two loads.
void resampleCubic(const float* s, double phase, double step, float* out, int n) {
  const float stepF = static_cast<float>(step);
  const int64_t stepFixed = static_cast<int64_t>(step * 4294967296.0 + 0.5);
  int64_t atFixed = static_cast<int64_t>(phase * 4294967296.0 + 0.5);
  constexpr float kFraction = 1.0f / 2147483648.0f;  // of the 31 bits kept below the point
  int i = 0;
#if defined(__AVX2__)
  const vf laneAt = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7) * stepF;
  const __m256i one = _mm256_set1_epi32(1), eight = _mm256_set1_epi32(8);
  for (; i + 8 <= n; i += 8, atFixed += 8 * stepFixed) {
    const int k0 = static_cast<int>(atFixed >> 32);
    const float f0 = static_cast<float>(static_cast<int32_t>((atFixed & 0xFFFFFFFF) >> 1)) * kFraction;
    const vf pos = splat(f0) + laneAt;
    const __m256i k = _mm256_cvttps_epi32(pos);
    const vf t = pos - _mm256_cvtepi32_ps(k);
    const float* p = s + k0 - 1;  // x0 of lane j is p[k[j]]
    const float span = f0 + 7.0f * stepF;
    vf x[4];
    if (span < 4.5f) {
      const __m256 w = _mm256_loadu_ps(p);
      __m256i kj = k;
#pragma GCC unroll 4
      for (int j = 0; j < 4; ++j, kj = _mm256_add_epi32(kj, one)) x[j] = _mm256_permutevar8x32_ps(w, kj);
    } else if (span < 12.5f) {
      const __m256 lo = _mm256_loadu_ps(p), hi = _mm256_loadu_ps(p + 8);
      __m256i kj = k;
#pragma GCC unroll 4
      for (int j = 0; j < 4; ++j, kj = _mm256_add_epi32(kj, one)) {
        const __m256 low = _mm256_castsi256_ps(_mm256_cmpgt_epi32(eight, kj));
        x[j] = _mm256_blendv_ps(_mm256_permutevar8x32_ps(hi, kj), _mm256_permutevar8x32_ps(lo, kj), low);
      }
    } else {
      __m256i kj = k;
#pragma GCC unroll 4
      for (int j = 0; j < 4; ++j, kj = _mm256_add_epi32(kj, one)) x[j] = _mm256_i32gather_ps(p, kj, 4);
    }
    store(out + i, cubicVec(x[0], x[1], x[2], x[3], t));
  }
#elif defined(__SSE2__)
  // Two vectors from each fixed-point position.
  const vf laneAt = vf{0, 1, 2, 3} * stepF, laneAt4 = vf{4, 5, 6, 7} * stepF;
  auto four = [s](int k0, __m128 pos, float* to) {
    const __m128i k = _mm_cvttps_epi32(pos);
    const vf t = pos - _mm_cvtepi32_ps(k);
    // Each lane's four taps in one load, then turned into four vectors of one tap each.
    const float* p = s + k0 - 1;
    __m128 r0 = _mm_loadu_ps(p + _mm_cvtsi128_si32(k));
    __m128 r1 = _mm_loadu_ps(p + _mm_cvtsi128_si32(_mm_shuffle_epi32(k, 1)));
    __m128 r2 = _mm_loadu_ps(p + _mm_cvtsi128_si32(_mm_shuffle_epi32(k, 2)));
    __m128 r3 = _mm_loadu_ps(p + _mm_cvtsi128_si32(_mm_shuffle_epi32(k, 3)));
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    store(to, cubicVec(r0, r1, r2, r3, t));
  };
  for (; i + 8 <= n; i += 8, atFixed += 8 * stepFixed) {
    const int k0 = static_cast<int>(atFixed >> 32);
    const vf f0 = splat(static_cast<float>(static_cast<int32_t>((atFixed & 0xFFFFFFFF) >> 1)) * kFraction);
    four(k0, f0 + laneAt, out + i);
    four(k0, f0 + laneAt4, out + i + 4);
  }
#endif
  for (; i < n; ++i, atFixed += stepFixed) {
    const int k = static_cast<int>(atFixed >> 32);
    out[i] = cubicScalar(s + k, static_cast<float>(static_cast<int32_t>((atFixed & 0xFFFFFFFF) >> 1)) * kFraction);
  }
}

float delayCubic(const float* s, float start, float slope, float* out, int n) {
  // The read position drifts by less than a sample per block, so its whole
  // part relative to i stays put for long runs: contiguous loads serve them.
  // u = position - i falls by `drift` a sample; its fraction is the cubic's.
  const float drift = 1.0f - slope;
  vf laneDrift;
  for (int j = 0; j < L; ++j) laneDrift[j] = static_cast<float>(j) * drift;
  vf top = splat(0.0f);
  float m = 0.0f;
  int i = 0;
  while (i + L <= n) {
    const float u0 = start - static_cast<float>(i) * drift;
    const int o = static_cast<int>(u0);
    // Chunks up to the next change of the whole part, which lies past
    // (u0 - o) / drift samples (or 1 - that rising); checked at both ends.
    const float room = drift > 0.0f ? (u0 - static_cast<float>(o)) / drift
                                    : drift < 0.0f ? (static_cast<float>(o + 1) - u0) / -drift : 1e9f;
    int end = i + std::min(static_cast<int>(std::min(room, 1e9f)) / L * L, (n - i) / L * L);
    while (end > i && static_cast<int>(start - static_cast<float>(end - 1) * drift) != o) end -= L;
    if (end == i) {
      for (int j = i; j < i + L; ++j) {
        const float u = start - static_cast<float>(j) * drift;
        const int k = static_cast<int>(u);
        out[j] = cubicScalar(s + j + k, u - static_cast<float>(k));
        m = std::max(m, std::fabs(out[j]));
      }
      i += L;
      continue;
    }
    const float* p = s + o;
    vf t = splat(u0 - static_cast<float>(o)) - laneDrift;
    const vf chunkDrift = splat(static_cast<float>(L) * drift);
    for (; i < end; i += L, t -= chunkDrift) {
      const vf y = cubicVec(load(p + i - 1), load(p + i), load(p + i + 1), load(p + i + 2), t);
      store(out + i, y);
      top = larger(top, y);
    }
  }
  for (; i < n; ++i) {
    const float u = start - static_cast<float>(i) * drift;
    const int k = static_cast<int>(u);
    out[i] = cubicScalar(s + i + k, u - static_cast<float>(k));
    m = std::max(m, std::fabs(out[i]));
  }
  return std::max(m, largest(top));
}

float fir4(const float* s, const float* c, float* out, int n) {
  const float c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3];
  vf top = splat(0.0f);
  int i = 0;
  for (; i + L <= n; i += L) {
    const vf y = c0 * load(s + i) + c1 * load(s + i + 1) + c2 * load(s + i + 2) + c3 * load(s + i + 3);
    store(out + i, y);
    top = larger(top, y);
  }
  float m = largest(top);
  for (; i < n; ++i) {
    out[i] = c0 * s[i] + c1 * s[i + 1] + c2 * s[i + 2] + c3 * s[i + 3];
    m = std::max(m, std::fabs(out[i]));
  }
  return m;
}

}  // namespace KERNEL_NS
}  // namespace trivox
