// A hierarchy as deep as a laser-scanned stem: a chain of 200 000 levels
// loads, animates, resets, takes a new level of detail, reloads and is
// released on a thread with the default 8 MiB stack, which a walk recursing
// once per level would overflow.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/run_with_stack.h"
#include "elements/leaf.h"
#include "elements/segment.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "tree_files.h"
#include "wind/wind.h"

namespace {

// depth - 1 segments, each the only child of the one before, and a leaf at
// the end; a one-triangle file mesh keeps the mesh small.
std::string chainFile(int depth)
{
    std::string text = "P 0 0 0\n";
    text.reserve(size_t(depth) * 30);
    for (int i = 1; i < depth; ++i)
        text += "S 0.01 0.01 0 0.1 1 1 1 " + std::to_string(i) + "\n";
    text += "L 0 0 1 1 " + std::to_string(depth) + "\n";
    return text + "V 0 0 0 1\nN 0 0 1\nT 0 0\nF 0 0 0 0\n";
}

const float* slot(const CTree& tree, int index) { return tree.matrices.data() + 16 * size_t(index); }

}  // namespace

TEST(DeepChain, TwoHundredThousandLevels)
{
    const int depth = 200000;
    const std::string path = writeTreeFile(chainFile(depth));
    const long segmentsBefore = CSegment::liveCount;
    const int savedMaxForward = bendMaxForward, savedMaxReverse = bendMaxReverse;
    runWithStack(size_t(8) << 20, [&] {
        CWind wind;
        CTree tree(&wind);
        ASSERT_EQ(loadCaptured(tree, path).status, 0);
        EXPECT_EQ(tree.maxDepth, uint32_t(depth));
        EXPECT_EQ(tree.root->height, uint32_t(depth));
        EXPECT_EQ(tree.trunk()->height, uint32_t(depth - 1));
        const CTreeElement* last = tree.elementOrder.back();
        ASSERT_EQ(last->matrixIndex, depth);
        // Past 200 levels from the root and the tips the default level of
        // detail freezes the chain.
        const CTreeElement* middle = tree.elementOrder[depth / 2];
        EXPECT_TRUE(middle->frozen);

        // Every level bends once the windows take the whole chain.
        bendMaxForward = bendMaxReverse = depth;
        tree.applyAnimationLod();
        EXPECT_FALSE(middle->frozen);
        const std::vector<float> loaded = tree.matrices;
        for (int i = 0; i < 2; ++i)
            tree.animate(0.04f);
        // The tree's virtual walks reach the tip as the loops do.
        tree.trunk()->computeForces(tree.position);
        tree.trunk()->step(0.04f);
        EXPECT_NE(slot(tree, depth)[4], loaded[16 * size_t(depth) + 4]);
        for (int k = 0; k < 16; ++k)
            EXPECT_TRUE(std::isfinite(slot(tree, depth)[k])) << k;
        EXPECT_NE(middle->direction.x, middle->restDirection.x);

        tree.reset();
        EXPECT_EQ(middle->direction.x, middle->restDirection.x);
        EXPECT_EQ(static_cast<const CSegment*>(middle)->velocity.x, 0.0f);
        EXPECT_EQ(last->direction.x, last->restDirection.x);

        bendMaxForward = savedMaxForward;
        bendMaxReverse = savedMaxReverse;
        tree.applyAnimationLod();
        EXPECT_TRUE(middle->frozen);

        const LoadResult again = loadCaptured(tree, path);
        ASSERT_EQ(again.status, 0);
        EXPECT_EQ(tree.elementCount, uint32_t(depth));
        EXPECT_EQ(tree.root->height, uint32_t(depth));
        EXPECT_EQ(CSegment::liveCount, segmentsBefore + depth);  // root and depth - 1 segments
        tree.animate(0.04f);
    });
    bendMaxForward = savedMaxForward;
    bendMaxReverse = savedMaxReverse;
    EXPECT_EQ(CSegment::liveCount, segmentsBefore);
}
