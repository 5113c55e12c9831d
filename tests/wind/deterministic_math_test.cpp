// The field's own sine, cosine and cube root against the C library's, and
// the Fourier transform against the direct sum.
#include <cmath>
#include <complex>
#include <vector>

#include "common/near.h"
#include "wind/deterministic_math.h"
#include "wind/fft.h"

namespace {

TEST(DeterministicMath, SineAndCosineMatchTheLibrary)
{
    for (double x = -2000.0; x <= 2000.0; x += 0.0137) {
        double s = 0.0, c = 0.0;
        portableSinCos(x, s, c);
        ASSERT_TRUE(near(s, std::sin(x), 1e-13)) << x;
        ASSERT_TRUE(near(c, std::cos(x), 1e-13)) << x;
    }
    // Quadrant boundaries exactly.
    double s = 0.0, c = 0.0;
    portableSinCos(0.0, s, c);
    EXPECT_EQ(s, 0.0);
    EXPECT_EQ(c, 1.0);
    portableSinCos(NAN, s, c);  // harmless
}

TEST(DeterministicMath, CubeRootMatchesTheLibrary)
{
    for (double a : {1e-300, 1e-10, 0.125, 0.5, 1.0, 2.0, 3.0, 27.0, 1000.0, 12345.678, 1e200})
        EXPECT_TRUE(near(portableCbrt(a), std::cbrt(a), 1e-15 * std::fmax(1.0, 1.0 / std::cbrt(a)))) << a;
    EXPECT_EQ(portableCbrt(0.0), 0.0);
    EXPECT_EQ(portableCbrt(-8.0), 0.0);
}

TEST(DeterministicMath, FourierTransformIsTheDirectSum)
{
    const size_t n = 64;
    std::vector<std::complex<double>> x(n), direct(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = {std::sin(0.3 * double(i)) + 0.1 * double(i % 5), std::cos(1.7 * double(i * i))};
    for (int sign : {-1, +1}) {
        for (size_t j = 0; j < n; ++j) {
            direct[j] = 0.0;
            for (size_t k = 0; k < n; ++k)
                direct[j] += x[k] * std::polar(1.0, double(sign) * 2.0 * M_PI * double(j * k) / double(n));
        }
        std::vector<std::complex<double>> fast = x;
        fourierTransform(fast.data(), n, sign);
        for (size_t j = 0; j < n; ++j) {
            EXPECT_TRUE(near(fast[j].real(), direct[j].real(), 1e-11)) << j;
            EXPECT_TRUE(near(fast[j].imag(), direct[j].imag(), 1e-11)) << j;
        }
    }
    // Strided: every second element, the others untouched.
    std::vector<std::complex<double>> strided(2 * n, 99.0);
    for (size_t i = 0; i < n; ++i)
        strided[2 * i] = x[i];
    fourierTransform(strided.data(), n, -1, 2);
    std::vector<std::complex<double>> fast = x;
    fourierTransform(fast.data(), n, -1);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(strided[2 * i], fast[i]);
        EXPECT_EQ(strided[2 * i + 1], std::complex<double>(99.0));
    }
}

}  // namespace
