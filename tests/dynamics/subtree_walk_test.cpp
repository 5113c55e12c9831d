// The order of the walks over a subtree: parents before or after their
// children, children in array order, empty slots skipped.
#include <vector>

#include <gtest/gtest.h>

#include "dynamics/hand_tree.h"
#include "elements/subtree_walk.h"

namespace {

// trunk 1 with children: segment 2 (leaves 3, 4), an empty slot, segment 5
// (no children), leaf 6.
struct Bush : HandTree {
    Bush() : HandTree(6)
    {
        CSegment* trunk = segment(&root, 1.0, 0.2, {0, 0, 1}, 1.0, 4, 1);
        CSegment* branch = segment(trunk, 1.0, 0.1, {1, 0, 1}, 1.0, 2, 2);
        leaf(branch, {1, 0, 0}, 1.0, 3);
        leaf(branch, {0, 1, 0}, 1.0, 4);
        ++trunk->attachedCount;  // slot 1 stays empty
        segment(trunk, 1.0, 0.1, {0, 1, 1}, 0.5, 0, 5);
        leaf(trunk, {0, 0, 1}, 0.5, 6);
    }
};

std::vector<int> order(CTreeElement* top, bool pre)
{
    std::vector<int> visited;
    auto visit = [&](CTreeElement* e, CSegment* s) {
        EXPECT_EQ(s, dynamic_cast<CSegment*>(e));
        visited.push_back(e->matrixIndex);
    };
    if (pre)
        forEachPreOrder(top, visit);
    else
        forEachPostOrder(top, visit);
    return visited;
}

}  // namespace

TEST(SubtreeWalk, PreAndPostOrderInChildOrder)
{
    Bush t;
    EXPECT_EQ(order(&t.root, true), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(order(&t.root, false), (std::vector<int>{3, 4, 2, 5, 6, 1, 0}));
    EXPECT_EQ(order(t.elements[1].get(), false), (std::vector<int>{3, 4, 2}));
    EXPECT_EQ(order(t.elements[2].get(), true), (std::vector<int>{3}));
    EXPECT_TRUE(order(nullptr, true).empty());
    // The heights the post-order walk computes: leaves 0, a childless
    // segment 1, each segment one more than its highest child.
    EXPECT_EQ(t.root.computeHeight(), 3u);
    EXPECT_EQ(t.elements[0]->height, 2u);
    EXPECT_EQ(t.elements[1]->height, 1u);
    EXPECT_EQ(t.elements[4]->height, 1u);
}
