// Included by kernels_*.cpp only; compiled with that file's instruction set.
#include <cstring>

#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include "kernels.h"

namespace trivox {
namespace KERNEL_NS {

#if defined(__AVX__)
constexpr int L = 8;
#else
constexpr int L = 4;
#endif
typedef float vf __attribute__((vector_size(L * 4)));

inline vf load(const float* p) {
  vf v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void store(float* p, vf v) { std::memcpy(p, &v, sizeof v); }
inline vf splat(float f) { return vf{} + f; }

#if defined(__x86_64__)
constexpr int kGroups = 4;  // eight accumulators fit sixteen registers
#else
constexpr int kGroups = 2;
#endif

template <int G>
inline int convolveGroups(const float* x, const float* h, int taps, int i, int n, const float* w, float* mix) {
  for (; i + L * G <= n; i += L * G) {
    vf acc[G];
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) acc[g] = splat(0.0f);
    for (int k = 0; k < taps; ++k) {
      const vf hk = splat(h[k]);
      const float* xp = x + i - k;
#pragma GCC unroll 8
      for (int g = 0; g < G; ++g) acc[g] += hk * load(xp + L * g);
    }
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) store(mix + i + L * g, load(mix + i + L * g) + load(w + i + L * g) * acc[g]);
  }
  return i;
}

void convolve(const float* x, const float* h, int taps, int n, const float* w, float* mix) {
  int i = convolveGroups<2 * kGroups>(x, h, taps, 0, n, w, mix);
  i = convolveGroups<1>(x, h, taps, i, n, w, mix);
  for (; i < n; ++i) {
    float acc = 0.0f;
    for (int k = 0; k < taps; ++k) acc += h[k] * x[i - k];
    mix[i] += w[i] * acc;
  }
}

template <int G>
inline int fadeGroups(const float* x, const float* ha, const float* hb, int taps, int i, int n, const float* wa,
                      const float* wb, float* mix) {
  for (; i + L * G <= n; i += L * G) {
    vf a[G], b[G];
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) a[g] = b[g] = splat(0.0f);
    for (int k = 0; k < taps; ++k) {
      const vf hak = splat(ha[k]);
      const vf hbk = splat(hb[k]);
      const float* xp = x + i - k;
#pragma GCC unroll 8
      for (int g = 0; g < G; ++g) {
        const vf xv = load(xp + L * g);
        a[g] += hak * xv;
        b[g] += hbk * xv;
      }
    }
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g)
      store(mix + i + L * g, load(mix + i + L * g) + load(wa + i + L * g) * a[g] + load(wb + i + L * g) * b[g]);
  }
  return i;
}

void convolveFade(const float* x, const float* ha, const float* hb, int taps, int n, const float* wa,
                  const float* wb, float* mix) {
  int i = fadeGroups<kGroups>(x, ha, hb, taps, 0, n, wa, wb, mix);
  i = fadeGroups<1>(x, ha, hb, taps, i, n, wa, wb, mix);
  for (; i < n; ++i) {
    float a = 0.0f, b = 0.0f;
    for (int k = 0; k < taps; ++k) {
      a += ha[k] * x[i - k];
      b += hb[k] * x[i - k];
    }
    mix[i] += wa[i] * a + wb[i] * b;
  }
}

inline float cubicScalar(const float* p, float t) {
  const float x0 = p[-1], x1 = p[0], x2 = p[1], x3 = p[2];
  return x1 + 0.5f * t * (x2 - x0 + t * (2.0f * x0 - 5.0f * x1 + 4.0f * x2 - x3 + t * (3.0f * (x1 - x2) + x3 - x0)));
}

inline vf cubicVec(vf x0, vf x1, vf x2, vf x3, vf t) {
  return x1 + 0.5f * t * (x2 - x0 + t * (2.0f * x0 - 5.0f * x1 + 4.0f * x2 - x3 + t * (3.0f * (x1 - x2) + x3 - x0)));
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

void delayCubic(const float* s, float start, float slope, float* out, int n) {
  // The read position drifts by less than a sample per block, so its whole
  // part relative to i stays put for long runs: contiguous loads serve them.
  vf lane;
  for (int j = 0; j < L; ++j) lane[j] = static_cast<float>(j);
  int i = 0;
  for (; i + L <= n; i += L) {
    const float p0 = start + static_cast<float>(i) * slope;
    const float p1 = start + static_cast<float>(i + L - 1) * slope;
    const int o0 = static_cast<int>(p0) - i;
    const int o1 = static_cast<int>(p1) - (i + L - 1);
    if (o0 == o1) {
      const float* p = s + i + o0;
      const vf pos = splat(start) + (splat(static_cast<float>(i)) + lane) * slope;
      const vf t = pos - (splat(static_cast<float>(i + o0)) + lane);
      store(out + i, cubicVec(load(p - 1), load(p), load(p + 1), load(p + 2), t));
    } else {
      for (int j = i; j < i + L; ++j) {
        const float pos = start + static_cast<float>(j) * slope;
        const int k = static_cast<int>(pos);
        out[j] = cubicScalar(s + k, pos - static_cast<float>(k));
      }
    }
  }
  for (; i < n; ++i) {
    const float pos = start + static_cast<float>(i) * slope;
    const int k = static_cast<int>(pos);
    out[i] = cubicScalar(s + k, pos - static_cast<float>(k));
  }
}

void fir4(const float* s, const float* c, float* out, int n) {
  const float c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3];
  for (int i = 0; i < n; ++i) out[i] = c0 * s[i] + c1 * s[i + 1] + c2 * s[i + 2] + c3 * s[i + 3];
}

}  // namespace KERNEL_NS
}  // namespace trivox
