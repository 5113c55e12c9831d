// The physical model as the viewer and dor-sim run it: the same motion at
// any frame rate, rest after the wind, one still pose in a steady wind,
// finite and attached at every panel limit, reset and model switch, deep
// chains; and the fixed-rate accumulator that the classic model shares.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/near.h"
#include "common/run_with_stack.h"
#include "elements/segment.h"
#include "physics_trees.h"

namespace {

// A small tree: a trunk of three segments, two side branches of two, and
// leaves on every segment, some hanging down and one pointing back along
// its segment.
const char* kSmallTree =
    "P 0 0 0\n"
    "S 1.0 0.10 0 0 1 1 3 1\n"
    "S 0.6 0.03 1 0 0.6 0.6 2 2\n"
    "S 0.4 0.02 1 0.2 0.3 1 1 3\n"
    "L 0 0 -1 1 4\n"
    "L 0 1 0 0.5 5\n"
    "L -1 0 0.2 0.3 6\n"
    "S 1.0 0.08 0 0.1 1 1 2 7\n"
    "S 0.5 0.01 -1 0 0.4 0.7 1 8\n"
    "L 0.3 0 -1 1 9\n"
    "S 0.8 0.05 0 0 1 1 1 10\n"
    "L 0 0 -1 1 11\n";

// An element's tip in the rest pose.
Vec3 restTipOf(const CTreeElement& e)
{
    const Matrix4& M = e.restModelTransform;
    return {float(M.m[0][3] + M.m[0][2] * e.length), float(M.m[1][3] + M.m[1][2] * e.length),
            float(M.m[2][3] + M.m[2][2] * e.length)};
}

double distance(Vec3 a, Vec3 b) { return double(length(a - b)); }

// The tree's height: the highest rest tip above the lowest element origin.
double heightOf(const CTree& tree)
{
    double top = -1e30, bottom = 1e30;
    for (const CTreeElement* e : tree.elementOrder) {
        top = std::max(top, double(restTipOf(*e).z));
        bottom = std::min(bottom, e->restModelTransform.m[2][3]);
    }
    return top - bottom;
}

// The largest distance of any element's tip from its rest place, m.
double largestDisplacement(const CTree& tree)
{
    double d = 0.0;
    for (const CTreeElement* e : tree.elementOrder)
        d = std::max(d, distance(tipOf(*e), restTipOf(*e)));
    return d;
}

// The largest angular speed of any body in model space, rad/s.
double largestAngularSpeed(const CTree& tree)
{
    double s = 0.0;
    for (const PhysicalBody& b : tree.physical.bodies)
        s = std::max(s, std::sqrt(b.v[0] * b.v[0] + b.v[1] * b.v[1] + b.v[2] * b.v[2]));
    return s;
}

// Every frame finite, every element starting where its parent says, no
// element turned further from its rest direction than the joint's stop.
void expectSound(const CTree& tree, const std::string& what)
{
    SCOPED_TRACE(what);
    for (const CTreeElement* e : tree.elementOrder) {
        const Matrix4& M = e->modelTransform;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                ASSERT_TRUE(std::isfinite(M.m[r][c])) << "element " << e->matrixIndex;
        const Matrix4& P = e->parent->modelTransform;
        const double h = e->parent->length * e->attachPosition;
        // In doubles, as the frames are: the deep chain's tip is 2 km up,
        // where a float's step is 1.2e-4 m.
        double gap = 0.0;
        for (int r = 0; r < 3; ++r) {
            const double d = M.m[r][3] - (P.m[r][3] + P.m[r][2] * h);
            gap += d * d;
        }
        ASSERT_LT(std::sqrt(gap), 1e-4) << "element " << e->matrixIndex << " came loose";
        const double bend = std::acos(std::clamp(double(dot(e->direction, e->restDirection)), -1.0, 1.0));
        ASSERT_LE(bend, 0.5 * 3.14159265358979 + 1e-3) << "element " << e->matrixIndex << " folded";
    }
}

// The tips of the top segment and of the deepest element, sampled every
// 1/15 s over the run at fps frames per second.
std::vector<Vec3> probeRun(const std::string& path, double seconds, double fps)
{
    LoadedTree t;
    EXPECT_TRUE(t.load(path));
    const CTreeElement* top = nullptr;
    const CTreeElement* deepest = nullptr;
    for (const CTreeElement* e : t.tree.elementOrder) {
        if (dynamic_cast<const CSegment*>(e) && (!top || restTipOf(*e).z > restTipOf(*top).z))
            top = e;
        if (!deepest || e->depth > deepest->depth)
            deepest = e;
    }
    std::vector<Vec3> samples;
    const long perSample = std::lround(fps / 15.0);
    long frame = 0;
    run(t.tree, seconds, fps, [&](double) {
        if (++frame % perSample == 0) {
            samples.push_back(tipOf(*top));
            samples.push_back(tipOf(*deepest));
        }
    });
    return samples;
}

}  // namespace

TEST(PhysicalModel, SameMotionAtEveryFrameRate)
{
    usePhysicalModel();
    windGusts = 1;  // gust fronts: a wind that changes in time and space
    gustInterval = 2.0f;
    windVelocity = 8.0f;
    const std::string path = assetPath(DEFAULT_TREE_FILE_NAME);
    LoadedTree probe;
    ASSERT_TRUE(probe.load(path));
    const double H = heightOf(probe.tree);
    const std::vector<Vec3> reference = probeRun(path, 4.0, 60.0);
    ASSERT_EQ(reference.size(), size_t(2 * 60));
    for (double fps : {15.0, 30.0, 120.0, 240.0}) {
        const std::vector<Vec3> other = probeRun(path, 4.0, fps);
        ASSERT_EQ(other.size(), reference.size());
        double worst = 0.0;
        for (size_t k = 0; k < other.size(); ++k)
            worst = std::max(worst, distance(other[k], reference[k]));
        EXPECT_LT(worst, 0.005 * H) << fps << " frames/s";
    }
    // The tree did move: the comparison is not between still poses.
    double moved = 0.0;
    for (size_t k = 2; k < reference.size(); k += 2)
        moved = std::max(moved, distance(reference[k], reference[0]));
    EXPECT_GT(moved, 0.01 * H);
    resetLiveParameters();
}

// The default model and the willow, the slowest to settle of the committed
// models (its trunk's twist, at 0.28 Hz, carries the wide crown).
const char* const kRestModels[] = {DEFAULT_TREE_FILE_NAME, "salix_babylonica.tre"};

TEST(PhysicalModel, ComesToRestAfterTheWind)
{
    for (const char* name : kRestModels) {
        SCOPED_TRACE(name);
        usePhysicalModel();
        LoadedTree t;
        ASSERT_TRUE(t.load(assetPath(name)));
        const double H = heightOf(t.tree);
        run(t.tree, 20.0, 30.0);
        EXPECT_GT(largestDisplacement(t.tree), 0.01 * H);
        windVelocity = 0.0f;
        run(t.tree, 30.0, 30.0);
        EXPECT_LT(largestAngularSpeed(t.tree), 1e-4);
        EXPECT_LT(largestDisplacement(t.tree), 1e-4 * H);
    }
    resetLiveParameters();
}

TEST(PhysicalModel, SettlesToOneStillPoseInSteadyWind)
{
    for (const char* name : kRestModels) {
        SCOPED_TRACE(name);
        usePhysicalModel();
        windVelocity = 10.0f;
        LoadedTree t;
        ASSERT_TRUE(t.load(assetPath(name)));
        const double H = heightOf(t.tree);
        run(t.tree, 30.0, 30.0);
        std::vector<Vec3> before;
        for (const CTreeElement* e : t.tree.elementOrder)
            before.push_back(tipOf(*e));
        run(t.tree, 2.0, 30.0);
        double change = 0.0;
        for (size_t i = 0; i < before.size(); ++i)
            change = std::max(change, distance(before[i], tipOf(*t.tree.elementOrder[i])));
        EXPECT_LT(change, 1e-4 * H);
        EXPECT_GT(largestDisplacement(t.tree), 0.01 * H);  // bent, not at rest
    }
    resetLiveParameters();
}

TEST(PhysicalModel, SoundAtEveryPanelLimit)
{
    const char* names[] = {"youngModulus", "woodDensity", "dragCoefficient", "airDensity", "leafMass",
                           "leafArea", "structuralDamping", "physicsRate", "gravityApply"};
    const std::string path = writeTreeFile(kSmallTree);
    for (const char* name : names) {
        const LiveParameter* p = findLiveParameter(name);
        ASSERT_NE(p, nullptr) << name;
        for (double value : {p->minimum, p->maximum}) {
            for (float wind : {0.0f, 100.0f}) {
                usePhysicalModel();
                windVelocity = wind;
                ASSERT_TRUE(setLiveParameter(*p, std::to_string(value).c_str())) << name;
                LoadedTree t;
                ASSERT_TRUE(t.load(path));
                const std::string what = std::string(name) + " = " + std::to_string(value) + ", wind " +
                                         std::to_string(wind);
                for (float dt : {0.0f, 1.0f, 0.001f, 1.0f / 60.0f, 0.5f})
                    for (int k = 0; k < 3; ++k)
                        t.tree.animate(dt);
                expectSound(t.tree, what);
            }
        }
    }
    resetLiveParameters();
}

TEST(PhysicalModel, SoundInAHurricaneOnAScannedTree)
{
    usePhysicalModel();
    windVelocity = 100.0f;
    windTurbulence = 1;
    LoadedTree t;
    ASSERT_TRUE(t.load(assetPath("salix_babylonica.tre")));
    run(t.tree, 3.0, 30.0);
    expectSound(t.tree, "salix_babylonica at 100 m/s");
    resetLiveParameters();
}

TEST(PhysicalModel, ResetAndSwitchingReturnToRest)
{
    usePhysicalModel();
    LoadedTree t;
    ASSERT_TRUE(t.loadText(kSmallTree));
    const std::vector<float> rest = t.tree.matrices;
    run(t.tree, 1.0, 60.0);
    EXPECT_NE(t.tree.matrices, rest);
    t.tree.reset();
    EXPECT_EQ(t.tree.matrices.size(), rest.size());
    for (const PhysicalBody& b : t.tree.physical.bodies) {
        EXPECT_EQ(b.q[0], 1.0);
        EXPECT_EQ(b.omega[0] + b.omega[1] + b.omega[2], 0.0);
    }
    for (const CTreeElement* e : t.tree.elementOrder)
        EXPECT_EQ(distance(tipOf(*e), restTipOf(*e)), 0.0);

    // Bent by the physical model, then switched: the classic model starts
    // from rest (its first step from rest moves the tree as from a reset).
    run(t.tree, 1.0, 60.0);
    LoadedTree fresh;
    bendingModel = 0;
    ASSERT_TRUE(fresh.loadText(kSmallTree));
    fresh.tree.animate(1.0f / 60.0f);
    t.tree.animate(1.0f / 60.0f);
    EXPECT_EQ(t.tree.matrices, fresh.tree.matrices);
    resetLiveParameters();
}

TEST(PhysicalModel, DeepChainWithoutRecursion)
{
    const int depth = 200000;
    std::string text = "P 0 0 0\n";
    for (int i = 1; i < depth; ++i)
        text += "S 0.01 0.01 0 0.1 1 1 1 " + std::to_string(i) + "\n";
    text += "L 0 0 1 1 " + std::to_string(depth) + "\nV 0 0 0 1\nN 0 0 1\nT 0 0\nF 0 0 0 0\n";
    const std::string path = writeTreeFile(text);
    runWithStack(size_t(8) << 20, [&] {
        usePhysicalModel();
        LoadedTree t;
        ASSERT_TRUE(t.load(path));
        for (int k = 0; k < 3; ++k)
            t.tree.animate(1.0f / 60.0f);
        expectSound(t.tree, "chain of 200 000");
        EXPECT_GT(distance(tipOf(*t.tree.elementOrder.back()), restTipOf(*t.tree.elementOrder.back())), 0.0);
    });
    resetLiveParameters();
}

// The classic model at a fixed rate: frames of 1/100 s at 50 Hz step every
// second frame with 1/50 s, as frames of 1/50 s without the option do; a
// frame time that is not a whole number of steps carries its remainder.
TEST(FixedRate, ClassicModelStepsAtTheFixedRate)
{
    resetLiveParameters();
    LoadedTree plain, fixed;
    ASSERT_TRUE(plain.load(assetPath("twig.tre")));
    ASSERT_TRUE(fixed.load(assetPath("twig.tre")));
    fixedRate = 50.0f;
    for (int frame = 0; frame < 20; ++frame) {
        fixed.tree.animate(0.01f);
        if (frame % 2 == 0) {
            EXPECT_EQ(fixed.tree.matrices, plain.tree.matrices) << "a step before its time, frame " << frame;
        } else {
            plain.tree.classicStep(0.02f);
            EXPECT_EQ(fixed.tree.matrices, plain.tree.matrices) << "frame " << frame;
        }
    }
    // 0.03 s frames: one step, then two (0.01 + 0.03 = 0.04), as 1/50 s steps.
    fixed.tree.animate(0.03f);
    plain.tree.classicStep(0.02f);
    EXPECT_EQ(fixed.tree.matrices, plain.tree.matrices);
    fixed.tree.animate(0.03f);
    plain.tree.classicStep(0.02f);
    plain.tree.classicStep(0.02f);
    EXPECT_EQ(fixed.tree.matrices, plain.tree.matrices);
    // Off (0), a frame is one step of its own time again.
    fixedRate = 0.0f;
    fixed.tree.animate(0.03f);
    plain.tree.classicStep(0.03f);
    EXPECT_EQ(fixed.tree.matrices, plain.tree.matrices);
    resetLiveParameters();
}
