// Built with -mavx2 -mfma; kernels_base.cpp hands it out only after the
// processor said it has both.
#define KERNEL_NS avx2
#include "kernels_impl.h"

namespace trivox {

extern const Kernels kAvx2Kernels = {"avx2+fma", avx2::convolve, avx2::convolveGain, avx2::cubicAt, avx2::resampleCubic, avx2::delayCubic, avx2::fir4};

}  // namespace trivox
