#define KERNEL_NS base
#include "kernels_impl.h"

namespace trivox {

const Kernels& baselineKernels() {
  static const Kernels k{"baseline", base::convolve, base::convolveGain, base::cubicAt, base::resampleCubic, base::delayCubic, base::fir4};
  return k;
}

#if defined(__x86_64__) || defined(__i386__)
extern const Kernels kAvx2Kernels;
const Kernels* avx2Kernels() {
  static const bool usable = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return usable ? &kAvx2Kernels : nullptr;
}
#else
const Kernels* avx2Kernels() { return nullptr; }
#endif

const Kernels& kernels() {
  static const Kernels& best = avx2Kernels() ? *avx2Kernels() : baselineKernels();
  return best;
}

}  // namespace trivox
