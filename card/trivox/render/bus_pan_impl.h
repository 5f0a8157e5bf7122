// Included by bus_pan_*.cpp only; compiled with that file's instruction set.
#include <algorithm>

#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include "ambisonic.h"
#include "bus_pan.h"

namespace trivox {
namespace BUS_NS {

// Several sources at once, so each bus sample is loaded and stored once for all of them.
template <int V>
void panGroup(const float (*g0)[kAmbiChannels], const float (*d)[kAmbiChannels], const float* x, int xStride, int n,
              float* bus, int stride) {
  for (int c = 0; c < kAmbiChannels; ++c) {
    float a[V], b[V];
    bool any = false;
    for (int v = 0; v < V; ++v) {
      a[v] = g0[v][c];
      b[v] = d[v][c];
      any |= a[v] != 0.0f || b[v] != 0.0f;
    }
    if (!any) continue;
    float* out = bus + c * stride;
    for (int i = 0; i < n; ++i) {
      const float t = static_cast<float>(i + 1);
      float acc = out[i];
#pragma GCC unroll 4
      for (int v = 0; v < V; ++v) acc += (a[v] + b[v] * t) * x[v * xStride + i];
      out[i] = acc;
    }
  }
}

void pan(const float (*g0)[kAmbiChannels], const float (*d)[kAmbiChannels], int count, const float* x, int xStride,
         int n, float* bus, int stride) {
  switch (count) {
    case 1: return panGroup<1>(g0, d, x, xStride, n, bus, stride);
    case 2: return panGroup<2>(g0, d, x, xStride, n, bus, stride);
    case 3: return panGroup<3>(g0, d, x, xStride, n, bus, stride);
    case 4: return panGroup<4>(g0, d, x, xStride, n, bus, stride);
    default: return;
  }
}

void linear(const float* s, float phase, float step, float change, float limit, float* out, int n) {
  const float half = 0.5f * change;
  int i = 0;
#if defined(__AVX2__)
  const __m256 lane = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
  for (; i + 8 <= n; i += 8) {
    const __m256 fi = _mm256_add_ps(_mm256_set1_ps(static_cast<float>(i)), lane);
    const __m256 quad = _mm256_mul_ps(_mm256_set1_ps(half), _mm256_mul_ps(fi, _mm256_add_ps(fi, _mm256_set1_ps(1.0f))));
    const __m256 at = _mm256_min_ps(_mm256_add_ps(_mm256_fmadd_ps(fi, _mm256_set1_ps(step), _mm256_set1_ps(phase)), quad),
                                    _mm256_set1_ps(limit));
    const __m256i k = _mm256_cvttps_epi32(at);
    const __m256 f = _mm256_sub_ps(at, _mm256_cvtepi32_ps(k));
    const __m256 x0 = _mm256_i32gather_ps(s, k, 4);
    const __m256 x1 = _mm256_i32gather_ps(s + 1, k, 4);
    _mm256_storeu_ps(out + i, _mm256_fmadd_ps(f, _mm256_sub_ps(x1, x0), x0));
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
