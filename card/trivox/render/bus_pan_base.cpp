#define BUS_NS base
#include "bus_pan_impl.h"

namespace trivox {

#if defined(__x86_64__) || defined(__i386__)
namespace avx2 {
void pan(const float (*g0)[kAmbiChannels], const float (*d)[kAmbiChannels], int count, const float* const* x, int n,
         float* bus, int stride);
void linear(const float* s, float phase, float step, float change, float limit, float* out, int n);
}  // namespace avx2
BusPan busPan(bool avx2) { return avx2 ? avx2::pan : base::pan; }
LinearAt linearAt(bool avx2) { return avx2 ? avx2::linear : base::linear; }
#else
BusPan busPan(bool) { return base::pan; }
LinearAt linearAt(bool) { return base::linear; }
#endif

}  // namespace trivox
