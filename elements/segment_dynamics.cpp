// The bending model of a branch segment: four forces (wind, restoration,
// backpropagated from the children, damping) summed in the parent frame and
// integrated into a new direction, then the frames rebuilt on the parent's.
// Forces are in the segment's parent frame; lengths in tree-file units; time
// in seconds. Intermediate values are formed in double precision and stored
// as floats.
#include <cmath>

#include "elements/frame_math.h"
#include "elements/segment.h"
#include "parameters/parameters.h"
#include "wind/wind.h"

namespace {

const double kHalf = 0.5;                 // wind, restoration and damping act at half the length
const double kRestorationGain = 400.0;
const double kRestorationDeadZone = 0.99999;
const double kBackpropGain = 0.2;
const double kDampingGain = 1000000.0;
const float kStepCap = 0.04f;             // seconds: longest integration step
const double kSpeedCap = 1.0;             // longest velocity (change of direction per step)
// Below this length a vector has no usable direction (normalising it would
// divide by about zero).
const double kTiny = 1e-30;

double lengthOf(Vec3 v)
{
    return std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
}

bool finite(Vec3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

// The wind at the segment's midpoint, half its length up its own axis.
Vec3 CSegment::sampleWind(const float treeOrigin[3]) const
{
    return windAlongAxis(float(kHalf * length), treeOrigin);
}

// The per-element operations of the tree's step are flattened: the helpers
// they call are compiled into them, so that their values stay in registers
// (about a tenth less time per element).
[[gnu::flatten]] void CSegment::computeOwnForces(Vec3 w)
{
    totalForce = {0.0f, 0.0f, 0.0f};
    if (frozen)
        return;  // a frozen segment keeps its last forces
    double fx = 0.0, fy = 0.0, fz = 0.0;
    auto add = [&](Vec3 f) { fx += f.x; fy += f.y; fz += f.z; };
    // The segment's own operations, called directly (not through the
    // virtual slots: the class is known here).
    if (segmentWindApply) {
        computeWindForce(w);
        add(windForce);
    }
    if (restorationApply) {
        CSegment::computeRestorationForce();
        add(restorationForce);
    }
    if (backpropApply) {
        computeBackpropForce();
        add(backpropForce);
    }
    if (dampingApply) {
        computeDampingForce();
        add(dampingForce);
    }
    totalForce = {float(fx), float(fy), float(fz)};
}

// Wind force, with d = direction, L = length, w the wind sampled at the
// segment and brought into the parent frame:
//   F_wind = (w - (w.d) d) * (windArea / windDivisor) * (0.5 L segmentWindScale)
// Only the part of the wind across the segment pushes it.
void CSegment::computeWindForce()
{
    static const float atOrigin[3] = {0.0f, 0.0f, 0.0f};
    computeWindForce(sampleWind(atOrigin));
}

void CSegment::computeWindForce(Vec3 w)
{
    // The wind in the parent frame: P.modelRotationInverse w.
    double v[3];
    rotateVectorBack(parent->modelTransform, w.x, w.y, w.z, v);
    windVector = {float(v[0]), float(v[1]), float(v[2])};
    const double dx = direction.x, dy = direction.y, dz = direction.z;
    const double along = double(windVector.x) * dx + double(windVector.y) * dy + double(windVector.z) * dz;
    const double divisor = wind ? wind->windDivisor() : 1.0;
    const double factor = (windArea / divisor) * (kHalf * length * segmentWindScale);
    windForce = {float((windVector.x - along * dx) * factor), float((windVector.y - along * dy) * factor),
                 float((windVector.z - along * dz) * factor)};
}

// Restoration force, with r = restDirection, d = direction, D = diameter:
//   F_rest = t |r - d| restorationScale (P.D^2 + D^2) rigidity 400 (0.5 L),
//   t = normalise(d x normalise(r x d)), the unit tangent at d pointing back to r,
// and F_rest = 0 while r.d > 0.99999 (the dead zone around the rest direction).
// (The squares are products: x * x is the correctly rounded square that
// pow(x, 2.0) returns.)
void CSegment::computeRestorationForce()
{
    const CSegment& P = *static_cast<const CSegment*>(parent);
    const Vec3 r = restDirection, d = direction;
    double fx = 0.0, fy = 0.0, fz = 0.0;
    if (double(dot(r, d)) <= kRestorationDeadZone) {
        // Bending axis n = r x d.
        double nx = double(r.y) * d.z - double(r.z) * d.y;
        double ny = double(r.z) * d.x - double(r.x) * d.z;
        double nz = double(r.x) * d.y - double(r.y) * d.x;
        double nLength = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (nLength < 1e-12) {
            // d is opposite to r: every axis across d bends it back; take the
            // one across d and whichever model axis is least aligned with d.
            const bool useX = std::fabs(d.x) <= std::fabs(d.y) && std::fabs(d.x) <= std::fabs(d.z);
            const bool useY = !useX && std::fabs(d.y) <= std::fabs(d.z);
            const double ex = useX, ey = useY, ez = !useX && !useY;
            nx = ey * d.z - ez * d.y;
            ny = ez * d.x - ex * d.z;
            nz = ex * d.y - ey * d.x;
            nLength = std::sqrt(nx * nx + ny * ny + nz * nz);
        }
        nx /= nLength; ny /= nLength; nz /= nLength;
        // t = d x n.
        double tx = d.y * nz - d.z * ny;
        double ty = d.z * nx - d.x * nz;
        double tz = d.x * ny - d.y * nx;
        const double tLength = std::sqrt(tx * tx + ty * ty + tz * tz);
        if (tLength > kTiny) {
            tx /= tLength; ty /= tLength; tz /= tLength;
            const double chord = lengthOf(r - d);
            const double magnitude = chord * restorationScale *
                                     (P.diameter * P.diameter + diameter * diameter) * rigidity *
                                     kRestorationGain;
            fx = tx * magnitude; fy = ty * magnitude; fz = tz * magnitude;
        }
    }
    const double halfLength = kHalf * length;
    restorationForce = {float(fx * halfLength), float(fy * halfLength), float(fz * halfLength)};
}

// Backpropagated force, the reaction of the children on this segment, with
// R = localRotation, k over the children, F_k their restorationForce (a leaf's:
// its handed-on wind force), L = length:
//   b = sum_k R (-F_k) thicknessRatio_k attachPosition_k L   (factors as floats)
//   F_back = (b - (b.d) d) backpropScale 0.2
void CSegment::computeBackpropForce()
{
    // The rotation is linear: the children's weighted forces are summed in
    // this segment's frame and rotated once.
    double sx = 0.0, sy = 0.0, sz = 0.0;
    const double lever = double(float(length));
    for (uint32_t i = 0; i < childCount; ++i) {
        const CTreeElement* k = children[i];
        if (!k)
            continue;
        const double weight = double(float(k->thicknessRatio)) * double(float(k->attachPosition)) * lever;
        sx -= k->restorationForce.x * weight;
        sy -= k->restorationForce.y * weight;
        sz -= k->restorationForce.z * weight;
    }
    double b[3];
    rotateVector(localRotation, sx, sy, sz, b);
    const double bx = b[0], by = b[1], bz = b[2];
    const double dx = direction.x, dy = direction.y, dz = direction.z;
    const double along = bx * dx + by * dy + bz * dz;
    const double scale = double(backpropScale) * kBackpropGain;
    backpropForce = {float((bx - along * dx) * scale), float((by - along * dy) * scale),
                     float((bz - along * dz) * scale)};
}

// Damping force, with v = velocity:
//   F_damp = -normalise(v) |v|^2 sectionVolume dampingScale 10^6 (0.5 L)
// and exactly 0 while v = 0.
void CSegment::computeDampingForce()
{
    const Vec3 v = velocity;
    if (v.x == 0.0f && v.y == 0.0f && v.z == 0.0f) {
        dampingForce = {0.0f, 0.0f, 0.0f};
        return;
    }
    const double speed = lengthOf(v);
    const double magnitude = speed * speed * sectionVolume * dampingScale * kDampingGain *
                             (kHalf * length);
    const double f = -magnitude / speed;  // -normalise(v) |v|^2 ... = -v (|v|^2 ... / |v|)
    dampingForce = {float(v.x * f), float(v.y * f), float(v.z * f)};
}

// Semi-implicit Euler on the direction: a = F / mass; v += a h with
// h = min(dt, 0.04), dt the step's time in seconds; |v| <= 1;
// direction := normalise(direction + v). The velocity is a change of
// direction per step and is added whole.
[[gnu::flatten]] void CSegment::stepOwn(float dt)
{
    if (!frozen) {
        // A segment without mass (diameter 0) takes no acceleration.
        const double inverseMass = mass > 0.0 ? 1.0 / mass : 0.0;
        const double ax = totalForce.x * inverseMass, ay = totalForce.y * inverseMass,
                     az = totalForce.z * inverseMass;
        totalForce = {float(ax), float(ay), float(az)};
        float h = dt < kStepCap ? dt : kStepCap;
        if (!(h > 0.0f))
            h = 0.0f;
        Vec3 v = {float(velocity.x + double(totalForce.x) * h), float(velocity.y + double(totalForce.y) * h),
                  float(velocity.z + double(totalForce.z) * h)};
        if (!finite(v))
            v = {0.0f, 0.0f, 0.0f};  // an overflowing force moves nothing
        const double speed = lengthOf(v);
        if (speed > kSpeedCap) {
            const double inv = 1.0 / speed;
            v = {float(v.x * inv), float(v.y * inv), float(v.z * inv)};
        }
        velocity = v;
        const double nx = double(direction.x) + v.x, ny = double(direction.y) + v.y,
                     nz = double(direction.z) + v.z;
        const double n = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (n > kTiny) {  // else the velocity cancels the direction: keep the direction
            const double inv = 1.0 / n;
            direction = {float(nx * inv), float(ny * inv), float(nz * inv)};
        }
        setFrames(*this, rotationZTo3(direction));
    } else {
        // A frozen segment keeps its local rotation and follows its parent rigidly.
        setFrames(*this, rotationBlock(localRotation));
    }

    // Keep the speed and turn the velocity into the plane across the new
    // direction: v := normalise(d x (v x d)) |v|. A velocity along d has no
    // such part and is dropped.
    const double speed = lengthOf(velocity);
    if (speed != 0.0) {
        const Vec3 d = direction, v = velocity;
        const double ux = double(v.y) * d.z - double(v.z) * d.y;
        const double uy = double(v.z) * d.x - double(v.x) * d.z;
        const double uz = double(v.x) * d.y - double(v.y) * d.x;
        const double px = d.y * uz - d.z * uy;
        const double py = d.z * ux - d.x * uz;
        const double pz = d.x * uy - d.y * ux;
        const double p = std::sqrt(px * px + py * py + pz * pz);
        if (p > kTiny * speed) {
            const double f = speed / p;
            velocity = {float(px * f), float(py * f), float(pz * f)};
        } else {
            velocity = {0.0f, 0.0f, 0.0f};
        }
    }
}
