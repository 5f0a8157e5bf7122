// The vector of floats an instruction set holds, for the *_impl.h loops. Included inside each
// instruction set's own namespace (after <cstring> and the intrinsics headers), so every build
// of it keeps its own width.
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
// A plain broadcast: vf{} + f would hold a zero register, and i686 has eight.
#if defined(__AVX__)
inline vf splat(float f) { return _mm256_set1_ps(f); }
#elif defined(__SSE2__)
inline vf splat(float f) { return _mm_set1_ps(f); }
#else
inline vf splat(float f) { return vf{} + f; }
#endif
