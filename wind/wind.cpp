// CWind: the uniform wind source. The wind vector is a unit base direction
// (viewer axes, Y up) turned by the panel's windRotation, brought into the
// model's axes (Z up) and scaled by windVelocity (model units per second).
// Its glyph is drawn by the renderer (render/wind_glyph.cpp).
#include "wind/wind.h"

#include <cmath>

#include "parameters/parameters.h"

CWind::CWind(const float* d)
{
    const double x = d ? d[0] : 0.2, y = d ? d[1] : 0.0, z = d ? d[2] : 0.0;
    const double norm = std::sqrt(x * x + y * y + z * z);
    if (norm > 0.0 && std::isfinite(norm)) {
        const double inv = 1.0 / norm;
        baseDirection = {float(x * inv), float(y * inv), float(z * inv)};
    } else {
        // A zero (or non-finite) base direction has no direction to keep:
        // the default (1, 0, 0) takes its place.
        baseDirection = {1.0f, 0.0f, 0.0f};
    }
    update();
}

void CWind::update()
{
    const float* r = windRotation;
    const double bx = baseDirection.x, by = baseDirection.y, bz = baseDirection.z;
    // The rotation widget's matrix, read row by row; r12..r15 unused.
    const double tx = r[0] * bx + r[1] * by + r[2] * bz + r[3];
    const double ty = r[4] * bx + r[5] * by + r[6] * bz + r[7];
    const double tz = r[8] * bx + r[9] * by + r[10] * bz + r[11];
    // Viewer axes -> model axes: rotation about x by 1.570796325 rad, so
    // (x, y, z) -> (x, -z, y) up to a term of about 2e-9.
    // (Computed once: every element samples the wind every step.)
    static const double theta = 1.570796325;
    static const double c = std::cos(theta), s = std::sin(theta);
    const double v = windVelocity;
    Vec3 w = {float(tx * v), float((c * ty - s * tz) * v), float((s * ty + c * tz) * v)};
    // A non-finite panel value must not reach the elements: no wind then.
    if (!std::isfinite(w.x) || !std::isfinite(w.y) || !std::isfinite(w.z))
        w = {0.0f, 0.0f, 0.0f};
    direction = w;
}

Vec3 CWind::windAt(Vec3)
{
    update();
    return direction;
}
