// The discrete Fourier transform of a power-of-two length, in place: the
// turbulence tile is synthesised from its spectrum with it, and the wind
// tests estimate spectra with it.
#pragma once

#include <complex>
#include <cstddef>

// x[j] := sum_k x[k] exp(sign 2 pi i j k / n) for j < n, every stride-th
// element from data (n a power of two; sign +1 or -1; no 1/n factor).
// Twiddle factors come from portableSinCos, so the result is the same on
// every machine.
void fourierTransform(std::complex<double>* data, size_t n, int sign, size_t stride = 1);
