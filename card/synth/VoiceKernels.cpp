#define VOICE_NS base
#include "VoiceKernelsImpl.h"

namespace zsynth {

void Buses::clear() { std::memset(this, 0, sizeof(*this)); }

void LaneBuses::clear(bool withSends) {
  std::memset(bus, 0, (withSends ? kBuses : kRight + 1) * sizeof(bus[0]));
  sends = false;
}

void LaneGroup::clear() {
  std::memset(this, 0, sizeof(*this));
  for (float& b : b0) b = 1.0f;
}

const VoiceKernels& baselineVoiceKernels() {
  static const VoiceKernels k{"sse2", base::Cubic, base::Linear, base::FilterMix, base::Reduce};
  return k;
}

#if (defined(__x86_64__) || defined(__i386__)) && !defined(ZSYNTH_BASELINE_ONLY)
extern const VoiceKernels kAvx2VoiceKernels;
const VoiceKernels* avx2VoiceKernels() {
  static const bool usable = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return usable ? &kAvx2VoiceKernels : nullptr;
}
#else
const VoiceKernels* avx2VoiceKernels() { return nullptr; }
#endif

const VoiceKernels& voiceKernels() {
  static const VoiceKernels& best = avx2VoiceKernels() ? *avx2VoiceKernels() : baselineVoiceKernels();
  return best;
}

}  // namespace zsynth
