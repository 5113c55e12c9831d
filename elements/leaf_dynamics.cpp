// Leaf motion: a leaf has no inertia. Every step it turns from its rest
// direction into the wind it samples, may shiver by its shared shiver
// rotation, and hands its wind force to its parent segment.
#include <cmath>

#include "elements/frame_math.h"
#include "elements/leaf.h"
#include "parameters/parameters.h"
#include "wind/wind.h"

void CLeaf::computeForces(const float treeOrigin[3])
{
    computeOwnForces(leafWindApply ? sampleWind(treeOrigin) : Vec3{});
}

// The wind at the leaf's origin.
Vec3 CLeaf::sampleWind(const float treeOrigin[3]) const { return windAlongAxis(0.0f, treeOrigin); }

// Flattened, as the step's other per-element operations: the helpers it calls
// are compiled into it.
[[gnu::flatten]] void CLeaf::computeOwnForces(Vec3 w)
{
    computeWindForce(w);
    CLeaf::computeRestorationForce();
    totalForce = leafWindApply ? windForce : Vec3{};  // nothing integrates it
}

// Leaf wind force, with w the wind at the leaf's origin in the parent frame:
//   F_wind = w (windArea / windDivisor) leafWindScale
// The part along the leaf is kept and there is no length factor.
void CLeaf::computeWindForce()
{
    static const float atOrigin[3] = {0.0f, 0.0f, 0.0f};
    computeWindForce(leafWindApply ? sampleWind(atOrigin) : Vec3{});
}

void CLeaf::computeWindForce(Vec3 w)
{
    if (!leafWindApply) {
        windForce = {0.0f, 0.0f, 0.0f};  // windVector keeps its last sample
        return;
    }
    double v[3];
    rotateVectorBack(parent->modelTransform, w.x, w.y, w.z, v);  // P.modelRotationInverse w
    windVector = {float(v[0]), float(v[1]), float(v[2])};
    const double factor = (windArea / (wind ? wind->windDivisor() : 1.0)) * leafWindScale;
    windForce = {float(windVector.x * factor), float(windVector.y * factor), float(windVector.z * factor)};
}

// The force handed to the parent: F = -F_wind while the leaf feels the wind
// and propagates it, else 0. The parent's backpropagation negates it again,
// so the leaf pushes its parent along the wind.
void CLeaf::computeRestorationForce()
{
    if (leafWindPropagate && leafWindApply)
        restorationForce = -windForce;
    else
        restorationForce = {0.0f, 0.0f, 0.0f};
}

// direction := normalise(restDirection + windVector) (the unscaled wind), or
// the rest direction without leaf wind; then the shiver rotation in the
// leaf's own frame, and the frames rebuilt on the parent's.
// (A leaf has no inertia: the step's time does not enter.)
[[gnu::flatten]] void CLeaf::step(float)
{
    direction = restDirection;
    if (leafWindApply) {
        const double nx = double(restDirection.x) + windVector.x, ny = double(restDirection.y) + windVector.y,
                     nz = double(restDirection.z) + windVector.z;
        const double n = std::sqrt(nx * nx + ny * ny + nz * nz);
        // A wind that exactly cancels the rest direction leaves it unchanged.
        if (n > 1e-30 && std::isfinite(n)) {
            const double inv = 1.0 / n;
            direction = {float(nx * inv), float(ny * inv), float(nz * inv)};
        }
    }
    const Rotation3 turn = rotationZTo3(direction);
    if (shiverApply && leafWindApply && wind && !wind->isUniform())
        setFrames(*this, turn * ownShiver());
    else if (shiverApply && shiverMatrix)
        setFrames(*this, turn * rotationBlock(*shiverMatrix));
    else
        setFrames(*this, turn);
}

// With the wind field on, the wind differs from leaf to leaf, and so does
// the shiver: the rotation of CTree::updateShiver with w the speed of the
// wind this leaf sampled (windVector's length) and the leaf's own phase,
// which a step advances by the shared accumulator's sixteen increments:
//   phase += 15.75 * 0.0008 * sqrt(w) * shiverSpeed * 2 pi
//   theta  = shiverIntensity (pi/8) (1 - 1/(w + 1)) sin(phase + (matrixIndex & 15))
// and the rotation by 3 theta about the leaf's own X axis.
Rotation3 CLeaf::ownShiver()
{
    const double wx = windVector.x, wy = windVector.y, wz = windVector.z;
    double w = std::sqrt(wx * wx + wy * wy + wz * wz);
    if (!std::isfinite(w))
        w = 0.0;  // a non-finite wind counts as calm, as the shared shiver's
    shiverPhase = float(shiverPhase + 15.75 * 0.0008 * std::sqrt(w) * shiverSpeed * 6.2831853);
    // Kept small, as the shared phase (the sine has period 2 pi).
    if (!(std::fabs(shiverPhase) < 4096.0f))
        shiverPhase = std::isfinite(shiverPhase) ? float(std::fmod(double(shiverPhase), 2.0 * M_PI)) : 0.0f;
    const double amplitude = double(shiverIntensity) * 0.39269908125 * (1.0 - 1.0 / (w + 1.0));
    const double theta = 3.0 * amplitude * std::sin(double(shiverPhase) + double(matrixIndex & 15));
    const double c = std::cos(theta), s = std::sin(theta);
    return {{{1.0, 0.0, 0.0}, {0.0, c, -s}, {0.0, s, c}}};
}
