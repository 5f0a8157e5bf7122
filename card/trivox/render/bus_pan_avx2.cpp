// Built with -mavx2 -mfma; handed out only with the AVX2 kernels.
#define BUS_NS avx2
#include "bus_pan_impl.h"
