// The elements' initialisation, rest frames, heights, animation level of
// detail, reset and frame propagation.
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "common/near.h"
#include "elements/leaf.h"
#include "elements/segment.h"
#include "parameters/parameters.h"
#include "tree/tree.h"

namespace {

// A hand-built hierarchy under a tree's root; elements are owned here.
struct Hierarchy {
    CTree tree{nullptr};
    std::vector<std::unique_ptr<CTreeElement>> owned;
    std::vector<std::vector<CTreeElement*>> childArrays;

    Hierarchy() { resetLiveParameters(); }

    CSegment* root() { return tree.root; }

    void link(CSegment* parent, CTreeElement* element)
    {
        element->parent = parent;
        element->depth = parent->depth + 1;
        parent->children[parent->attachedCount++] = element;
    }

    CSegment* segment(CSegment* parent, double length, double diameter, Vec3 direction,
                      double attach, uint32_t children)
    {
        auto* s = new CSegment(nullptr);
        owned.emplace_back(s);
        s->length = length;
        s->diameter = diameter;
        s->modelDirection = direction;
        s->attachPosition = attach;
        s->childCount = children;
        if (children) {
            childArrays.emplace_back(children, nullptr);
            s->children = childArrays.back().data();
        }
        link(parent, s);
        s->initialise();
        return s;
    }

    CLeaf* leaf(CSegment* parent, Vec3 direction, double attach)
    {
        auto* l = new CLeaf(nullptr);
        owned.emplace_back(l);
        l->modelDirection = direction;
        l->attachPosition = attach;
        l->length = 1.0;
        link(parent, l);
        l->initialise();
        return l;
    }

    ~Hierarchy()
    {
        // The root's slot points at elements owned here, not at the tree's arena.
        tree.rootChild = nullptr;
    }
};

bool finite(const Matrix4& m)
{
    for (auto& row : m.m)
        for (double v : row)
            if (!std::isfinite(v))
                return false;
    return true;
}

void expectMatrixNear(const Matrix4& a, const Matrix4& b, double tol)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(near(a.at(r, c), b.at(r, c), tol)) << "entry " << r << "," << c;
}

} // namespace

TEST(ElementInitialise, SegmentQuantitiesAndRestFrames)
{
    Hierarchy h;
    density = 2.0f;
    const float s = 1.0f / std::sqrt(2.0f);
    CSegment* trunk = h.segment(h.root(), 2.0, 0.2, {0, 0, 3}, 1.0, 1);
    EXPECT_TRUE(near(trunk->thicknessRatio, std::sqrt(0.2 / 10.0)));
    EXPECT_TRUE(near(trunk->windArea, 0.4));
    EXPECT_TRUE(near(trunk->sectionVolume, 0.01 * 2.0));
    EXPECT_TRUE(near(trunk->mass, 2.0 * 0.02 * 10000.0, 1e-6));
    EXPECT_TRUE(near(h.root()->diameter, 0.4));
    // Normalised direction; the trunk starts at the model origin.
    EXPECT_EQ(trunk->modelDirection.z, 1.0f);
    const Vec3 base = transformPoint(trunk->restModelTransform, {0, 0, 0});
    EXPECT_TRUE(near(base.x, 0) && near(base.y, 0) && near(base.z, 0));

    // A branch at half the trunk's length, leaning 45 degrees towards +X.
    CSegment* branch = h.segment(trunk, 1.0, 0.1, {1, 0, 1}, 0.5, 0);
    EXPECT_TRUE(near(branch->thicknessRatio, std::sqrt(0.5), 1e-12));
    EXPECT_TRUE(near(branch->modelDirection.x, s, 1e-7));
    const Vec3 start = transformPoint(branch->restModelTransform, {0, 0, 0});
    const Vec3 tip = transformPoint(branch->restModelTransform, {0, 0, 1});
    EXPECT_TRUE(near(start.x, 0) && near(start.y, 0) && near(start.z, 1.0, 1e-7));
    EXPECT_TRUE(near(tip.x, s, 1e-6) && near(tip.z, 1.0 + s, 1e-6));
    // Rest direction in the parent frame: the trunk is upright, so it equals the file's.
    EXPECT_TRUE(near(branch->restDirection.x, s, 1e-6) && near(branch->restDirection.z, s, 1e-6));
    expectMatrixNear(branch->restModelTransform * branch->restModelTransformInverse,
                     identityMatrix(), 1e-6);
    expectMatrixNear(branch->restLocalTransform * branch->restLocalTransformInverse,
                     identityMatrix(), 1e-6);
    expectMatrixNear(branch->restLocalRotationInverse, transpose(branch->restLocalRotation), 0);
    // The current state is the rest state.
    expectMatrixNear(branch->modelTransform, branch->restModelTransform, 0);
    expectMatrixNear(branch->localTransform(), branch->restLocalTransform, 0);
    EXPECT_EQ(branch->direction.x, branch->restDirection.x);
}

TEST(ElementInitialise, RestDirectionIsExpressedInTheParentFrame)
{
    Hierarchy h;
    // Trunk lying along +X; a child pointing along model +X too is straight
    // ahead (+Z) in the trunk's frame; one pointing to model +Z is sideways.
    CSegment* trunk = h.segment(h.root(), 1.0, 0.1, {1, 0, 0}, 1.0, 2);
    CSegment* ahead = h.segment(trunk, 1.0, 0.1, {1, 0, 0}, 1.0, 0);
    CLeaf* up = h.leaf(trunk, {0, 0, 1}, 1.0);
    EXPECT_TRUE(near(ahead->restDirection.z, 1.0, 1e-6));
    EXPECT_TRUE(near(up->restDirection.z, 0.0, 1e-6));
    EXPECT_TRUE(near(std::fabs(up->restDirection.x), 1.0, 1e-6));
    // The leaf starts at the trunk's tip, model (1, 0, 0).
    const Vec3 p = transformPoint(up->restModelTransform, {0, 0, 0});
    EXPECT_TRUE(near(p.x, 1.0, 1e-6) && near(p.y, 0) && near(p.z, 0, 1e-6));
}

// On a deep tree of random directions every element's rest frame points
// along its file direction: the rest model rotation is the chain of the rest
// local rotations (as the animation step rebuilds it), not the shortest
// rotation to the file direction, which differs from the chain by a twist
// and, from depth 3 on, turned the rest directions of the levels below.
// The remaining error is the float rounding of restDirection and of the
// rotation axis (about 1e-7; up to a few 1e-6 for a direction close to its
// parent's axis, where the sine of the angle is taken from its cosine), and
// it does not grow with depth.
TEST(ElementInitialise, RestFramesPointAlongTheFileDirectionsAtEveryDepth)
{
    Hierarchy h;
    std::mt19937 rng(5);
    std::normal_distribution<float> g;
    auto randomDirection = [&] {
        for (;;) {
            const Vec3 v = {g(rng), g(rng), g(rng) + 0.5f};
            const float n = length(v);
            if (n > 0.1f && v.z / n > -0.9f)
                return v;
        }
    };
    // A stem of 40 segments, each carrying the next, a side segment and a leaf.
    std::vector<CTreeElement*> all;
    CSegment* stem = h.segment(h.root(), 1.0, 0.3, randomDirection(), 1.0, 3);
    all.push_back(stem);
    for (int level = 0; level < 40; ++level) {
        CSegment* next = h.segment(stem, 0.9, 0.2, randomDirection(), 1.0, level < 39 ? 3 : 0);
        CSegment* side = h.segment(stem, 0.5, 0.1, randomDirection(), 0.5, 1);
        all.insert(all.end(), {next, side, h.leaf(side, randomDirection(), 1.0),
                               h.leaf(stem, randomDirection(), 0.3)});
        stem = next;
    }
    double worst = 0.0;
    for (const CTreeElement* e : all) {
        const CTreeElement& P = *e->parent;
        const Vec3 d = e->modelDirection;  // normalised by initialise
        const Matrix4& R = e->restModelRotation;
        const Matrix4& T = e->restModelTransform;
        for (int r = 0; r < 3; ++r) {
            const double axis = r == 0 ? d.x : r == 1 ? d.y : d.z;
            worst = std::max({worst, std::fabs(R.m[r][2] - axis), std::fabs(T.m[r][2] - axis)});
            for (int c = 0; c < 3; ++c)
                EXPECT_TRUE(near(T.m[r][c], R.m[r][c], 1e-14));
        }
        expectMatrixNear(R, P.restModelRotation * e->restLocalRotation, 0);
        expectMatrixNear(e->restModelRotationInverse, transpose(R), 0);
        // Depth 1 and 2 keep the values of the shortest-rotation rule: the
        // root is the identity and the trunk's chain is its shortest rotation.
        if (e->depth == 1)
            expectMatrixNear(R, RotationZTo(d), 0);
        if (e->depth <= 2) {
            const Vec3 old = transformPoint(transpose(RotationZTo(P.modelDirection)), d);
            EXPECT_EQ(e->restDirection.x, old.x);
            EXPECT_EQ(e->restDirection.y, old.y);
            EXPECT_EQ(e->restDirection.z, old.z);
        }
    }
    EXPECT_LT(worst, 1e-5);
}

TEST(ElementInitialise, TwoDepthOneSegmentsAndTheRootDiameter)
{
    Hierarchy h;
    h.root()->childCount = 1;
    CSegment* first = h.segment(h.root(), 1.0, 0.5, {0, 0, 1}, 1.0, 0);
    EXPECT_TRUE(near(first->thicknessRatio, std::sqrt(0.5 / 10.0)));
    EXPECT_TRUE(near(h.root()->diameter, 1.0));
    // The root has one slot; give the second its own link by hand.
    auto* second = new CSegment(nullptr);
    h.owned.emplace_back(second);
    second->length = 1.0;
    second->diameter = 0.3;
    second->modelDirection = {0, 0, 1};
    second->parent = h.root();
    second->depth = 1;
    second->initialise();
    EXPECT_TRUE(near(second->thicknessRatio, std::sqrt(0.3 / 1.0)));
    EXPECT_TRUE(near(h.root()->diameter, 0.6));
}

TEST(ElementInitialise, LeafConstantsAndParametersReadOnce)
{
    Hierarchy h;
    leafSurface = 3.0f;
    CSegment* trunk = h.segment(h.root(), 1.0, 0.1, {0, 0, 1}, 1.0, 1);
    CLeaf* leaf = h.leaf(trunk, {0, 1, 1}, 0.5);
    EXPECT_EQ(leaf->thicknessRatio, 1.0);
    EXPECT_EQ(leaf->mass, 0.1);
    EXPECT_EQ(leaf->windArea, 3.0);
    const double trunkMass = trunk->mass;
    leafSurface = 7.0f;
    density = 9.0f;
    EXPECT_EQ(leaf->windArea, 3.0);
    EXPECT_EQ(trunk->mass, trunkMass);
}

TEST(ElementInitialise, ZeroDirectionAndZeroDiameterStayFinite)
{
    Hierarchy h;
    CSegment* trunk = h.segment(h.root(), 1.0, 0.0, {0, 0, 0}, 1.0, 2);
    CSegment* child = h.segment(trunk, 1.0, 0.0, {0, 0, -1}, 0.5, 0);
    CLeaf* leaf = h.leaf(trunk, {0, 0, 0}, 1.0);
    EXPECT_EQ(trunk->modelDirection.z, 1.0f);
    EXPECT_EQ(trunk->thicknessRatio, 0.0);  // measured against the root's 10
    EXPECT_EQ(child->thicknessRatio, 0.0);  // parent diameter 0
    EXPECT_EQ(child->mass, 0.0);
    for (CTreeElement* e : {static_cast<CTreeElement*>(trunk), static_cast<CTreeElement*>(child),
                            static_cast<CTreeElement*>(leaf)}) {
        EXPECT_TRUE(finite(e->restModelTransform) && finite(e->restModelTransformInverse) &&
                    finite(e->restLocalTransform) && finite(e->restLocalRotation));
        EXPECT_TRUE(std::isfinite(e->thicknessRatio));
    }
    // Straight down from the trunk's middle.
    const Vec3 tip = transformPoint(child->restModelTransform, {0, 0, 1});
    EXPECT_TRUE(near(tip.z, -0.5, 1e-6));
}

TEST(ElementHeight, LeavesSegmentsAndRoot)
{
    Hierarchy h;
    CSegment* trunk = h.segment(h.root(), 1.0, 0.1, {0, 0, 1}, 1.0, 3);
    CSegment* bare = h.segment(trunk, 1.0, 0.1, {0, 0, 1}, 1.0, 0);
    CSegment* leafy = h.segment(trunk, 1.0, 0.1, {0, 0, 1}, 1.0, 1);
    CLeaf* leaf = h.leaf(leafy, {0, 0, 1}, 1.0);
    CSegment* branch = h.segment(trunk, 1.0, 0.1, {0, 0, 1}, 1.0, 1);
    CSegment* twig = h.segment(branch, 1.0, 0.1, {0, 0, 1}, 1.0, 0);
    EXPECT_EQ(h.root()->computeHeight(), 4u);
    EXPECT_EQ(trunk->height, 3u);
    EXPECT_EQ(bare->height, 1u);
    EXPECT_EQ(leafy->height, 1u);
    EXPECT_EQ(leaf->height, 0u);
    EXPECT_EQ(branch->height, 2u);
    EXPECT_EQ(twig->height, 1u);
}

TEST(AnimationLod, WindowsDivisorsAndAsserts)
{
    Hierarchy h;
    // A chain of four segments (depths 1..4, heights 4..1) ending in a leaf.
    CSegment* chain[4];
    CSegment* parent = h.root();
    for (int i = 0; i < 4; ++i)
        parent = chain[i] = h.segment(parent, 1.0, 0.1, {0, 0, 1}, 1.0, 1);
    CLeaf* leaf = h.leaf(parent, {0, 0, 1}, 1.0);
    h.root()->computeHeight();
    auto frozen = [&] {
        h.root()->applyAnimationLod();
        std::vector<bool> f;
        for (CSegment* s : chain)
            f.push_back(s->frozen);
        EXPECT_FALSE(leaf->frozen);
        return f;
    };
    EXPECT_EQ(frozen(), std::vector<bool>({false, false, false, false}));
    bendEveryNthForward = 2;
    EXPECT_EQ(frozen(), std::vector<bool>({true, false, true, false}));
    assertBendMinForward = 1;
    EXPECT_EQ(frozen(), std::vector<bool>({false, false, true, false}));
    resetLiveParameters();
    bendMinForward = 2;
    bendMaxForward = 3;
    EXPECT_EQ(frozen(), std::vector<bool>({true, false, false, true}));
    assertBendMinReverse = 1;  // the segment next to the tips always bends
    EXPECT_EQ(frozen(), std::vector<bool>({true, false, false, false}));
    resetLiveParameters();
    bendMaxReverse = 2;  // heights 4 and 3 (depths 1 and 2) freeze
    EXPECT_EQ(frozen(), std::vector<bool>({true, true, false, false}));
    resetLiveParameters();
    bendEveryNthReverse = 0;  // a zero divisor counts as 1
    EXPECT_EQ(frozen(), std::vector<bool>({false, false, false, false}));
}

TEST(ResetAndPropagation, ResetRestoresRestStateAndPropagationRebuildsIt)
{
    Hierarchy h;
    CSegment* trunk = h.segment(h.root(), 2.0, 0.2, {0, 0, 1}, 1.0, 2);
    CSegment* branch = h.segment(trunk, 1.0, 0.1, {1, 0, 1}, 0.5, 1);
    CLeaf* leaf = h.leaf(branch, {0, 1, 0}, 1.0);
    CSegment* straight = h.segment(trunk, 1.0, 0.1, {0, 0, 1}, 1.0, 0);
    float matrices[4][16] = {};
    trunk->modelMatrix = matrices[1];
    branch->modelMatrix = matrices[2];
    leaf->modelMatrix = matrices[3];

    // Disturb the current state, then reset from the trunk.
    branch->direction = {0, 1, 0};
    branch->velocity = {1, 2, 3};
    branch->windForce = {1, 1, 1};
    leaf->totalForce = {4, 5, 6};
    branch->localRotation = RotationZTo({0, 1, 0});
    trunk->resetToRest();
    EXPECT_EQ(branch->direction.x, branch->restDirection.x);
    EXPECT_EQ(branch->velocity.x, 0.0f);
    EXPECT_EQ(branch->windForce.y, 0.0f);
    EXPECT_EQ(leaf->totalForce.z, 0.0f);
    expectMatrixNear(branch->localRotation, branch->restLocalRotation, 0);

    // Propagating the rest rotations through the chain gives the rest model
    // transforms (a twist about an element's own axis changes nothing on it).
    trunk->propagateFrames();
    branch->propagateFrames();
    leaf->propagateFrames();
    straight->propagateFrames();
    for (CTreeElement* e : {static_cast<CTreeElement*>(trunk), static_cast<CTreeElement*>(branch),
                            static_cast<CTreeElement*>(straight)})
        expectMatrixNear(e->modelTransform, e->restModelTransform, 1e-6);
    const Vec3 a = transformPoint(leaf->modelTransform, {0, 0, 1});
    const Vec3 b = transformPoint(leaf->restModelTransform, {0, 0, 1});
    EXPECT_TRUE(near(a.x, b.x, 1e-6) && near(a.y, b.y, 1e-6) && near(a.z, b.z, 1e-6));
    // The display matrix lands in the element's slot.
    float expected[16];
    toDisplayMatrix(branch->modelTransform, expected);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(matrices[2][i], expected[i]);
}
