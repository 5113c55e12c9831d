// CRandom: the small deterministic random source of the model tools
// (splitmix64), so that a seed gives the same tree on every platform and
// standard library.
#pragma once

#include <cstdint>

class CRandom {
public:
    explicit CRandom(uint64_t seed) : state(seed) {}

    // Next 64 random bits (splitmix64).
    uint64_t next()
    {
        state += 0x9E3779B97F4A7C15ull;
        uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1), 53 bits.
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

    // Uniform in [-1, 1).
    double symmetric() { return 2.0 * uniform() - 1.0; }

    // value +- variation, uniformly.
    double vary(double value, double variation) { return value + variation * symmetric(); }

    // A non-negative real count rounded up or down at random so that the
    // expected result is the count itself.
    int roundStochastic(double count)
    {
        if (count <= 0.0)
            return 0;
        double whole = double(int64_t(count));
        return int(whole) + (uniform() < count - whole ? 1 : 0);
    }

    uint64_t state;
};
