// Arithmetic of the wind field that gives the same bits on every machine:
// sine, cosine and roots made of +, -, *, / and sqrt only (IEEE 754 rounds
// each of them exactly), and a counter-based random generator. The C
// library's sin, cos and pow may differ in the last bit from one library to
// the next, and the field's values must not.
#pragma once

#include <cmath>
#include <cstdint>

// sin x and cos x (x in radians, accurate for |x| below about 1e7): x is
// reduced to r = x - n pi/2 with pi/2 split in two parts (the first of 27
// bits, so n * part is exact), |r| <= pi/4, and the Taylor series to r^17
// and r^18 summed (truncation below 1e-18 there).
inline void portableSinCos(double x, double& s, double& c)
{
    const double twoOverPi = 0.63661977236758134308;
    const double halfPiHigh = 1.570796325802803;
    const double halfPiLow = 9.920935796805404e-10;
    const double n = std::nearbyint(x * twoOverPi);
    const double r = (x - n * halfPiHigh) - n * halfPiLow;
    const double r2 = r * r;
    // sin r = r (1 - r^2/3! + r^4/5! - ... + r^16/17!), Horner in r^2.
    const double sinTerms[] = {1.0 / 355687428096000.0, -1.0 / 1307674368000.0, 1.0 / 6227020800.0,
                               -1.0 / 39916800.0,        1.0 / 362880.0,         -1.0 / 5040.0,
                               1.0 / 120.0,              -1.0 / 6.0,             1.0};
    // cos r = 1 - r^2/2! + r^4/4! - ... - r^18/18!.
    const double cosTerms[] = {-1.0 / 6402373705728000.0, 1.0 / 20922789888000.0, -1.0 / 87178291200.0,
                               1.0 / 479001600.0,          -1.0 / 3628800.0,       1.0 / 40320.0,
                               -1.0 / 720.0,               1.0 / 24.0,             -0.5,
                               1.0};
    double sr = 0.0, cr = 0.0;
    for (double t : sinTerms)
        sr = sr * r2 + t;
    for (double t : cosTerms)
        cr = cr * r2 + t;
    sr *= r;
    // Bad input (NaN, infinity, beyond the long long range) counts as 0.
    const long long quadrant = std::fabs(n) < 1e18 ? (long long)n & 3 : 0;
    s = quadrant == 0 ? sr : quadrant == 1 ? cr : quadrant == 2 ? -sr : -cr;
    c = quadrant == 0 ? cr : quadrant == 1 ? -sr : quadrant == 2 ? -cr : sr;
}

// The cube root of a >= 0 by Newton's iteration from an exponent-halving
// start; sqrt(cbrt) etc. give the other fractional powers the spectrum needs.
inline double portableCbrt(double a)
{
    if (!(a > 0.0) || !std::isfinite(a))
        return a > 0.0 ? a : 0.0;
    int e = 0;
    const double m = std::frexp(a, &e);  // a = m 2^e, m in [0.5, 1): exact
    // 2^(e/3) exactly for the multiple of 3, the rest folded into the mantissa.
    int q = e / 3, rem = e % 3;
    if (rem < 0) {
        rem += 3;
        q -= 1;
    }
    const double mm = std::ldexp(m, rem);  // in [0.5, 4)
    double y = 1.0;
    for (int i = 0; i < 60; ++i) {
        const double next = (2.0 * y + mm / (y * y)) / 3.0;
        if (next == y)
            break;
        y = next;
    }
    return std::ldexp(y, q);
}

// SplitMix64: a 64-bit counter hashed into 64 random bits (Steele, Lea and
// Flood 2014); uniform01 makes a double in [0, 1) of its top 53 bits.
inline uint64_t splitMix64(uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline double uniform01(uint64_t bits) { return double(bits >> 11) * (1.0 / 9007199254740992.0); }
