// CTurbulenceTile: a periodic, divergence-free, isotropic velocity field of
// unit standard deviation per component, with a von Karman spectrum, stored
// on a grid. CWind scales it by the
// turbulence intensity and the mean speed, stretches it to the integral
// length scale and carries it downwind (frozen turbulence).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "elements/vector3.h"

// Four floats as one SSE register (a GCC and Clang vector type): the three
// components of a grid point are interpolated together.
typedef float Float4 __attribute__((vector_size(16)));
typedef int Int4 __attribute__((vector_size(16)));

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
    // The same in the lanes x, y, z of a register (the last lane 0). Inline,
    // below: it is most of a wind sample's work.
    Float4 sampleLanes(Float4 q) const;

    // The potential at PADDED^3 points, x fastest, four floats each
    // (psi_x, psi_y, psi_z, 0: one load per point); point i of an axis holds
    // grid point i mod SIZE.
    std::vector<float> points;
    uint64_t seed = 0;
};

// The curl of psi's trilinear interpolation at a point: with the cell's
// corners v_zyx and the fractions fx, fy, fz, d psi / dx is the difference
// across the cell in x interpolated bilinearly in y and z (the same for y
// and z), and u = (dpsi_z/dy - dpsi_y/dz, dpsi_x/dz - dpsi_z/dx,
// dpsi_y/dx - dpsi_x/dy), in grid units (the tile's scale takes them up).
[[gnu::always_inline]] inline Float4 CTurbulenceTile::sampleLanes(Float4 q) const
{
    // Beyond 2^24 a float holds no fraction, and a NaN is no point: zero.
    const float limit = 16777216.0f;
    const Int4 inside = (q < limit) & (q > -limit);
    if (!(inside[0] & inside[1] & inside[2]))
        return Float4{0, 0, 0, 0};
    // floor of the three at once: truncate, then one less where that rose.
    Int4 i = __builtin_convertvector(q, Int4);
    i += __builtin_convertvector(i, Float4) > q;  // a true lane is -1
    const Float4 f = q - __builtin_convertvector(i, Float4);
    const float fx = f[0], fy = f[1], fz = f[2];
    const int ix = i[0], iy = i[1], iz = i[2];
    const size_t strideY = size_t(PADDED) * 4, strideZ = strideY * PADDED;
    const float* b = points.data() + size_t(iz & (SIZE - 1)) * strideZ + size_t(iy & (SIZE - 1)) * strideY + size_t(ix & (SIZE - 1)) * 4;
    auto load = [](const float* p) {
        Float4 v;
        std::memcpy(&v, p, sizeof v);
        return v;
    };
    const Float4 v000 = load(b), v001 = load(b + 4), v010 = load(b + strideY), v011 = load(b + strideY + 4);
    const Float4 v100 = load(b + strideZ), v101 = load(b + strideZ + 4), v110 = load(b + strideZ + strideY),
                 v111 = load(b + strideZ + strideY + 4);
    const Float4 FX = {fx, fx, fx, fx}, FY = {fy, fy, fy, fy}, FZ = {fz, fz, fz, fz};
    // Along x first: the four differences across the cell (the edges'
    // dpsi/dx) and the four edges interpolated at fx.
    const Float4 d00 = v001 - v000, d10 = v011 - v010, d01 = v101 - v100, d11 = v111 - v110;  // d_yz
    const Float4 e00 = v000 + FX * d00, e10 = v010 + FX * d10, e01 = v100 + FX * d01, e11 = v110 + FX * d11;
    // dpsi/dx: the differences interpolated in y, then z.
    const Float4 dx0 = d00 + FY * (d10 - d00), dx1 = d01 + FY * (d11 - d01);
    const Float4 gx = dx0 + FZ * (dx1 - dx0);
    // dpsi/dy: the edges' difference in y, interpolated in z.
    const Float4 ey0 = e10 - e00, ey1 = e11 - e01;
    const Float4 gy = ey0 + FZ * (ey1 - ey0);
    // dpsi/dz: the edges interpolated in y, then their difference in z.
    const Float4 gz = (e01 + FY * ey1) - (e00 + FY * ey0);
    return Float4{gy[2] - gz[1], gz[0] - gx[2], gx[1] - gy[0], 0.0f};
}

inline Vec3 CTurbulenceTile::sample(float x, float y, float z) const
{
    const Float4 u = sampleLanes(Float4{x, y, z, 0.0f});
    return {u[0], u[1], u[2]};
}

// The tile of this seed, built on first use. The last one built is kept, so
// every wind with that seed (a reloaded tree, the tests) shares it.
std::shared_ptr<const CTurbulenceTile> turbulenceTile(uint64_t seed);
