// Files that break the format's structure are refused as a whole: one ERROR
// line with the file and line, load returns 1, the tree is left empty.
#include <string>

#include <gtest/gtest.h>

#include "elements/segment.h"
#include "tree/tree.h"
#include "tree_files.h"

namespace {

void expectRefused(const std::string& text, int line, const std::string& what)
{
    CTree tree(nullptr);
    // A good model first: the refused file must leave nothing of either behind.
    ASSERT_EQ(loadCaptured(tree, twigPath()).status, 0);
    const long segments = CSegment::liveCount;
    const std::string path = writeTreeFile(text);
    const LoadResult r = loadCaptured(tree, path);
    EXPECT_EQ(r.status, 1);
    const std::string expected = "ERROR: " + path + ":" + std::to_string(line) + ": " + what + "\n";
    EXPECT_EQ(r.output, "loadDataTre() .. \nCTree::cleanup() .. \n" + expected);
    EXPECT_TRUE(tree.noModel);
    EXPECT_EQ(tree.root, nullptr);
    EXPECT_EQ(tree.trunk(), nullptr);
    EXPECT_EQ(tree.elementCount + tree.vertexCount + tree.triangleCount + tree.materialCount, 0u);
    EXPECT_TRUE(tree.vertices.empty() && tree.matrices.empty() && tree.indices.empty() &&
                tree.materials.empty() && tree.childSlots.empty());
    EXPECT_EQ(tree.elementArena, nullptr);
    EXPECT_EQ(CSegment::liveCount, segments - 3);  // the twig's root and two segments
    tree.reset();
    tree.applyAnimationLod();
}

} // namespace

TEST(Malformed, NoPositionBeforeTheFirstElement)
{
    expectRefused("# no P\nS 1 1 0 0 1 1 0 1\nP 0 0 0\n", 2, "no 'P' record before the first element");
}

TEST(Malformed, MoreThanOneTopLevelElement)
{
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 0 1\nL 0 0 1 1 2\n", 3, "more than one top-level element");
}

TEST(Malformed, NoElementAtAll)
{
    expectRefused("P 0 0 0\n# nothing\n", 2, "no tree element in the file");
}

TEST(Malformed, SegmentAnnouncesMoreChildrenThanFollow)
{
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 3 1\nL 0 0 1 1 2\nL 0 0 1 1 3\n", 2,
                  "segment announces 3 children, only 2 elements follow");
    // Enough elements in the file, but the hierarchy ends first.
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 2 1\nS 1 1 0 0 1 1 1 2\nL 0 0 1 1 3\n# end\n", 5,
                  "segment 1 announces 2 children, only 1 follow");
    // A negative count is a huge unsigned one.
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 -1 1\n", 2,
                  "segment announces 4294967295 children, only 0 elements follow");
    // A new 'P' while a segment still waits for children.
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 1 1\nP 0 0 0\nS 1 1 0 0 1 1 0 2\n", 3,
                  "segment 1 announces 1 children, only 0 follow");
}

TEST(Malformed, ElementIndexOutsideOrTwice)
{
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 1 1\nL 0 0 1 1 3\n", 3, "element index 3 outside 1..2");
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 1 0\nL 0 0 1 1 2\n", 2, "element index 0 outside 1..2");
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 1 1\nL 0 0 1 1\n", 3, "element index 0 outside 1..2");
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 2 1\nL 0 0 1 1 2\nL 0 0 1 1 2\n", 4,
                  "element index 2 used twice");
}

TEST(Malformed, VertexElementOutside)
{
    const std::string head = "P 0 0 0\nS 1 1 0 0 1 1 0 1\n";
    const std::string rest = "N 0 0 1\nT 0 0\nF 0 0 0 0\n";
    expectRefused(head + "V 0 0 0 2\n" + rest, 3, "vertex bound to element 2 outside 0..1");
    expectRefused(head + "V 0 0 0 -1\n" + rest, 3, "vertex bound to element -1 outside 0..1");
    expectRefused(head + "V 0 0 0 1e300\n" + rest, 3, "vertex bound to element 1e+300 outside 0..1");
    expectRefused(head + "V 0 0 0 nan\n" + rest, 3, "vertex bound to element nan outside 0..1");
}

TEST(Malformed, TriangleVertexNotBelowTheCount)
{
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 0 1\nV 0 0 0 1\nN 0 0 1\nT 0 0\nF 0 1 0 0\n", 6,
                  "triangle vertex 1 not below the vertex count 1");
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 0 1\nV 0 0 0 1\nN 0 0 1\nT 0 0\nF 0 0 -1 0\n", 6,
                  "triangle vertex -1 not below the vertex count 1");
}

TEST(Malformed, MaterialBlockCutShort)
{
    expectRefused("P 0 0 0\nS 1 1 0 0 1 1 0 1\nM m\ntex a.png\na 1 1 1\nb\n", 3,
                  "material block cut short by the end of the file");
}

TEST(Malformed, ElementValueOutOfRange)
{
    expectRefused("P 0 0 0\nS 1e300 1 0 0 1 1 0 1\n", 2, "element value out of range");
    expectRefused("P 0 0 0\nS 1 1 0 0 inf 1 0 1\n", 2, "element value out of range");
    expectRefused("P 0 0 0\nS 1 1 0 0 1 nan 0 1\n", 2, "element value out of range");
}
