// The tree's animation step: the shared leaf shiver rotations, then the
// forces from the tips to the trunk, then the integration and frames from
// the trunk to the tips.
#include <cmath>

#include "elements/tree_element.h"
#include "panel/parameters.h"
#include "tree/tree.h"

void CTree::animate()
{
    CTreeElement* t = noModel ? nullptr : trunk();
    if (!t)
        return;
    if (shiverApply)
        updateShiver();
    t->computeForces();
    t->step();
}

// Sixteen rotations about the leaf's own X axis, each by 3 theta_i with
//   theta_i = a sin(shiverPhase + i),  a = shiverIntensity (pi/8) (1 - 1/(w + 1)),
// w = windVelocity; before matrix i the phase advances by
//   (i 0.03125 + 0.75) 0.0008 sqrt(w) shiverSpeed 2 pi.
void CTree::updateShiver()
{
    // The panel keeps the wind velocity in 0..100; anything else counts as calm.
    const float w = (windVelocity > 0.0f && std::isfinite(windVelocity)) ? windVelocity : 0.0f;
    const float amplitude = float(double(shiverIntensity) * 0.39269908125 * (1.0 - 1.0 / (double(w) + 1.0)));
    const float rootW = std::sqrt(w);
    for (int i = 0; i < 16; ++i) {
        shiverPhase = shiverPhase + (float(i) * 0.03125f + 0.75f) * 0.0008f * rootW * shiverSpeed * 6.2831853f;
        const double theta = double(amplitude) * std::sin(double(shiverPhase) + double(float(i)));
        const double c = std::cos(theta), s = std::sin(theta);
        Matrix4 R = identityMatrix();
        R.m[1][1] = c; R.m[1][2] = -s;
        R.m[2][1] = s; R.m[2][2] = c;
        shiverMatrices[i] = R * R * R;
    }
    // Keep the phase small so that float steps stay fine however long the
    // program runs: the sine has period 2 pi, so the wrap changes nothing.
    if (!(std::fabs(shiverPhase) < 4096.0f))
        shiverPhase = std::isfinite(shiverPhase) ? float(std::fmod(double(shiverPhase), 2.0 * M_PI)) : 0.0f;
}
