// Iterative radix-2 Cooley-Tukey transform: bit-reversal permutation, then
// log2 n butterfly passes, each twiddle computed once per pass.
#include "wind/fft.h"

#include <cassert>
#include <vector>

#include "wind/deterministic_math.h"

void fourierTransform(std::complex<double>* data, size_t n, int sign, size_t stride)
{
    assert(n > 0 && (n & (n - 1)) == 0);
    auto at = [&](size_t i) -> std::complex<double>& { return data[i * stride]; };
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j)
            std::swap(at(i), at(j));
    }
    std::vector<std::complex<double>> twiddle(n / 2);
    for (size_t len = 2; len <= n; len <<= 1) {
        const size_t half = len / 2;
        for (size_t k = 0; k < half; ++k) {
            double s = 0.0, c = 1.0;
            portableSinCos(double(sign) * 2.0 * M_PI * double(k) / double(len), s, c);
            twiddle[k] = {c, s};
        }
        for (size_t start = 0; start < n; start += len)
            for (size_t k = 0; k < half; ++k) {
                std::complex<double>& a = at(start + k);
                std::complex<double>& b = at(start + k + half);
                // The product written out: std::complex's own checks for
                // infinities make it a library call.
                const std::complex<double> w = twiddle[k];
                const std::complex<double> t = {b.real() * w.real() - b.imag() * w.imag(),
                                                b.real() * w.imag() + b.imag() * w.real()};
                b = a - t;
                a = a + t;
            }
    }
}
