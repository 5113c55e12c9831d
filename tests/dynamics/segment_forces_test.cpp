// The four segment forces, their flags and scales, and one integration step,
// each against values worked out by hand from the force equations.
#include <cmath>

#include "common/near.h"
#include "dynamics/hand_tree.h"

namespace {

const double kF = 2e-6;  // float fields: a few units in the last place

Vec3 unit(double x, double y, double z)
{
    const double n = std::sqrt(x * x + y * y + z * z);
    return {float(x / n), float(y / n), float(z / n)};
}

void expectVec(Vec3 v, double x, double y, double z, double tol = kF)
{
    EXPECT_TRUE(near(v.x, x, tol));
    EXPECT_TRUE(near(v.y, y, tol));
    EXPECT_TRUE(near(v.z, z, tol));
}

// Trunk: length 2, diameter 0.2, upright. Twig: length 1, diameter 0.1,
// upright on the trunk at 0.8. Leaf at 0.5 on the trunk, index 3.
struct Twig : HandTree {
    CSegment* trunk;
    CSegment* twig;
    CLeaf* leaf3;
    Twig() : HandTree(3)
    {
        trunk = segment(&root, 2.0, 0.2, {0, 0, 1}, 1.0, 2, 1);
        twig = segment(trunk, 1.0, 0.1, {0, 0, 1}, 0.8, 0, 2);
        leaf3 = leaf(trunk, {0, 1, 1}, 0.5, 3);
        finish();
    }
};

using SegmentForces = DynamicsTest;

// Default wind (4, 0, 0) on a segment leaning in the x-z plane:
// F = (w - (w.d) d) windArea (0.5 L scale).
TEST_F(SegmentForces, WindForceKeepsThePartAcrossTheSegment)
{
    Twig t;
    t.trunk->direction = {0.6f, 0.0f, 0.8f};
    t.trunk->computeWindForce();
    expectVec(t.trunk->windVector, 4, 0, 0);
    // w - 2.4 d = (2.56, 0, -1.92); windArea 0.4; 0.5 L = 1.
    expectVec(t.trunk->windForce, 2.56 * 0.4, 0, -1.92 * 0.4);

    segmentWindScale = 2.5f;
    windVelocity = 2.0f;
    t.trunk->computeWindForce();
    expectVec(t.trunk->windForce, 1.28 * 0.4 * 2.5, 0, -0.96 * 0.4 * 2.5);

    // Wind along the segment pushes nothing.
    t.trunk->direction = {1.0f, 0.0f, 0.0f};
    t.trunk->computeWindForce();
    expectVec(t.trunk->windForce, 0, 0, 0);
}

// The wind is taken into the parent's frame: a trunk lying along model +Y
// sees a wind along model +Y as its own +Z.
TEST_F(SegmentForces, WindForceIsInTheParentFrame)
{
    HandTree h(2);
    CSegment* trunk = h.segment(&h.root, 2.0, 0.2, {0, 1, 0}, 1.0, 1, 1);
    CSegment* twig = h.segment(trunk, 1.0, 0.1, {0, 1, 0}, 1.0, 0, 2);
    h.finish();
    // Rotation of the viewer's axes by 90 degrees about Y: base x -> -z, so
    // the model wind (x, -z, y) points along +Y.
    const float turn[16] = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
    std::copy(turn, turn + 16, windRotation);
    twig->direction = {0.6f, 0.0f, 0.8f};
    twig->computeWindForce();
    expectVec(twig->windVector, 0, 0, 4);
    // w - 3.2 d = (-1.92, 0, 1.44); windArea 0.1; 0.5 L = 0.5.
    expectVec(twig->windForce, -1.92 * 0.1 * 0.5, 0, 1.44 * 0.1 * 0.5);
}

// F = t |r - d| restorationScale (P.D^2 + D^2) rigidity 400 (0.5 L), t the
// unit tangent at d toward r.
TEST_F(SegmentForces, RestorationForcePullsBackAlongTheArc)
{
    Twig t;
    const double phi = 0.3;
    t.twig->direction = {float(std::sin(phi)), 0.0f, float(std::cos(phi))};
    const Vec3 d = t.twig->direction;
    const double chord = std::sqrt(double(d.x) * d.x + (1.0 - d.z) * (1.0 - d.z));
    // twig: parent diameter 0.2, own 0.1, L 1.
    double magnitude = chord * 1.0 * (0.04 + 0.01) * 1.0 * 400.0 * 0.5;
    t.twig->computeRestorationForce();
    expectVec(t.twig->restorationForce, -std::cos(phi) * magnitude, 0, std::sin(phi) * magnitude);

    restorationScale = 3.0f;
    rigidity = 0.5f;
    magnitude *= 1.5;
    t.twig->computeRestorationForce();
    expectVec(t.twig->restorationForce, -std::cos(phi) * magnitude, 0, std::sin(phi) * magnitude);

    // The trunk's parent is the root, whose diameter is twice the trunk's.
    t.trunk->direction = {0.0f, float(std::sin(phi)), float(std::cos(phi))};
    const double chordT = std::sqrt(double(t.trunk->direction.y) * t.trunk->direction.y +
                                    (1.0 - t.trunk->direction.z) * (1.0 - t.trunk->direction.z));
    const double magT = chordT * 3.0 * (0.16 + 0.04) * 0.5 * 400.0 * 1.0;
    t.trunk->computeRestorationForce();
    expectVec(t.trunk->restorationForce, 0, -std::cos(phi) * magT, std::sin(phi) * magT);
}

TEST_F(SegmentForces, RestorationForceHasADeadZoneAroundRest)
{
    Twig t;
    t.twig->computeRestorationForce();
    expectVec(t.twig->restorationForce, 0, 0, 0);
    // r.d = 0.999995 > 0.99999: no force.
    t.twig->direction = unit(std::sqrt(1 - 0.999995 * 0.999995), 0, 0.999995);
    t.twig->computeRestorationForce();
    expectVec(t.twig->restorationForce, 0, 0, 0, 0);
    // r.d = 0.99998: a force toward rest.
    t.twig->direction = unit(std::sqrt(1 - 0.99998 * 0.99998), 0, 0.99998);
    t.twig->computeRestorationForce();
    EXPECT_LT(t.twig->restorationForce.x, 0.0f);
    EXPECT_GT(t.twig->restorationForce.z, 0.0f);
}

// A direction exactly opposite to rest has no bending plane; the force must
// still be finite, across the segment, and of the full chord length 2.
TEST_F(SegmentForces, RestorationForceOppositeToRestIsFinite)
{
    Twig t;
    t.twig->direction = {0.0f, 0.0f, -1.0f};
    t.twig->computeRestorationForce();
    const Vec3 f = t.twig->restorationForce;
    const double magnitude = 2.0 * 0.05 * 400.0 * 0.5;
    EXPECT_TRUE(near(length(f), magnitude, 1e-6));
    EXPECT_TRUE(near(f.z, 0.0, 1e-9));
}

// b = sum_k R (-F_k) ratio_k attach_k L; F = (b - (b.d) d) backpropScale 0.2.
TEST_F(SegmentForces, BackpropagatedForceGathersTheChildren)
{
    Twig t;
    // Tilt the trunk about X so that R is not the identity.
    const double a = 0.4;
    t.trunk->direction = {0.0f, float(-std::sin(a)), float(std::cos(a))};
    t.trunk->localRotation = RotationZTo(t.trunk->direction);
    t.twig->restorationForce = {1.0f, 2.0f, 3.0f};
    t.leaf3->restorationForce = {0.5f, 0.0f, -1.0f};
    backpropScale = 2.0f;
    t.trunk->computeBackpropForce();

    const Matrix4& R = t.trunk->localRotation;
    double b[3] = {0, 0, 0};
    auto add = [&](Vec3 f, double ratio, double attach) {
        const double w = double(float(ratio)) * double(float(attach)) * 2.0;
        for (int r = 0; r < 3; ++r)
            b[r] += -(R.m[r][0] * f.x + R.m[r][1] * f.y + R.m[r][2] * f.z) * w;
    };
    add(t.twig->restorationForce, std::sqrt(0.5), 0.8);  // twig: sqrt(0.1 / 0.2)
    add(t.leaf3->restorationForce, 1.0, 0.5);
    const Vec3 d = t.trunk->direction;
    const double along = b[0] * d.x + b[1] * d.y + b[2] * d.z;
    expectVec(t.trunk->backpropForce, (b[0] - along * d.x) * 0.4, (b[1] - along * d.y) * 0.4,
              (b[2] - along * d.z) * 0.4);
    EXPECT_TRUE(near(dot(t.trunk->backpropForce, d), 0.0, 1e-5));
}

// F = -normalise(v) |v|^2 sectionVolume dampingScale 10^6 (0.5 L).
TEST_F(SegmentForces, DampingForceOpposesTheVelocity)
{
    Twig t;
    t.trunk->computeDampingForce();
    expectVec(t.trunk->dampingForce, 0, 0, 0, 0);
    dampingScale = 100.0f;  // still exactly zero at rest
    t.trunk->computeDampingForce();
    expectVec(t.trunk->dampingForce, 0, 0, 0, 0);

    dampingScale = 4.0f;
    t.trunk->velocity = {0.03f, -0.04f, 0.0f};
    t.trunk->computeDampingForce();
    const double section = 0.1 * 0.1 * 2.0;  // (D/2)^2 L
    const double magnitude = 0.05 * 0.05 * section * 4.0 * 1e6 * 1.0;
    expectVec(t.trunk->dampingForce, -0.6 * magnitude, 0.8 * magnitude, 0, 1e-5);
}

// Flags: a force switched off keeps its last value and stays out of the total.
TEST_F(SegmentForces, FlagsChooseTheForcesOfTheTotal)
{
    Twig t;
    t.trunk->direction = {0.6f, 0.0f, 0.8f};
    t.trunk->velocity = {0.0f, 0.1f, 0.0f};
    t.trunk->computeForces(kAtOrigin);
    const Vec3 wind = t.trunk->windForce, rest = t.trunk->restorationForce, back = t.trunk->backpropForce,
               damp = t.trunk->dampingForce;
    expectVec(t.trunk->totalForce, double(wind.x) + rest.x + back.x + damp.x,
              double(wind.y) + rest.y + back.y + damp.y, double(wind.z) + rest.z + back.z + damp.z, 1e-5);

    segmentWindApply = 0;
    dampingApply = 0;
    windVelocity = 1.0f;             // would change the wind force if it were recomputed
    t.trunk->velocity = {0.0f, 0.5f, 0.0f};  // would change the damping force
    t.trunk->computeForces(kAtOrigin);
    expectVec(t.trunk->windForce, wind.x, wind.y, wind.z, 0);
    expectVec(t.trunk->dampingForce, damp.x, damp.y, damp.z, 0);
    const Vec3 rest2 = t.trunk->restorationForce, back2 = t.trunk->backpropForce;
    expectVec(t.trunk->totalForce, double(rest2.x) + back2.x, double(rest2.y) + back2.y,
              double(rest2.z) + back2.z, 1e-5);

    restorationApply = backpropApply = 0;
    t.trunk->computeForces(kAtOrigin);
    expectVec(t.trunk->totalForce, 0, 0, 0, 0);
}

// a = F / mass; v += a min(dt, 0.04); d := normalise(d + v).
TEST_F(SegmentForces, StepIntegratesWithTheCappedTimeStep)
{
    for (float dt : {0.01f, 0.1f}) {
        Twig t;
        const double mass = 1.0 * 0.01 * 2.0 * 10000.0;  // density (D/2)^2 L 10^4
        EXPECT_TRUE(near(t.trunk->mass, mass));
        t.trunk->totalForce = {20.0f, 0.0f, 10.0f};
        t.trunk->step(dt);
        const double h = dt < 0.04f ? dt : 0.04;
        expectVec(t.trunk->totalForce, 20.0 / mass, 0, 10.0 / mass);
        // v = (0.1 h, 0, 0.05 h), then d = normalise((0, 0, 1) + v).
        const double vx = 20.0 / mass * h, vz = 10.0 / mass * h;
        const double n = std::sqrt(vx * vx + (1 + vz) * (1 + vz));
        expectVec(t.trunk->direction, vx / n, 0, (1 + vz) / n);
        // The velocity is then turned across the new direction, keeping its speed.
        EXPECT_TRUE(near(length(t.trunk->velocity), std::sqrt(vx * vx + vz * vz), kF));
        EXPECT_TRUE(near(dot(t.trunk->velocity, t.trunk->direction), 0.0, 1e-7));
    }
}

TEST_F(SegmentForces, SpeedIsCutBackToOne)
{
    Twig t;
    t.trunk->velocity = {0.9f, 0.0f, 0.0f};
    t.trunk->totalForce = {float(t.trunk->mass * 10.0 / 0.04), 0.0f, 0.0f};  // a h = 10
    t.trunk->step(kFrameTime);
    EXPECT_TRUE(near(length(t.trunk->velocity), 1.0, kF));
    // normalise((0, 0, 1) + (1, 0, 0)): 45 degrees.
    expectVec(t.trunk->direction, std::sqrt(0.5), 0, std::sqrt(0.5));
}

// With every force off a moving segment keeps its speed, re-projected each step.
TEST_F(SegmentForces, WithoutForcesTheSpeedIsKept)
{
    Twig t;
    segmentWindApply = restorationApply = backpropApply = dampingApply = 0;
    t.trunk->velocity = {0.05f, 0.0f, 0.0f};
    for (int i = 0; i < 20; ++i) {
        t.animate(kFrameTime);
        EXPECT_TRUE(near(length(t.trunk->velocity), 0.05, 1e-5));
        EXPECT_TRUE(near(dot(t.trunk->velocity, t.trunk->direction), 0.0, 1e-6));
    }
    // Twenty steps of about 0.05 rad each about the y axis.
    EXPECT_GT(t.trunk->direction.x, 0.8f);
}

// A velocity along the direction has nothing across it: it is dropped, not
// turned into a NaN.
TEST_F(SegmentForces, VelocityAlongTheDirectionIsDropped)
{
    Twig t;
    segmentWindApply = restorationApply = backpropApply = dampingApply = 0;
    t.trunk->velocity = {0.0f, 0.0f, 0.5f};
    t.animate(kFrameTime);
    expectVec(t.trunk->direction, 0, 0, 1, 0);
    expectVec(t.trunk->velocity, 0, 0, 0, 0);
    // A velocity that cancels the direction leaves it unchanged.
    t.trunk->velocity = {0.0f, 0.0f, -1.0f};
    t.animate(kFrameTime);
    expectVec(t.trunk->direction, 0, 0, 1, 0);
    expectVec(t.trunk->velocity, 0, 0, 0, 0);
}

// A segment without mass (diameter 0) takes no acceleration.
TEST_F(SegmentForces, MasslessSegmentDoesNotAccelerate)
{
    HandTree h(2);
    CSegment* trunk = h.segment(&h.root, 1.0, 0.0, {0, 0, 1}, 1.0, 1, 1);
    CSegment* twig = h.segment(trunk, 1.0, 0.0, {1, 0, 0}, 1.0, 0, 2);
    h.finish();
    EXPECT_EQ(trunk->mass, 0.0);
    for (int i = 0; i < 10; ++i)
        h.animate();
    expectVec(trunk->direction, 0, 0, 1, 0);
    for (float v : h.matrices)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(twig->direction.x));
}

}  // namespace
