// A plain radix-2 FFT for filter design and measurement, never the render path.
#pragma once

#include <complex>
#include <vector>

namespace trivox {

using Spectrum = std::vector<std::complex<double>>;

// In place; the size must be a power of two. inverse also scales by 1/N.
void fft(Spectrum& x, bool inverse = false);

// Spectrum of `n` real samples zero-padded to `size` (a power of two).
Spectrum spectrumOf(const float* x, int n, int size);

}  // namespace trivox

namespace trivox {

// Adds h (n taps) to out (len samples) delayed by `delay` samples, fractions split linearly.
void addDelayed(const float* h, int n, float delay, double scale, std::vector<double>& out);

}  // namespace trivox
