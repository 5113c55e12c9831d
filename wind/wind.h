// CWind: the uniform wind every element samples. Its direction is a base
// direction turned by the panel's "Wind" rotation, its length windVelocity.
#pragma once

#include "elements/vector3.h"

class CWind {
public:
    // d: base direction in the viewer's axes (Y up); null: (0.2, 0, 0).
    explicit CWind(const float* d = nullptr);

    // Recomputes direction from windRotation and windVelocity.
    void update();
    // The wind at a model-space point (the point is not used: the wind is
    // uniform); refreshes direction and returns it.
    Vec3 windAt(Vec3 point);
    // True while windAt gives the same vector at every point, so that one
    // sample serves a whole step.
    bool isUniform() const { return true; }
    // Divisor of every wind force: 1.
    double windDivisor() const { return 1.0; }

    Vec3 direction;      // current wind vector, model axes (Z up)
    Vec3 baseDirection;  // unit base direction, viewer axes (Y up)
};
