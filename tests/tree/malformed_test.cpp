// Files that break the format's structure are refused as a whole: one ERROR
// line with the file and line, load returns 1, the tree is left empty.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
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

// A field of /proc/self/status in KiB ("VmHWM:", "VmRSS:"), -1 if absent.
long statusKiB(const char* name)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(name, 0) == 0)
            return std::stol(line.substr(std::strlen(name)));
    return -1;
}

// The growth of the resident set's peak, in bytes, while a fresh tree loads
// path, measured in a child process (so that a load that claims gigabytes
// cannot take the test runner with it); -1 when it cannot be measured.
long peakGrowthOfLoad(const std::string& path)
{
    int result[2];
    if (pipe(result) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        long growth = -1;
        // Writing 5 to clear_refs resets the peak to the current size.
        if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
            const bool reset = std::fputs("5", clear) >= 0 && std::fclose(clear) == 0;
            const long before = statusKiB("VmHWM:");
            std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
            CTree tree(nullptr);
            tree.load(path.c_str());
            if (reset && quiet && before >= 0)
                growth = (statusKiB("VmHWM:") - before) * 1024;
        }
        const bool written = write(result[1], &growth, sizeof growth) == sizeof growth;
        _exit(written ? 0 : 1);
    }
    close(result[1]);
    long growth = -1;
    if (child < 0 || read(result[0], &growth, sizeof growth) != sizeof growth)
        growth = -1;
    close(result[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return growth;
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

// A file refused for its structure is refused before the arrays its record
// counts would size are allocated (before, 2 MB of bare 'S' lines reached
// 1.8 GB): the peak grows by no more than a small multiple of the file,
// whether the fault is on the first line or the last.
TEST(Malformed, RefusedBeforeTheArraysAreAllocated)
{
    const int n = 150000;
    std::string bare, unfinished = "P 0 0 0\n", badIndex = "P 0 0 0\nS 1 1 0 0 1 1 " +
                                                         std::to_string(n) + " 1\n";
    for (int i = 0; i < n; ++i) {
        bare += "S\nS\nS\nS\nS\nS\nS\n";
        // The first segment waits for a second child that never comes.
        const int children = i == 0 ? 2 : i == n - 1 ? 0 : 1;
        unfinished += "S 1 1 0 0 1 1 " + std::to_string(children) + " " + std::to_string(i + 1) + "\n";
        badIndex += "L 0 0 1 1 " + std::to_string(i == n - 1 ? n + 7 : i + 2) + "\n";
    }
    struct Case {
        std::string text;
        int line;
        std::string what;
    };
    const Case cases[] = {
        {bare, 1, "no 'P' record before the first element"},
        {unfinished, n + 1, "segment 1 announces 2 children, only 1 follow"},
        {badIndex, n + 2, "element index " + std::to_string(n + 7) + " outside 1.." + std::to_string(n + 1)},
    };
    for (const Case& c : cases) {
        ASSERT_GT(c.text.size(), size_t(1) << 20);
        expectRefused(c.text, c.line, c.what);
        const long growth = peakGrowthOfLoad(writeTreeFile(c.text));
        ASSERT_GE(growth, 0) << "the peak resident size cannot be measured here";
        EXPECT_LE(size_t(growth), 4 * c.text.size() + (size_t(8) << 20)) << c.what;
    }
}
