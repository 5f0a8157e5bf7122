// Included by bus_pan_*.cpp only; compiled with that file's instruction set.
#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__AVX2__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ambisonic.h"
#include "bus_pan.h"

namespace trivox {
namespace BUS_NS {

#include "lanes_impl.h"

// Several sources at once, so each bus sample is loaded and stored once for all
// of them. Each gain steps along its line in a register (an add, not a
// multiply-add per sample): the multiply-add units then only mix.
template <int V>
void panGroup(const float (*g0)[kAmbiChannels], const float (*d)[kAmbiChannels], const float* const* x, int n,
              float* bus, int stride) {
  vf lane;
  for (int j = 0; j < L; ++j) lane[j] = static_cast<float>(j + 1);
  const float* in[V];  // held in registers: a store to the bus might otherwise alias x
  for (int v = 0; v < V; ++v) in[v] = x[v];
  for (int c = 0; c < kAmbiChannels; ++c) {
    bool any = false;
    for (int v = 0; v < V; ++v) any |= g0[v][c] != 0.0f || d[v][c] != 0.0f;
    if (!any) continue;
    vf g[V], s[V];
#pragma GCC unroll 8
    for (int v = 0; v < V; ++v) {
      g[v] = splat(g0[v][c]) + splat(d[v][c]) * lane;
      s[v] = splat(d[v][c] * static_cast<float>(L));
    }
    float* out = bus + c * stride;
    int i = 0;
    for (; i + L <= n; i += L) {
      vf acc = load(out + i);
#pragma GCC unroll 8
      for (int v = 0; v < V; ++v) {
        acc += g[v] * load(in[v] + i);
        g[v] += s[v];
      }
      store(out + i, acc);
    }
    for (; i < n; ++i) {
      const float t = static_cast<float>(i + 1);
      float acc = out[i];
      for (int v = 0; v < V; ++v) acc += (g0[v][c] + d[v][c] * t) * in[v][i];
      out[i] = acc;
    }
  }
}

static_assert(kPanGroup == 6, "pan() covers groups of one to six");

void pan(const float (*g0)[kAmbiChannels], const float (*d)[kAmbiChannels], int count, const float* const* x, int n,
         float* bus, int stride) {
  switch (count) {
    case 1: return panGroup<1>(g0, d, x, n, bus, stride);
    case 2: return panGroup<2>(g0, d, x, n, bus, stride);
    case 3: return panGroup<3>(g0, d, x, n, bus, stride);
    case 4: return panGroup<4>(g0, d, x, n, bus, stride);
    case 5: return panGroup<5>(g0, d, x, n, bus, stride);
    case 6: return panGroup<6>(g0, d, x, n, bus, stride);
    default: return;
  }
}

// The read positions of frames i..i+L-1: phase + i step + change i (i+1) / 2, at most limit.
inline vf positions(int i, float phase, float step, float half, float limit) {
  vf fi;
  for (int j = 0; j < L; ++j) fi[j] = static_cast<float>(i + j);
  const vf at = splat(phase) + fi * splat(step) + splat(half) * (fi * (fi + splat(1.0f)));
  return at < splat(limit) ? at : splat(limit);
}

void linear(const float* s, float phase, float step, float change, float limit, float* out, int n) {
  const float half = 0.5f * change;
  int i = 0;
#if defined(__AVX2__)
  for (; i + L <= n; i += L) {
    const __m256 at = positions(i, phase, step, half, limit);
    const __m256i k = _mm256_cvttps_epi32(at);
    const __m256 f = _mm256_sub_ps(at, _mm256_cvtepi32_ps(k));
    const int k0 = _mm256_cvtsi256_si32(k);
    const __m256i rel = _mm256_sub_epi32(k, _mm256_set1_epi32(k0));
    // Eight frames within the sixteen samples from the first (a step up to about two): plain
    // loads shuffled into place, cheaper than gathers.
    const __m256i seven = _mm256_set1_epi32(7);
    __m256 x0, x1;
    if (_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(_mm256_min_epu32(rel, seven), rel))) == 0xFF) {
      x0 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(s + k0), rel);
      x1 = _mm256_permutevar8x32_ps(_mm256_loadu_ps(s + k0 + 1), rel);
    } else if (_mm256_movemask_ps(_mm256_castsi256_ps(
                   _mm256_cmpeq_epi32(_mm256_min_epu32(rel, _mm256_set1_epi32(15)), rel))) == 0xFF) {
      const __m256 hi = _mm256_castsi256_ps(_mm256_cmpgt_epi32(rel, seven));
      x0 = _mm256_blendv_ps(_mm256_permutevar8x32_ps(_mm256_loadu_ps(s + k0), rel),
                            _mm256_permutevar8x32_ps(_mm256_loadu_ps(s + k0 + 8), rel), hi);
      x1 = _mm256_blendv_ps(_mm256_permutevar8x32_ps(_mm256_loadu_ps(s + k0 + 1), rel),
                            _mm256_permutevar8x32_ps(_mm256_loadu_ps(s + k0 + 9), rel), hi);
    } else {
      x0 = _mm256_i32gather_ps(s, k, 4);
      x1 = _mm256_i32gather_ps(s + 1, k, 4);
    }
    _mm256_storeu_ps(out + i, _mm256_fmadd_ps(f, _mm256_sub_ps(x1, x0), x0));
  }
#elif defined(__SSE2__)
  for (; i + L <= n; i += L) {
    const __m128 at = positions(i, phase, step, half, limit);
    const __m128i k = _mm_cvttps_epi32(at);
    const __m128 f = _mm_sub_ps(at, _mm_cvtepi32_ps(k));
    alignas(16) int32_t ks[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(ks), k);
    // Each frame's two neighbours in one 64-bit load, then sorted into x0 and x1.
    const __m128 p01 = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(s + ks[0])),
                                    reinterpret_cast<const __m64*>(s + ks[1]));
    const __m128 p23 = _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(s + ks[2])),
                                    reinterpret_cast<const __m64*>(s + ks[3]));
    const __m128 x0 = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 x1 = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1));
    _mm_storeu_ps(out + i, _mm_add_ps(x0, _mm_mul_ps(f, _mm_sub_ps(x1, x0))));
  }
#endif
  for (; i < n; ++i) {
    const float fi = static_cast<float>(i);
    const float at = std::min(phase + fi * step + half * fi * (fi + 1.0f), limit);
    const int k = static_cast<int>(at);
    const float f = at - static_cast<float>(k);
    out[i] = s[k] + f * (s[k + 1] - s[k]);
  }
}

}  // namespace BUS_NS
}  // namespace trivox
