// Leaves: the wind force and its hand-over to the parent under each flag,
// the turn into the wind, and the shiver table with its phase.
#include <cmath>

#include "common/near.h"
#include "dynamics/hand_tree.h"
#include "elements/frame_math.h"
#include "tree/tree.h"

namespace {

void expectVec(Vec3 v, double x, double y, double z, double tol = 2e-6)
{
    EXPECT_TRUE(near(v.x, x, tol));
    EXPECT_TRUE(near(v.y, y, tol));
    EXPECT_TRUE(near(v.z, z, tol));
}

void expectMatrix(const Matrix4& a, const Matrix4& b, double tol = 1e-12)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(near(a.at(r, c), b.at(r, c), tol)) << r << "," << c;
}

Matrix4 rotationX(double theta)
{
    Matrix4 R = identityMatrix();
    R.m[1][1] = std::cos(theta); R.m[1][2] = -std::sin(theta);
    R.m[2][1] = std::sin(theta); R.m[2][2] = std::cos(theta);
    return R;
}

// An upright trunk (length 2) with one leaf at its tip pointing along +Y.
struct LeafOnTrunk : HandTree {
    CSegment* trunk;
    CLeaf* leaf1;
    LeafOnTrunk() : HandTree(17)
    {
        trunk = segment(&root, 2.0, 0.2, {0, 0, 1}, 1.0, 1, 1);
        leaf1 = leaf(trunk, {0, 1, 0}, 1.0, 17);
        finish();
    }
};

using LeafDynamics = DynamicsTest;

// F = w (windArea / divisor) leafWindScale, handed on as -F.
TEST_F(LeafDynamics, WindForceIsHandedToTheParent)
{
    leafSurface = 2.0f;  // read at initialise
    LeafOnTrunk t;
    leafSurface = 1.0f;
    leafWindScale = 0.5f;
    t.leaf1->computeForces(kAtOrigin);
    expectVec(t.leaf1->windVector, 4, 0, 0);
    expectVec(t.leaf1->windForce, 4.0 * 2.0 * 0.5, 0, 0);  // along-leaf part kept, no length factor
    expectVec(t.leaf1->restorationForce, -4.0, 0, 0);
    expectVec(t.leaf1->totalForce, 4.0, 0, 0);

    // The parent's backpropagation turns it back into a push along the wind:
    // b = -(-4, 0, 0) 1 1 L(2) = (8, 0, 0); 0.2 backpropScale.
    t.trunk->computeBackpropForce();
    expectVec(t.trunk->backpropForce, 8.0 * 0.2, 0, 0);
}

TEST_F(LeafDynamics, WithoutPropagationTheLeafTurnsButDoesNotPush)
{
    LeafOnTrunk t;
    leafWindPropagate = 0;
    t.leaf1->computeForces(kAtOrigin);
    expectVec(t.leaf1->windForce, 4, 0, 0);
    expectVec(t.leaf1->restorationForce, 0, 0, 0, 0);
    t.leaf1->step(kFrameTime);
    // normalise((0, 1, 0) + (4, 0, 0)).
    expectVec(t.leaf1->direction, 4 / std::sqrt(17.0), 1 / std::sqrt(17.0), 0);
}

TEST_F(LeafDynamics, WithoutLeafWindTheLeafRestsAndKeepsItsLastSample)
{
    LeafOnTrunk t;
    t.leaf1->computeForces(kAtOrigin);
    leafWindApply = 0;
    windVelocity = 9.0f;
    t.leaf1->computeForces(kAtOrigin);
    expectVec(t.leaf1->windVector, 4, 0, 0, 0);  // the last sample stays for the glyph
    expectVec(t.leaf1->windForce, 0, 0, 0, 0);
    expectVec(t.leaf1->restorationForce, 0, 0, 0, 0);
    expectVec(t.leaf1->totalForce, 0, 0, 0, 0);
    t.leaf1->step(kFrameTime);
    expectVec(t.leaf1->direction, 0, 1, 0, 0);
    expectMatrix(t.leaf1->localRotation, RotationZTo(t.leaf1->restDirection));
}

// The turn uses the unscaled wind in the parent frame, and the leaf's frames
// are rebuilt on the parent's.
TEST_F(LeafDynamics, LeafTurnsIntoTheWindInItsParentFrame)
{
    LeafOnTrunk t;
    leafWindScale = 10.0f;  // does not change the turn
    t.trunk->direction = {0.0f, -0.6f, 0.8f};  // trunk leaning: rotation about x
    t.trunk->step(kFrameTime);
    t.leaf1->computeForces(kAtOrigin);
    // Model wind (4, 0, 0) lies along the trunk's rotation axis: unchanged.
    expectVec(t.leaf1->windVector, 4, 0, 0, 1e-6);
    t.leaf1->step(kFrameTime);
    expectVec(t.leaf1->direction, 4 / std::sqrt(17.0), 1 / std::sqrt(17.0), 0);
    expectMatrix(t.leaf1->modelRotation(), t.trunk->modelRotation() * t.leaf1->localRotation);
    // The leaf starts at the trunk's tip: root end (0, 0, 0) + 2 along the trunk.
    EXPECT_TRUE(near(t.leaf1->modelTransform.m[0][3], 0.0, 1e-6));
    EXPECT_TRUE(near(t.leaf1->modelTransform.m[1][3], -1.2, 1e-6));
    EXPECT_TRUE(near(t.leaf1->modelTransform.m[2][3], 1.6, 1e-6));
    // A wind that exactly cancels the rest direction leaves the leaf at rest.
    t.leaf1->windVector = {0.0f, -1.0f, 0.0f};
    t.leaf1->step(kFrameTime);
    expectVec(t.leaf1->direction, 0, 1, 0, 0);
}

// theta_i = a sin(phase + i), a = intensity pi/8 (1 - 1/(w + 1)); matrix i
// turns by 3 theta_i about X; the phase advances by
// (i 0.03125 + 0.75) 0.0008 sqrt(w) speed 2 pi before each matrix.
TEST_F(LeafDynamics, ShiverMatricesAndPhase)
{
    CWind wind;
    CTree tree(&wind);
    EXPECT_EQ(tree.shiverPhase, 0.0f);
    windVelocity = 9.0f;
    shiverSpeed = 2.0f;
    shiverIntensity = 0.5f;
    tree.updateShiver();
    const double a = float(0.5 * 0.39269908125 * (1.0 - 1.0 / 10.0));
    float phase = 0.0f;
    for (int i = 0; i < 16; ++i) {
        phase = phase + (float(i) * 0.03125f + 0.75f) * 0.0008f * 3.0f * 2.0f * 6.2831853f;
        const double theta = a * std::sin(double(phase) + i);
        expectMatrix(tree.shiverMatrices[i], rotationX(3 * theta));
    }
    EXPECT_TRUE(near(tree.shiverPhase, phase, 1e-6));
    // Sixteen increments with factors 0.75 .. 1.21875: their sum 15.75 of the base.
    EXPECT_TRUE(near(tree.shiverPhase, 15.75 * 0.0008 * 3 * 2 * 6.2831853, 1e-5));
}

TEST_F(LeafDynamics, ShiverIsStillWithoutWindOrIntensity)
{
    CWind wind;
    CTree tree(&wind);
    windVelocity = 0.0f;
    tree.updateShiver();
    EXPECT_EQ(tree.shiverPhase, 0.0f);
    for (const Matrix4& m : tree.shiverMatrices)
        expectMatrix(m, identityMatrix(), 0);

    windVelocity = 50.0f;
    shiverIntensity = 0.0f;
    tree.updateShiver();
    EXPECT_GT(tree.shiverPhase, 0.0f);
    for (const Matrix4& m : tree.shiverMatrices)
        expectMatrix(m, identityMatrix(), 0);
}

// The phase stays in a range where float steps are fine, whatever the run time.
TEST_F(LeafDynamics, ShiverPhaseStaysSmallOverLongRuns)
{
    CWind wind;
    CTree tree(&wind);
    windVelocity = 100.0f;
    shiverSpeed = 100.0f;
    float previous = 0.0f;
    for (int k = 0; k < 100000; ++k) {
        tree.updateShiver();
        ASSERT_TRUE(std::isfinite(tree.shiverPhase));
        previous = tree.shiverPhase;
    }
    EXPECT_LT(std::fabs(previous), 4200.0f);
}

// The shiver acts in the leaf's own frame, after the turn toward direction;
// leaves whose indices differ by 16 share a shiver matrix.
TEST_F(LeafDynamics, ShiverRotatesTheLeafInItsOwnFrame)
{
    LeafOnTrunk t;
    EXPECT_EQ(t.leaf1->shiverMatrix, &t.shiverMatrices[1]);  // 17 & 15
    shiverApply = 1;
    t.shiverMatrices[1] = rotationX(0.3);
    t.leaf1->computeForces(kAtOrigin);
    t.leaf1->step(kFrameTime);
    const Matrix4 expected = RotationZTo(t.leaf1->direction) * rotationX(0.3);
    expectMatrix(t.leaf1->localRotation, expected);
    expectMatrix(t.leaf1->localRotationInverse(), transpose(expected));
    // Shiver off: the table is no longer used.
    shiverApply = 0;
    t.leaf1->step(kFrameTime);
    expectMatrix(t.leaf1->localRotation, RotationZTo(t.leaf1->direction));
}

}  // namespace
