// CTurbulenceTile: a periodic, divergence-free, isotropic velocity field of
// unit standard deviation per component, with a von Karman spectrum, stored
// on a grid and sampled by trilinear interpolation. CWind scales it by the
// turbulence intensity and the mean speed, stretches it to the integral
// length scale and carries it downwind (frozen turbulence).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "elements/vector3.h"

class CTurbulenceTile {
public:
    static constexpr int SIZE = 128;        // grid points per side (a power of two)
    static constexpr int PADDED = SIZE + 1; // stored per side: a sample reads two points from any start
    static constexpr double PERIOD = 8.0;   // the tile's side in integral length scales
    static constexpr double CELL = PERIOD / SIZE;  // grid spacing in integral length scales
    // The von Karman length L_e of the spectrum in integral length scales:
    // the longitudinal integral scale of the spectrum is
    // sqrt(pi) Gamma(5/6) / Gamma(1/3) L_e = 0.7468 L_e.
    static constexpr double KARMAN_LENGTH = 1.339;

    // Synthesises the field for this seed (about a second: three transforms
    // of SIZE^3 points).
    void build(uint64_t seed);
    // The field at a point in grid units (any finite coordinates: the tile
    // repeats every SIZE); zero for coordinates beyond +-2^24 or not finite.
    Vec3 sample(float x, float y, float z) const;

    // The potential at PADDED^3 points, x fastest, four floats each
    // (psi_x, psi_y, psi_z, 0: one load per point); point i of an axis holds
    // grid point i mod SIZE.
    std::vector<float> points;
    uint64_t seed = 0;
};

// The tile of this seed, built on first use. The last one built is kept, so
// every wind with that seed (a reloaded tree, the tests) shares it.
std::shared_ptr<const CTurbulenceTile> turbulenceTile(uint64_t seed);
