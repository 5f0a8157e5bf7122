// The speed mode's per-source inner loop, built for the baseline instruction
// set and for AVX2 with FMA like the mixer's kernels.
#pragma once

namespace trivox {

// Sources panned together: with sixteen vector registers (x86-64) each one's gain and gain
// step of a channel stay in registers; 32-bit code reads the steps from memory.
constexpr int kPanGroup = 6;

// bus[c * stride + i] += sum over v < count of (g0[v][c] + d[v][c] (i + 1)) x[v][i], 16 channels.
using BusPan = void (*)(const float (*g0)[16], const float (*d)[16], int count, const float* const* x, int n,
                        float* bus, int stride);

// out[i] = s at phase + i step + change i (i+1) / 2 (at most limit), by straight lines.
using LinearAt = void (*)(const float* s, float phase, float step, float change, float limit, float* out, int n);

// How far past `limit` the straight-line reader may load (and not use).
constexpr int kLinearReach = 16;

BusPan busPan(bool avx2);
LinearAt linearAt(bool avx2);

}  // namespace trivox
