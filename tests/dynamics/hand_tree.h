// A small tree built element by element, without a file: a root set up as the
// tree container sets it up, segments and leaves attached and initialised in
// pre-order, and the matrix slots and shiver table they point into.
#pragma once

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "elements/leaf.h"
#include "elements/segment.h"
#include "parameters/parameters.h"
#include "wind/wind.h"

// The step of the tests: the frame timer's first frame time, seconds.
inline constexpr float kFrameTime = 0.04f;
// A tree standing at the model origin (no 'P' offset).
inline constexpr float kAtOrigin[3] = {0.0f, 0.0f, 0.0f};

struct HandTree {
    CWind wind;
    CSegment root;
    std::vector<std::unique_ptr<CTreeElement>> elements;
    std::vector<std::unique_ptr<CTreeElement*[]>> childArrays;
    std::vector<float> matrices;
    Matrix4 shiverMatrices[16];

    explicit HandTree(int slots) : matrices(16 * (slots + 1), 0.0f)
    {
        childArrays.emplace_back(new CTreeElement*[1]{nullptr});
        root.setUpAsRoot(childArrays.back().get());
        for (Matrix4& m : shiverMatrices)
            m = identityMatrix();
    }

    CSegment* segment(CSegment* parent, double length, double diameter, Vec3 direction, double attach,
                      uint32_t childCount, int index)
    {
        auto* s = new CSegment(&wind);
        s->length = length;
        s->diameter = diameter;
        s->childCount = childCount;
        if (childCount > 0) {
            childArrays.emplace_back(new CTreeElement*[childCount]());
            s->children = childArrays.back().get();
        }
        attach_(parent, s, direction, attach, index);
        return s;
    }

    CLeaf* leaf(CSegment* parent, Vec3 direction, double attach, int index)
    {
        auto* l = new CLeaf(&wind);
        l->length = 1.0;
        attach_(parent, l, direction, attach, index);
        l->shiverMatrix = &shiverMatrices[index & 15];
        return l;
    }

    CTreeElement* trunk() { return root.children[0]; }

    // After the last element: heights and the animation level of detail.
    void finish()
    {
        root.computeHeight();
        root.applyAnimationLod();
    }

    // One animation step of dt seconds without shiver refresh, as the tree
    // runs it.
    void animate(float dt = kFrameTime)
    {
        trunk()->computeForces(kAtOrigin);
        trunk()->step(dt);
    }

private:
    void attach_(CSegment* parent, CTreeElement* e, Vec3 direction, double attach, int index)
    {
        elements.emplace_back(e);
        parent->children[parent->attachedCount++] = e;
        e->parent = parent;
        e->depth = parent->depth + 1;
        e->matrixIndex = index;
        e->modelDirection = direction;
        e->attachPosition = attach;
        e->modelMatrix = &matrices[16 * index];
        e->initialise();
    }
};

// Tests of the dynamics start and end with the default live parameters.
class DynamicsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetLiveParameters();
    }
    void TearDown() override { resetLiveParameters(); }
};
