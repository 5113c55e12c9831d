// The leaves' shiver under the wind field: each leaf trembles by the speed of
// the wind it sampled, with its own phase, where the uniform wind's shiver
// uses the shared table and windVelocity.
#include <cmath>

#include "common/near.h"
#include "dynamics/hand_tree.h"
#include "elements/frame_math.h"

namespace {

Matrix4 rotationX(double theta)
{
    Matrix4 R = identityMatrix();
    R.m[1][1] = std::cos(theta); R.m[1][2] = -std::sin(theta);
    R.m[2][1] = std::sin(theta); R.m[2][2] = std::cos(theta);
    return R;
}

void expectMatrix(const Matrix4& a, const Matrix4& b, double tol)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(near(a.at(r, c), b.at(r, c), tol)) << r << "," << c;
}

// Two leaves that share shiver matrix 1 (indices 17 and 33) on an upright
// trunk.
struct TwoLeaves : HandTree {
    CSegment* trunk;
    CLeaf *a, *b;
    TwoLeaves() : HandTree(33)
    {
        trunk = segment(&root, 2.0, 0.2, {0, 0, 1}, 1.0, 2, 1);
        a = leaf(trunk, {0, 1, 0}, 1.0, 17);
        b = leaf(trunk, {1, 0, 0}, 0.5, 33);
        finish();
    }
};

using LeafShiver = DynamicsTest;

TEST_F(LeafShiver, WithTheFieldOnEachLeafShiversByItsOwnWind)
{
    TwoLeaves t;
    shiverApply = 1;
    shiverSpeed = 2.0f;
    windGusts = 1;  // the field on
    t.shiverMatrices[1] = rotationX(0.3);  // the shared entry: no longer used
    double phase = 0.0;
    for (double speed : {3.0, 8.0}) {
        // The wind each leaf sampled, in its parent's frame: a at speed, b calm.
        t.a->windVector = {0.0f, 0.0f, float(speed)};
        t.b->windVector = {0.0f, 0.0f, 0.0f};
        t.a->step(kFrameTime);
        t.b->step(kFrameTime);
        phase = float(phase + 15.75 * 0.0008 * std::sqrt(speed) * 2.0 * 6.2831853);
        const double theta = 0.39269908125 * (1.0 - 1.0 / (speed + 1.0)) * std::sin(phase + 1.0);
        expectMatrix(t.a->localRotation, RotationZTo(t.a->direction) * rotationX(3.0 * theta), 1e-6);
        // No wind at b: no shiver, its phase still.
        expectMatrix(t.b->localRotation, RotationZTo(t.b->direction), 1e-12);
        EXPECT_EQ(t.b->shiverPhase, 0.0f);
    }
    EXPECT_TRUE(near(t.a->shiverPhase, phase, 1e-6));
}

TEST_F(LeafShiver, WithTheFieldOffLeavesUseTheSharedTable)
{
    TwoLeaves t;
    shiverApply = 1;
    t.shiverMatrices[1] = rotationX(0.3);
    t.a->windVector = {0.0f, 0.0f, 3.0f};
    t.a->step(kFrameTime);
    expectMatrix(t.a->localRotation, RotationZTo(t.a->direction) * rotationX(0.3), 1e-12);
    EXPECT_EQ(t.a->shiverPhase, 0.0f);
}

TEST_F(LeafShiver, ANonFiniteWindIsCalm)
{
    TwoLeaves t;
    shiverApply = 1;
    windTurbulence = 1;
    t.a->windVector = {NAN, 0.0f, INFINITY};
    t.a->step(kFrameTime);
    EXPECT_EQ(t.a->shiverPhase, 0.0f);
    EXPECT_TRUE(std::isfinite(t.a->localRotation.at(1, 1)));
}

}  // namespace
