// The speed mode's per-source inner loop, built for the baseline instruction
// set and for AVX2 with FMA like the mixer's kernels.
#pragma once

namespace trivox {

// bus[c * stride + i] += (g0[c] + d[c] (i + 1)) x[i] for the 16 channels.
using BusPan = void (*)(const float* g0, const float* d, const float* x, int n, float* bus, int stride);

// out[i] = s at phase + i step + change i (i+1) / 2 (at most limit), by straight lines.
using LinearAt = void (*)(const float* s, float phase, float step, float change, float limit, float* out, int n);

BusPan busPan(bool avx2);
LinearAt linearAt(bool avx2);

}  // namespace trivox
