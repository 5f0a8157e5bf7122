// Included by VoiceKernels*.cpp only; compiled with that file's instruction set. Every load
// and store is unaligned: a 64-bit Windows stack does not keep 32-byte alignment.
#include <cmath>
#include <cstring>

#if defined(__AVX2__)
#include <immintrin.h>
#else
#include <emmintrin.h>
#endif

#include "VoiceKernels.h"

namespace zsynth {
namespace VOICE_NS {

#if defined(__AVX2__)
typedef __m256 V;
#else
typedef __m128 V;
#endif
constexpr int W = sizeof(V) / sizeof(float);
constexpr int P = kLanes / W;  // vectors per row of lanes
constexpr float kFracScale = 1.0f / 8388608.0f;

// Two neighbouring 16-bit samples as one 32-bit word, the first in the low half.
inline int32_t Pair(const int16_t* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline V LoadV(const float* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void StoreV(float* p, V v) { std::memcpy(p, &v, sizeof v); }

// Catmull-Rom through y0..y3 at f, from shared differences: fewer operations than the
// coefficients one by one. The voice's scalar edge path uses the same expression.
template <typename T>
inline T CubicOf(T y0, T y1, T y2, T y3, T f) {
  const T e = y1 - y2, d = y3 - y0;
  const T b = (y0 - y1) - 4.0f * e - d;
  const T c = 3.0f * e + d;
  return y1 + 0.5f * f * (y2 - y0 + f * (b + f * c));
}

// Whole frames past p and the fractions' upper bits, padded with position 0 to whole vectors.
inline uint32_t Positions(uint32_t frac, uint64_t inc, uint32_t n, int32_t* idx, int32_t* fr) {
#if defined(__x86_64__)
  uint64_t r = frac;  // the vectoriser runs this loop four or eight frames at a time
  for (uint32_t k = 0; k < n; ++k, r += inc) {
    idx[k] = static_cast<int32_t>(r >> 32);
    fr[k] = static_cast<int32_t>(static_cast<uint32_t>(r) >> 9);
  }
#else
  // In 32-bit halves with a carry: a 32-bit build has no 64-bit registers, and a run spans
  // at most kBlock * 1024 frames.
  const uint32_t incLo = static_cast<uint32_t>(inc);
  const int32_t incHi = static_cast<int32_t>(inc >> 32);
  uint32_t lo = frac;
  int32_t hi = 0;
  for (uint32_t k = 0; k < n; ++k) {
    idx[k] = hi;
    fr[k] = static_cast<int32_t>(lo >> 9);
    const uint32_t next = lo + incLo;
    hi += incHi + (next < lo ? 1 : 0);
    lo = next;
  }
#endif
  const uint32_t whole = (n + kSpan - 1) / kSpan * kSpan;
  for (uint32_t k = n; k < whole; ++k) idx[k] = fr[k] = 0;
  return whole;
}

#if defined(__AVX2__)
inline __m256 Low16(__m256i v) { return _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16)); }
inline __m256 High16(__m256i v) { return _mm256_cvtepi32_ps(_mm256_srai_epi32(v, 16)); }
inline __m256 FracAt(const int32_t* fr) {
  return _mm256_cvtepi32_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(fr))) * kFracScale;
}
// Frames a and b's four taps each (one 64-bit load apiece), as floats in the two halves.
inline __m256 TwoFrames(const int16_t* a, const int16_t* b) {
  const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a));
  const __m128i both = _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lo), reinterpret_cast<const double*>(b)));
  return _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(both));
}

// Loads beat gathers here: rows of frames (k, k+4), (k+1, k+5)... transposed within each half
// give one vector per tap, frames in order.
void Cubic(const int16_t* p, uint32_t frac, uint64_t inc, float* out, uint32_t n) {
  int32_t idx[kBlock], fr[kBlock];
  const uint32_t whole = Positions(frac, inc, n, idx, fr);
  const int16_t* q = p - 1;
  for (uint32_t k = 0; k < whole; k += 8) {
    const int32_t* i = idx + k;
    const __m256 r0 = TwoFrames(q + i[0], q + i[4]), r1 = TwoFrames(q + i[1], q + i[5]);
    const __m256 r2 = TwoFrames(q + i[2], q + i[6]), r3 = TwoFrames(q + i[3], q + i[7]);
    const __m256 t0 = _mm256_unpacklo_ps(r0, r1), t1 = _mm256_unpackhi_ps(r0, r1);
    const __m256 t2 = _mm256_unpacklo_ps(r2, r3), t3 = _mm256_unpackhi_ps(r2, r3);
    const __m256 y0 = _mm256_shuffle_ps(t0, t2, 0x44), y1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 y2 = _mm256_shuffle_ps(t1, t3, 0x44), y3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    StoreV(out + k, CubicOf(y0, y1, y2, y3, FracAt(fr + k)));
  }
}

void Linear(const int16_t* p, uint32_t frac, uint64_t inc, float* out, uint32_t n) {
  int32_t idx[kBlock], fr[kBlock];
  const uint32_t whole = Positions(frac, inc, n, idx, fr);
  const int* base = reinterpret_cast<const int*>(p);
  for (uint32_t k = 0; k < whole; k += 8) {
    const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx + k));
    const __m256i a = _mm256_i32gather_epi32(base, at, 2);
    const __m256 y1 = Low16(a), y2 = High16(a);
    StoreV(out + k, y1 + FracAt(fr + k) * (y2 - y1));
  }
}
#else
inline __m128 Low16(__m128i v) { return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16)); }
inline __m128 High16(__m128i v) { return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16)); }
inline __m128 FracAt(const int32_t* fr) {
  return _mm_mul_ps(_mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(fr))), _mm_set1_ps(kFracScale));
}
inline __m128i Taps(const int16_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }

// Each frame's four taps in one 64-bit load, then turned into four vectors of one tap each.
void Cubic(const int16_t* p, uint32_t frac, uint64_t inc, float* out, uint32_t n) {
  int32_t idx[kBlock], fr[kBlock];
  const uint32_t whole = Positions(frac, inc, n, idx, fr);
  const int16_t* q = p - 1;
  for (uint32_t k = 0; k < whole; k += 4) {
    const __m128i ab = _mm_unpacklo_epi16(Taps(q + idx[k]), Taps(q + idx[k + 1]));
    const __m128i cd = _mm_unpacklo_epi16(Taps(q + idx[k + 2]), Taps(q + idx[k + 3]));
    const __m128i lo = _mm_unpacklo_epi32(ab, cd), hi = _mm_unpackhi_epi32(ab, cd);
    StoreV(out + k, CubicOf(Low16(lo), High16(lo), Low16(hi), High16(hi), FracAt(fr + k)));
  }
}

void Linear(const int16_t* p, uint32_t frac, uint64_t inc, float* out, uint32_t n) {
  int32_t idx[kBlock], fr[kBlock];
  const uint32_t whole = Positions(frac, inc, n, idx, fr);
  for (uint32_t k = 0; k < whole; k += 4) {
    // Lane j holds y1 in its low half and y2 in its high half.
    const __m128i a =
        _mm_setr_epi32(Pair(p + idx[k]), Pair(p + idx[k + 1]), Pair(p + idx[k + 2]), Pair(p + idx[k + 3]));
    const __m128 y1 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16));
    const __m128 y2 = _mm_cvtepi32_ps(_mm_srai_epi32(a, 16));
    StoreV(out + k, y1 + FracAt(fr + k) * (y2 - y1));
  }
}
#endif

// W frames of W rows, turned so that xs[k] holds frame t + k of every row: the voices
// write their samples a row each, the filter wants them a frame at a time.
#if defined(__AVX2__)
inline void Frames(const LaneGroup& g, int row, uint32_t t, V* xs) {
  V r[8];
  for (int i = 0; i < 8; ++i) r[i] = LoadV(g.x[row + i] + t);
  const V a0 = _mm256_unpacklo_ps(r[0], r[1]), a1 = _mm256_unpackhi_ps(r[0], r[1]);
  const V a2 = _mm256_unpacklo_ps(r[2], r[3]), a3 = _mm256_unpackhi_ps(r[2], r[3]);
  const V a4 = _mm256_unpacklo_ps(r[4], r[5]), a5 = _mm256_unpackhi_ps(r[4], r[5]);
  const V a6 = _mm256_unpacklo_ps(r[6], r[7]), a7 = _mm256_unpackhi_ps(r[6], r[7]);
  const V b0 = _mm256_shuffle_ps(a0, a2, 0x44), b1 = _mm256_shuffle_ps(a0, a2, 0xEE);
  const V b2 = _mm256_shuffle_ps(a1, a3, 0x44), b3 = _mm256_shuffle_ps(a1, a3, 0xEE);
  const V b4 = _mm256_shuffle_ps(a4, a6, 0x44), b5 = _mm256_shuffle_ps(a4, a6, 0xEE);
  const V b6 = _mm256_shuffle_ps(a5, a7, 0x44), b7 = _mm256_shuffle_ps(a5, a7, 0xEE);
  xs[0] = _mm256_permute2f128_ps(b0, b4, 0x20), xs[4] = _mm256_permute2f128_ps(b0, b4, 0x31);
  xs[1] = _mm256_permute2f128_ps(b1, b5, 0x20), xs[5] = _mm256_permute2f128_ps(b1, b5, 0x31);
  xs[2] = _mm256_permute2f128_ps(b2, b6, 0x20), xs[6] = _mm256_permute2f128_ps(b2, b6, 0x31);
  xs[3] = _mm256_permute2f128_ps(b3, b7, 0x20), xs[7] = _mm256_permute2f128_ps(b3, b7, 0x31);
}
#else
inline void Frames(const LaneGroup& g, int row, uint32_t t, V* xs) {
  for (int i = 0; i < 4; ++i) xs[i] = LoadV(g.x[row + i] + t);
  _MM_TRANSPOSE4_PS(xs[0], xs[1], xs[2], xs[3]);
}
#endif

// The group's rows of lanes through the filter and onto the lane buses. Sends are a
// template argument so the dry loop carries no branch.
template <bool kSends>
void FilterMixRows(LaneGroup& g, LaneBuses& to, uint32_t frames) {
  V z1[P], z2[P];
  for (int p = 0; p < P; ++p) z1[p] = LoadV(g.z1 + p * W), z2[p] = LoadV(g.z2 + p * W);
  constexpr int kUsed = kSends ? kBuses : kRight + 1;
  V xs[P][W];
  for (uint32_t t = 0; t < frames; ++t) {
    if (t % W == 0) {
      for (int p = 0; p < P; ++p) Frames(g, p * W, t, xs[p]);
    }
    const float tf = static_cast<float>(static_cast<int32_t>(t + 1));
#pragma GCC unroll 4
    for (int p = 0; p < P; ++p) {
      const int o = p * W;
      const V x = xs[p][t % W];
      // Grouped so that only y's own step lies on the path from one frame to the next.
      const V y = LoadV(g.b0 + o) * x + z1[p];
      z1[p] = (LoadV(g.b1 + o) * x + z2[p]) - LoadV(g.a1 + o) * y;
      z2[p] = LoadV(g.b2 + o) * x - LoadV(g.a2 + o) * y;
#pragma GCC unroll 4
      for (int b = 0; b < kUsed; ++b) {
        float* acc = to.bus[b][t] + o;
        StoreV(acc, LoadV(acc) + y * (LoadV(g.gain[b] + o) + LoadV(g.step[b] + o) * tf));
      }
    }
  }
  for (int p = 0; p < P; ++p) StoreV(g.z1 + p * W, z1[p]), StoreV(g.z2 + p * W, z2[p]);
}

void FilterMix(LaneGroup& g, LaneBuses& to, uint32_t frames, bool sends) {
  if (sends) {
    FilterMixRows<true>(g, to, frames);
    to.sends = true;
  } else {
    FilterMixRows<false>(g, to, frames);
  }
}

// Across the lanes in one order on every instruction set: the fours, then pairs, then one.
void Reduce(const LaneBuses& from, Buses& to, uint32_t frames) {
  float* bus[kBuses] = {to.left, to.right, to.reverb, to.chorus};
  const int used = from.sends ? kBuses : kRight + 1;
  for (int b = 0; b < used; ++b) {
    for (uint32_t t = 0; t < frames; ++t) {
      const float* row = from.bus[b][t];
      __m128 s = _mm_loadu_ps(row);
      for (int j = 4; j < kLanes; j += 4) s = _mm_add_ps(s, _mm_loadu_ps(row + j));
      s = _mm_add_ps(s, _mm_movehl_ps(s, s));
      s = _mm_add_ss(s, _mm_shuffle_ps(s, s, 1));
      bus[b][t] += _mm_cvtss_f32(s);
    }
  }
}

}  // namespace VOICE_NS
}  // namespace zsynth
