// Built with -mavx2 -mfma; VoiceKernels.cpp hands it out only after the processor said it has both.
#define VOICE_NS avx2
#include "VoiceKernelsImpl.h"

namespace zsynth {

extern const VoiceKernels kAvx2VoiceKernels = {"avx2+fma", avx2::Cubic, avx2::Linear, avx2::FilterMix, avx2::Reduce};

}  // namespace zsynth
