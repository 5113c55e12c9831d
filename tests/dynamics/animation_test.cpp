// Whole-tree animation: the level of detail against the dynamics, the rest
// pose after a reset, the physical outcomes of many steps, the fast frame
// helpers against the general ones, and long runs at extreme settings.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "common/near.h"
#include "dynamics/hand_tree.h"
#include "elements/frame_math.h"
#include "tree/tree.h"

namespace {

// Angle in radians, accurate also for nearly equal vectors.
double angleBetween(Vec3 a, Vec3 b)
{
    const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z;
    const double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
    return std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), ax * bx + ay * by + az * bz);
}

// trunk (1) - branch (2) - twig (3) - leaves (4, 5), and a side twig (6) on
// the trunk with a leaf (7): depths 1..4, heights 3, 2, 1 for 1, 2, 3.
struct Chain : HandTree {
    CSegment *trunk, *branch, *twig, *side;
    Chain() : HandTree(7)
    {
        trunk = segment(&root, 2.0, 0.3, {0, 0, 1}, 1.0, 2, 1);
        branch = segment(trunk, 1.5, 0.2, {0.3f, 0, 1}, 1.0, 1, 2);
        twig = segment(branch, 1.0, 0.1, {0, 0.5f, 1}, 1.0, 2, 3);
        leaf(twig, {1, 0, 0}, 1.0, 4);
        leaf(twig, {0, 1, 0.2f}, 0.5, 5);
        side = segment(trunk, 1.0, 0.1, {1, 0, 0.5f}, 0.6, 1, 6);
        leaf(side, {0, 0, 1}, 1.0, 7);
        finish();
    }
    void resetToRest() { trunk->resetToRest(); }
};

using Animation = DynamicsTest;

void expectSameFrame(const Matrix4& a, const Matrix4& b, double tol)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(near(a.at(r, c), b.at(r, c), tol)) << r << "," << c;
}

// The element's published display matrix is the display form of its frame.
void expectPublished(const CTreeElement& e)
{
    float G[16];
    toDisplayMatrix(e.modelTransform, G);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(e.modelMatrix[i], G[i]) << i;
}

TEST_F(Animation, FastRotationMatchesTheGeneralOne)
{
    std::mt19937 rng(7);
    std::normal_distribution<float> g;
    std::vector<Vec3> dirs = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {0, -1, 0}, {1e-30f, 0, 1}, {0, 1e-20f, -1}};
    for (int i = 0; i < 2000; ++i) {
        Vec3 v = {g(rng), g(rng), g(rng)};
        const float n = length(v);
        dirs.push_back({v.x / n, v.y / n, v.z / n});
    }
    for (Vec3 d : dirs) {
        Matrix4 fast;
        storeRotation(fast, rotationZTo3(d));
        expectSameFrame(fast, RotationZTo(d), 1e-12);
        // The inverse rotation applied to a vector is the transposed one's.
        double back[3], viaTranspose[3];
        rotateVectorBack(fast, 0.3, -1.7, 2.5, back);
        rotateVector(transpose(fast), 0.3, -1.7, 2.5, viaTranspose);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(back[k], viaTranspose[k]);
    }
    // The block product gives exactly the general product of rotations.
    const Matrix4 A = RotationZTo(dirs[10]), B = RotationZTo(dirs[11]);
    Matrix4 C;
    storeRotation(C, rotationBlock(A) * rotationBlock(B));
    expectSameFrame(C, A * B, 0);
}

// Each element's frames follow the chain rule after a step, and its display
// matrix is published.
TEST_F(Animation, StepRebuildsFramesOnTheParents)
{
    Chain t;
    for (int i = 0; i < 5; ++i)
        t.animate(kFrameTime);
    for (const auto& e : t.elements) {
        const CTreeElement& P = *e->parent;
        const double h = float(P.length * e->attachPosition);
        expectSameFrame(e->localRotation, RotationZTo(e->direction), 1e-12);
        expectSameFrame(e->localRotationInverse(), transpose(e->localRotation), 0);
        expectSameFrame(e->modelRotation(), P.modelRotation() * e->localRotation, 1e-15);
        expectSameFrame(e->modelRotationInverse(), e->localRotationInverse() * P.modelRotationInverse(), 1e-15);
        expectSameFrame(e->localTransform(), Translate(0, 0, h) * e->localRotation, 0);
        expectSameFrame(e->modelTransform, P.modelTransform * e->localTransform(), 1e-15);
        expectPublished(*e);
    }
}

// After a reset, one step with every force off rebuilds every frame as it was
// at rest: the rest model rotations are the chain that the step forms, so
// there is no turn about an element's own axis, and every published matrix
// is the rest pose (the step offsets its children by a float attachment
// height, the rest pose by a double one: translations agree to float
// precision).
TEST_F(Animation, ResetAndOneStepWithoutForcesGivesTheRestPose)
{
    Chain t;
    for (int i = 0; i < 30; ++i)
        t.animate(kFrameTime);
    EXPECT_GT(angleBetween(t.branch->direction, t.branch->restDirection), 1e-3);
    t.resetToRest();
    segmentWindApply = restorationApply = backpropApply = dampingApply = leafWindApply = 0;
    t.animate(kFrameTime);
    for (const auto& e : t.elements) {
        SCOPED_TRACE("element " + std::to_string(e->matrixIndex));
        expectSameFrame(e->modelRotation(), e->restModelRotation, 1e-12);
        expectSameFrame(e->modelRotationInverse(), e->restModelRotationInverse, 1e-12);
        expectSameFrame(e->localRotation, e->restLocalRotation, 1e-12);
        expectSameFrame(e->modelTransform, e->restModelTransform, 1e-7);
        float rest[16];
        toDisplayMatrix(e->restModelTransform, rest);
        for (int i = 0; i < 16; ++i)
            EXPECT_TRUE(near(e->modelMatrix[i], rest[i], 1e-6)) << i;
        EXPECT_EQ(e->direction.x, e->restDirection.x);
        EXPECT_EQ(e->direction.z, e->restDirection.z);
    }
}

// A frozen segment bends no more, keeps its last forces, and is carried
// rigidly by its bending parent; its children still bend.
TEST_F(Animation, FrozenSegmentIsCarriedRigidly)
{
    Chain t;
    for (int i = 0; i < 10; ++i)
        t.animate(kFrameTime);
    bendMaxReverse = 1;  // only height-1 segments (the twigs) bend
    assertBendMinForward = 1;  // ... and the trunk
    t.root.applyAnimationLod();
    EXPECT_FALSE(t.trunk->frozen);
    EXPECT_TRUE(t.branch->frozen);
    EXPECT_FALSE(t.twig->frozen);
    EXPECT_FALSE(t.side->frozen);

    const Vec3 direction = t.branch->direction, wind = t.branch->windForce,
               restoration = t.branch->restorationForce, damping = t.branch->dampingForce;
    const Matrix4 local = t.branch->localRotation;
    const Vec3 twigBefore = t.twig->direction;
    windVelocity = 12.0f;
    for (int i = 0; i < 10; ++i) {
        t.animate(kFrameTime);
        EXPECT_EQ(t.branch->totalForce.x, 0.0f);
        EXPECT_EQ(t.branch->windForce.x, wind.x);
        EXPECT_EQ(t.branch->restorationForce.y, restoration.y);
        EXPECT_EQ(t.branch->dampingForce.z, damping.z);
        EXPECT_EQ(t.branch->direction.x, direction.x);
        expectSameFrame(t.branch->localRotation, local, 0);
        expectSameFrame(t.branch->modelTransform,
                        t.trunk->modelTransform * Translate(0, 0, 2.0) * local, 1e-12);
        expectPublished(*t.branch);
    }
    EXPECT_GT(angleBetween(t.twig->direction, twigBefore), 1e-4);
}

// Every-n-th by depth: only even depths bend; asserting depth 1 adds the trunk.
TEST_F(Animation, LevelOfDetailWindowChoosesTheBendingSegments)
{
    Chain t;
    bendEveryNthForward = 2;
    t.root.applyAnimationLod();
    EXPECT_TRUE(t.trunk->frozen);
    EXPECT_FALSE(t.branch->frozen);
    EXPECT_FALSE(t.side->frozen);
    EXPECT_TRUE(t.twig->frozen);
    for (int i = 0; i < 20; ++i)
        t.animate(kFrameTime);
    EXPECT_EQ(t.trunk->direction.z, t.trunk->restDirection.z);
    EXPECT_EQ(t.twig->direction.x, t.twig->restDirection.x);
    EXPECT_GT(angleBetween(t.branch->direction, t.branch->restDirection), 1e-4);
    assertBendMinForward = 1;
    t.root.applyAnimationLod();
    EXPECT_FALSE(t.trunk->frozen);
}

// No wind: the rest pose holds, bit for bit in the published matrices.
TEST_F(Animation, WithoutWindTheRestPoseHolds)
{
    Chain t;
    windVelocity = 0.0f;
    t.animate(kFrameTime);
    const std::vector<float> first = t.matrices;
    for (int i = 0; i < 500; ++i)
        t.animate(kFrameTime);
    EXPECT_EQ(t.matrices, first);
    for (const auto& e : t.elements)
        EXPECT_LT(angleBetween(e->direction, e->restDirection), 1e-6);
}

// A steady wind bends the tree to a still pose: the swing dies out (the
// damping grows with the square of the speed, so slowly at the end); when
// the wind stops the tree swings back to rest.
TEST_F(Animation, SteadyWindBendsToAStillPoseAndTheTreeReturns)
{
    Chain t;
    windVelocity = 6.0f;
    CSegment* segments[] = {t.trunk, t.branch, t.twig, t.side};
    // Range of each segment's direction.x over 500 steps.
    auto swing = [&](double range[4]) {
        double lo[4] = {1, 1, 1, 1}, hi[4] = {-1, -1, -1, -1};
        for (int i = 0; i < 500; ++i) {
            t.animate(kFrameTime);
            for (int k = 0; k < 4; ++k) {
                lo[k] = std::fmin(lo[k], segments[k]->direction.x);
                hi[k] = std::fmax(hi[k], segments[k]->direction.x);
            }
        }
        for (int k = 0; k < 4; ++k)
            range[k] = hi[k] - lo[k];
    };
    double early[4], late[4];
    swing(early);
    for (int i = 0; i < 4000; ++i)
        t.animate(kFrameTime);
    swing(late);
    for (int k = 0; k < 4; ++k) {
        EXPECT_LT(late[k], 0.05 * early[k]) << k;
        EXPECT_LT(late[k], 2e-3) << k;
    }
    // Bent downwind (+x): the twig's tip moves toward +x of its rest place.
    EXPECT_GT(angleBetween(t.trunk->direction, t.trunk->restDirection), 1e-3);
    EXPECT_GT(t.twig->modelTransform.m[0][3], t.twig->restModelTransform.m[0][3]);

    windVelocity = 0.0f;
    for (int i = 0; i < 3000; ++i)
        t.animate(kFrameTime);
    for (const auto& e : t.elements) {
        if (dynamic_cast<CSegment*>(e.get())) {
            EXPECT_LT(angleBetween(e->direction, e->restDirection), 0.01);
        }
    }
}

// Every setting the panel allows, however extreme, in long runs: no NaN or
// infinity reaches a direction, a frame or the published matrices.
TEST_F(Animation, ExtremeSettingsStayFinite)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> scale(0.0f, 100.0f);
    std::uniform_int_distribution<int> flag(0, 1), lod(0, 6);
    for (int run = 0; run < 24; ++run) {
        HandTree h(40);
        CSegment* trunk = h.segment(&h.root, 3.0, 0.5, {0, 0, 1}, 1.0, 4, 1);
        CSegment* back = h.segment(trunk, 1.0, 0.2, {0, 0, -1}, 1.0, 2, 2);  // straight back down
        h.leaf(back, {0, 0, 1}, 1.0, 3);
        CSegment* up = h.segment(back, 1.0, 0.01, {0, 0, 1}, 0.5, 1, 4);
        h.leaf(up, {0, 0, -1}, 0.5, 5);
        CSegment* flat = h.segment(trunk, 2.0, 0.3, {1, 0, 0}, 0.5, 3, 6);
        int index = 7;
        for (int k = 0; k < 3; ++k) {
            CSegment* s = h.segment(flat, 1.0, k == 0 ? 0.0 : 0.05, {0.2f * k, 1, 0.1f}, 1.0, 2, index++);
            h.leaf(s, {1, 1, 1}, 1.0, index++);
            h.leaf(s, {-1, 0, 0}, 0.0, index++);
        }
        h.segment(trunk, 100.0, 5.0, {0, 1, 0}, 1.0, 0, index++);  // heavy limb
        h.leaf(trunk, {0, -1, 0}, 0.2, index++);
        h.finish();

        const bool extreme = run < 8;  // the first runs take every scale at its limit
        segmentWindScale = extreme ? 100.0f : scale(rng);
        restorationScale = extreme ? (run % 2 ? 100.0f : 0.0f) : scale(rng);
        rigidity = extreme ? 100.0f : scale(rng);
        backpropScale = extreme ? 100.0f : scale(rng);
        dampingScale = extreme ? (run % 4 < 2 ? 0.0f : 100.0f) : scale(rng);
        leafWindScale = scale(rng);
        shiverSpeed = scale(rng);
        shiverIntensity = scale(rng);
        windVelocity = extreme ? 100.0f : scale(rng);
        segmentWindApply = flag(rng) | extreme;
        restorationApply = flag(rng);
        backpropApply = flag(rng) | extreme;
        dampingApply = flag(rng);
        leafWindApply = flag(rng);
        leafWindPropagate = flag(rng);
        shiverApply = flag(rng);
        bendEveryNthForward = 1 + lod(rng) % 3;
        bendMaxReverse = lod(rng);
        assertBendMinReverse = lod(rng);
        // Any rotation of the wind widget.
        const Vec3 axis = {scale(rng) - 50, scale(rng) - 50, scale(rng) - 50};
        const Matrix4 W = RotationZTo({axis.x / length(axis), axis.y / length(axis), axis.z / length(axis)});
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                windRotation[4 * r + c] = float(W.at(r, c));
        h.root.applyAnimationLod();

        CWind windForShiver;
        CTree shiverTable(&windForShiver);
        for (int i = 0; i < 1500; ++i) {
            const float dt = (i % 3 == 0) ? 1.0f : (i % 3 == 1 ? 0.0f : 0.04f);
            if (i == 750)
                windVelocity = 0.0f;
            if (shiverApply) {
                shiverTable.updateShiver();
                for (int m = 0; m < 16; ++m)
                    h.shiverMatrices[m] = shiverTable.shiverMatrices[m];
            }
            h.animate(dt);
        }
        for (float v : h.matrices)
            ASSERT_TRUE(std::isfinite(v)) << "run " << run;
        for (const auto& e : h.elements) {
            ASSERT_TRUE(near(length(e->direction), 1.0, 1e-5)) << "run " << run;
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    ASSERT_TRUE(std::isfinite(e->modelTransform.at(r, c)) &&
                                std::isfinite(e->localRotation.at(r, c)))
                        << "run " << run;
            ASSERT_TRUE(std::isfinite(e->totalForce.x) && std::isfinite(e->totalForce.y) &&
                        std::isfinite(e->totalForce.z));
        }
        resetLiveParameters();
    }
}

// The tree's animate: nothing without a model; on a loaded model the forces
// then the steps, with the shiver table refreshed first while shiver is on.
TEST_F(Animation, TreeAnimateRunsTheStepOnTheTrunk)
{
    CWind wind;
    CTree tree(&wind);
    tree.animate(kFrameTime);  // no model: nothing to do, nothing to crash
    EXPECT_TRUE(tree.noModel);

    const std::string path = std::string(DOR_BINARY_DIR) + "/dynamics_twig.tre";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_TRUE(f);
    std::fputs("P 0 0 0\nS 2 0.2 0 0 1 1 2 1\nS 1 0.1 0.5 0 1 0.8 1 2\nL 0 1 1 0.5 3\nL 0 1 0 1 4\n", f);
    std::fclose(f);
    ASSERT_EQ(tree.load(path.c_str()), 0);
    tree.reset();
    CTreeElement* trunk = tree.trunk();
    ASSERT_NE(trunk, nullptr);
    tree.animate(kFrameTime);
    EXPECT_NE(trunk->windForce.x, 0.0f);
    EXPECT_GT(angleBetween(trunk->direction, trunk->restDirection), 0.0);
    expectPublished(*trunk);
    EXPECT_EQ(tree.shiverPhase, 0.0f);  // shiver off: table untouched
    shiverApply = 1;
    tree.animate(kFrameTime);
    EXPECT_GT(tree.shiverPhase, 0.0f);
    tree.cleanup();
    tree.animate(kFrameTime);  // emptied: nothing again
}

// The tree's two loops over its elements give, bit for bit, what the walks
// from the trunk give (forces post-order, steps pre-order), with frozen
// segments, shiver and every force on, over many steps of a real model.
TEST_F(Animation, TreeLoopsMatchTheWalksFromTheTrunk)
{
    const std::string path = std::string(DOR_SOURCE_DIR) + "/assets/salix_babylonica.tre";
    CWind wind;
    CTree loops(&wind), walks(&wind);
    ASSERT_EQ(loops.load(path.c_str()), 0);
    ASSERT_EQ(walks.load(path.c_str()), 0);
    bendEveryNthForward = 2;  // every other depth frozen
    loops.applyAnimationLod();
    walks.applyAnimationLod();
    loops.reset();
    walks.reset();
    shiverApply = 1;
    windVelocity = 12.0f;
    for (int step = 0; step < 40; ++step) {
        loops.animate(kFrameTime);
        walks.updateShiver();
        walks.trunk()->computeForces(kAtOrigin);
        walks.trunk()->step(kFrameTime);
    }
    ASSERT_EQ(loops.elementOrder.size(), walks.elementOrder.size());
    size_t frozen = 0;
    for (size_t i = 0; i < loops.elementOrder.size(); ++i) {
        const CTreeElement& a = *loops.elementOrder[i];
        const CTreeElement& b = *walks.elementOrder[i];
        frozen += a.frozen;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c) {
                ASSERT_EQ(a.modelTransform.m[r][c], b.modelTransform.m[r][c]) << i;
                ASSERT_EQ(a.localRotation.m[r][c], b.localRotation.m[r][c]) << i;
            }
        ASSERT_EQ(a.totalForce.x, b.totalForce.x) << i;
        ASSERT_EQ(a.windVector.y, b.windVector.y) << i;
    }
    EXPECT_GT(frozen, 0u);
    EXPECT_EQ(loops.matrices, walks.matrices);
}

}  // namespace
