// dor-import-qsm: small hand-written files of both formats become the
// expected segments, attach positions and child order; each kind of bad
// input is refused with its line; no output is left behind by a failure.
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "common/near.h"
#include "tools/import_qsm/qsm_import.h"
#include "tools/tool_files.h"

namespace {

// Row 1: the trunk, 2 m up from (0, 0, 0), radius 0.2, extension row 3.
// Row 2: a side branch of row 1 starting half way up, along +x.
// Row 3: the trunk's continuation, starting slightly inside row 1's end.
// Row 4: a twig on row 3 whose start lies below row 3's base (clamped to 0).
const char* treeQsm =
    "0.2\t2\t0\t0\t0\t0\t0\t1\t0\t3\t0\t0.2\t1\t0\t1\n"
    "0.05\t1\t0\t0\t1\t1\t0\t0\t1\t0\t0\t0.05\t2\t1\t1\n"
    "0.15\t1.5\t0\t0\t1.95\t0\t0\t1\t1\t0\t0\t0.15\t1\t0\t2\n"
    "0.04\t0.5\t0\t0\t1.9\t0\t1\t0\t3\t0\t0\t0.04\t3\t1\t1\n";

// The same tree as SimpleForest exports it (columns in its order, IDs from
// 0, the extension by segment).
const char* simpleForest =
    "ID,parentID,startX,startY,startZ,endX,endY,endZ,radius,length,growthLength,averagePointDistance,"
    "segmentID,parentSegmentID,branchOrder,reverseBranchOrder,branchID\n"
    "0,-1,0,0,0,0,0,2,0.2,2,4,0.01,0,-1,0,3,0\n"
    "1,0,0,0,1,1,0,1,0.05,1,1,0.01,1,0,1,1,1\n"
    "2,0,0,0,1.95,0,0,3.45,0.15,1.5,2,0.01,0,-1,0,2,0\n"
    "3,2,0,0,1.9,0,0.5,1.9,0.04,0.5,0.5,0.01,2,0,1,1,2\n";

QsmImportOptions metres()
{
    QsmImportOptions o;
    o.height = 0.0;       // keep metres
    o.minDiameter = 0.01;
    o.leavesPerTip = 1;
    return o;
}

// The converted hand-written tree, in pre-order: trunk (1), its extension
// (3), the twig on it (4) with its leaf, then the side branch (2) with its
// leaf.
void expectHandTree(const TreFile& m)
{
    ASSERT_EQ(m.elements.size(), 6u);
    const TreElement &trunk = m.elements[0], &extension = m.elements[1], &twig = m.elements[2],
                     &twigLeaf = m.elements[3], &side = m.elements[4], &sideLeaf = m.elements[5];
    EXPECT_FALSE(trunk.leaf);
    EXPECT_EQ(trunk.childCount, 2u);
    EXPECT_EQ(trunk.attach, 1.0);
    EXPECT_TRUE(near(trunk.length, 2.0));
    EXPECT_TRUE(near(trunk.diameter, 0.4));
    EXPECT_TRUE(near(extension.length, 1.5));
    EXPECT_TRUE(near(extension.diameter, 0.3));
    EXPECT_TRUE(near(extension.attach, 0.975));  // 1.95 of 2 m
    EXPECT_EQ(extension.childCount, 1u);
    EXPECT_TRUE(near(twig.diameter, 0.08));
    EXPECT_TRUE(near(twig.direction.y, 1.0));
    EXPECT_EQ(twig.attach, 0.0);                 // starts below its parent: clamped
    EXPECT_EQ(twig.childCount, 1u);
    EXPECT_TRUE(twigLeaf.leaf);
    EXPECT_TRUE(near(side.attach, 0.5));
    EXPECT_TRUE(near(side.direction.x, 1.0));
    EXPECT_TRUE(near(side.length, 1.0));
    EXPECT_TRUE(sideLeaf.leaf);
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

TEST(ImportQsm, TreeQsmBecomesSegmentsInChildOrder)
{
    std::vector<QsmCylinder> c;
    std::string error;
    ASSERT_TRUE(parseTreeQsm(treeQsm, c, error)) << error;
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].extension, 2);
    EXPECT_EQ(c[3].parent, 2);
    EXPECT_EQ(c[3].line, 4);
    TreFile m;
    ASSERT_TRUE(convertQsm(c, metres(), m, error)) << error;
    expectHandTree(m);
}

TEST(ImportQsm, SimpleForestBecomesTheSameTree)
{
    std::vector<QsmCylinder> c;
    std::string error;
    ASSERT_TRUE(parseSimpleForest(simpleForest, c, error)) << error;
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].extension, 2);  // same segment as its parent
    EXPECT_EQ(c[1].line, 3);       // the header is line 1
    TreFile m;
    ASSERT_TRUE(convertQsm(c, metres(), m, error)) << error;
    expectHandTree(m);
}

TEST(ImportQsm, ScalesToTheTargetHeightAndThickensThinBranches)
{
    std::vector<QsmCylinder> c;
    std::string error;
    ASSERT_TRUE(parseTreeQsm(treeQsm, c, error)) << error;
    QsmImportOptions o;  // defaults: 8 units tall, diameters at least 0.12, 2 leaves per tip
    TreFile m;
    ASSERT_TRUE(convertQsm(c, o, m, error)) << error;
    std::vector<int> parents;
    ASSERT_TRUE(computeParents(m, parents, error)) << error;
    EXPECT_TRUE(near(modelTop(m, parents), 8.0, 1e-9));
    const double scale = 8.0 / 3.45;  // the extension's top is 3.45 m up
    EXPECT_TRUE(near(m.elements[0].length, 2.0 * scale, 1e-9));
    EXPECT_TRUE(near(m.elements[0].diameter, 0.4 * scale, 1e-9));
    size_t leaves = 0;
    for (const TreElement& e : m.elements) {
        leaves += e.leaf;
        if (!e.leaf) {
            EXPECT_GE(e.diameter, 0.12);
        }
    }
    EXPECT_EQ(leaves, 4u);  // two tips, two leaves each
}

// The importer's output file passes the project's loader, with and without
// a file mesh.
TEST(ImportQsm, OutputPassesTheLoader)
{
    ScratchDir dir;
    writeText(dir.file("tree.txt"), treeQsm);
    writeText(dir.file("tree.csv"), simpleForest);
    for (bool mesh : {false, true}) {
        QsmImportOptions o;
        o.mesh = mesh;
        std::string error;
        ASSERT_TRUE(importQsmFile(dir.file("tree.txt"), "", o, dir.file("a.tre"), error)) << error;
        ASSERT_TRUE(importQsmFile(dir.file("tree.csv"), "", o, dir.file("b.tre"), error)) << error;
        // The two formats give the same model.
        EXPECT_EQ(readText(dir.file("a.tre")), readText(dir.file("b.tre")));
        LoadedTree loaded(dir.file("a.tre"));
        ASSERT_EQ(loaded.status, 0);
        EXPECT_EQ(loaded.tree->elementCount, 8u);
        EXPECT_EQ(loaded.tree->leafCount, 4u);
        EXPECT_EQ(loaded.tree->useFileMesh, mesh);
    }
}

// One case per kind of bad input; each message names its line.
TEST(ImportQsm, RefusesBadTreeQsmInput)
{
    const std::string good = "0.2\t2\t0\t0\t0\t0\t0\t1\t0\t0\t0\t0.2\t1\t0\t1\n";
    auto row = [](const std::string& parent, const std::string& extension) {
        return "0.1\t1\t0\t0\t1\t0\t0\t1\t" + parent + "\t" + extension + "\t0\t0.1\t1\t0\t1\n";
    };
    struct Case {
        std::string text, expected;
    };
    const Case cases[] = {
        {good + "0.1\t1\t0\t0\t1\t0\t0\t1\t1\t0\t0\t0.1\t1\t0\n", "line 2: 14 columns, 15 expected"},
        {good + "0.1\t1\tzero\t0\t1\t0\t0\t1\t1\t0\t0\t0.1\t1\t0\t1\n", "line 2: column 3 (startX) is not a number: 'zero'"},
        {good + row("1.5", "0"), "line 2: column 9 (parent_ID)"},
        {good + row("3", "0") + row("1", "0"), "line 2: the parent (line 3) comes after its child"},
        {good + row("3", "0") + row("2", "0"), "the parents form a cycle"},
        {good + row("2", "0"), "line 2: the parents form a cycle"},
        {good + row("0", "0"), "line 2: several roots"},
        {good + row("7", "0"), "line 2: parent or extension row beyond the 2 cylinders"},
        {good + "-0.1\t1\t0\t0\t1\t0\t0\t1\t1\t0\t0\t0.1\t1\t0\t1\n", "line 2: radius and length must be positive"},
        {good + "0.1\t1\t0\t0\t1\t0\t0\t0\t1\t0\t0\t0.1\t1\t0\t1\n", "line 2: the axis has no direction"},
        {"0.2\t2\t0\t0\t0\t0\t0\t1\t0\t3\t0\t0.2\t1\t0\t1\n" + row("1", "0") + row("2", "0"),
         "line 1: the extension (line 3) does not name"},
        {"\n\n", "no cylinders"},
    };
    for (const Case& c : cases) {
        std::vector<QsmCylinder> cylinders;
        std::string error;
        EXPECT_FALSE(parseTreeQsm(c.text, cylinders, error)) << c.expected;
        EXPECT_NE(error.find(c.expected), std::string::npos) << "got: " << error;
    }
}

TEST(ImportQsm, RefusesBadSimpleForestInput)
{
    const std::string header = "ID,parentID,startX,startY,startZ,endX,endY,endZ,radius,length\n";
    const std::string root = "0,-1,0,0,0,0,0,2,0.2,2\n";
    struct Case {
        std::string text, expected;
    };
    const Case cases[] = {
        {"ID,parentID,startX,startY,startZ,endX,endY,radius,length\n" + root, "line 1: the header has no column 'endZ'"},
        {header + root + "1,0,0,0,1,1,0,1,0.05\n", "line 3: 9 columns, 10 expected"},
        {header + root + "1,0,0,0,1,1,0,x1,0.05,1\n", "line 3: column endZ is not a number: 'x1'"},
        {header + root + "1,5,0,0,1,1,0,1,0.05,1\n", "line 3: parentID 5 names no cylinder"},
        {header + root + "0,0,0,0,1,1,0,1,0.05,1\n", "line 3: ID 0 already used on line 2"},
        {header + root + "1,-1,0,0,1,1,0,1,0.05,1\n", "line 3: several roots"},
        {header + "1,0,0,0,1,1,0,1,0.05,1\n" + root, "line 2: the parent (line 3) comes after its child"},
        {header + root + "1,2,0,0,1,1,0,1,0.05,1\n2,1,0,0,1,1,0,1,0.05,1\n", "the parents form a cycle"},
        {"", "no header row"},
    };
    for (const Case& c : cases) {
        std::vector<QsmCylinder> cylinders;
        std::string error;
        EXPECT_FALSE(parseSimpleForest(c.text, cylinders, error)) << c.expected;
        EXPECT_NE(error.find(c.expected), std::string::npos) << "got: " << error;
    }
}

// A failed import leaves an existing output untouched and no temporary file.
TEST(ImportQsm, FailureLeavesNoOutput)
{
    ScratchDir dir;
    writeText(dir.file("bad.txt"), std::string(treeQsm) + "0.1\t1\t0\n");
    writeText(dir.file("old.tre"), "# an older model\n");
    std::string error;
    EXPECT_FALSE(importQsmFile(dir.file("bad.txt"), "", QsmImportOptions{}, dir.file("new.tre"), error));
    EXPECT_NE(error.find("line 5"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.tre")));
    EXPECT_FALSE(importQsmFile(dir.file("bad.txt"), "", QsmImportOptions{}, dir.file("old.tre"), error));
    EXPECT_EQ(readText(dir.file("old.tre")), "# an older model\n");
    EXPECT_FALSE(importQsmFile(dir.file("missing.txt"), "", QsmImportOptions{}, dir.file("new.tre"), error));
    EXPECT_FALSE(importQsmFile(dir.file("bad.txt"), "lidar", QsmImportOptions{}, dir.file("new.tre"), error));
    // An output that cannot be created fails without a stray temporary.
    EXPECT_FALSE(importQsmFile(dir.file("../no-such-dir-dor/x.txt"), "", QsmImportOptions{},
                               dir.file("no-such-dir/new.tre"), error));
    writeText(dir.file("good.txt"), treeQsm);
    EXPECT_FALSE(importQsmFile(dir.file("good.txt"), "", QsmImportOptions{}, dir.file("no-such-dir/new.tre"), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 3u);  // bad.txt, old.tre, good.txt
}

namespace {

struct ToolRun {
    int status = -1;
    std::string output;
};

// dor-import-qsm with `arguments`, its standard output and exit status.
ToolRun importTool(const std::string& arguments)
{
    ToolRun run;
    std::FILE* pipe = popen((std::string("'") + DOR_IMPORT_QSM + "' " + arguments + " 2>&1").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.output += buffer;
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A TreeQSM row: radius, length, start, axis, parent row (1-based, 0 none).
std::string qsmRow(const std::string& radius, const std::string& length, const std::string& start,
                   const std::string& axis, int parent)
{
    auto tabs = [](std::string s) {
        for (char& c : s)
            if (c == ' ')
                c = '\t';
        return s;
    };
    return radius + "\t" + length + "\t" + tabs(start) + "\t" + tabs(axis) + "\t" + std::to_string(parent) +
           "\t0\t0\t" + radius + "\t1\t0\t1\n";
}

}  // namespace

// Values that overflow, or that would make the written model overflow, are
// refused with the row's line; nothing is written.
TEST(ImportQsm, RefusesValuesBeyondTheLimits)
{
    ScratchDir dir;
    const std::string trunk = qsmRow("0.2", "2", "0 0 0", "0 0 1", 0);
    const std::string sfHeader = "ID,parentID,startX,startY,startZ,endX,endY,endZ,radius,length\n";
    const std::string sfRoot = "0,-1,0,0,0,0,0,2,0.2,2\n";
    struct Case {
        const char* name;
        std::string text, expected;
    };
    const Case cases[] = {
        {"radius.txt", trunk + qsmRow("1e15", "1", "0 0 1", "1 0 0", 1), "line 2: radius and length must lie within"},
        {"length.txt", trunk + qsmRow("0.1", "1e300", "0 0 1", "1 0 0", 1), "line 2: radius and length must lie"},
        {"twig.txt", trunk + qsmRow("1e-9", "1", "0 0 1", "1 0 0", 1), "line 2: radius and length must lie"},
        {"start.txt", trunk + qsmRow("0.1", "1", "1e308 -1e308 1", "1 0 0", 1), "line 2: coordinate 1e+308"},
        {"axis.txt", trunk + qsmRow("0.1", "1", "0 0 1", "1e308 1e308 0", 1), "line 2: coordinate 1e+308"},
        {"flat.txt", qsmRow("0.2", "2", "0 0 0", "1 0 1e-12", 0), "line 1: at 4e+12 model units per metre"},
        {"end.csv", sfHeader + sfRoot + "1,0,0,0,1,1e308,0,1,0.05,1\n", "line 3: coordinate 1e+308"},
        {"huge.csv", sfHeader + sfRoot + "1,0,0,0,1,1,0,1,1e200,1\n", "line 3: radius and length must lie"},
    };
    for (const Case& c : cases) {
        writeText(dir.file(c.name), c.text);
        const ToolRun run = importTool("'" + dir.file(c.name) + "' -o '" + dir.file("out.tre") + "'");
        EXPECT_EQ(run.status, 1) << c.name << ": " << run.output;
        EXPECT_EQ(run.output.rfind("ERROR: " + dir.file(c.name) + ": " + c.expected, 0), 0u)
            << c.name << ": " << run.output;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.tre"))) << c.name;
    }
}

// Inputs at the limits give files that load and animate with finite frames:
// a trunk of the largest size far out in a projected frame, a twig of the
// smallest size, an axis of tiny or large components.
TEST(ImportQsm, InputsAtTheLimitsLoad)
{
    ScratchDir dir;
    const std::string far = "99999990 -99999990 1000";  // start of the trunk, metres
    const std::string trunk = qsmRow("0.5", "10000", far, "0 0 1", 0);
    const std::string text = trunk + qsmRow("1e-06", "1e-06", "99999990 -99999990 6000", "1e-11 0 1e-11", 1) +
                             qsmRow("100", "10000", "99999990 -99999990 10999", "1e8 -1e8 1e8", 1) +
                             qsmRow("0.01", "1", "1e8 -1e8 1e8", "0 1 0", 1);
    writeText(dir.file("limits.txt"), text);
    const std::string sf = "ID,parentID,startX,startY,startZ,endX,endY,endZ,radius,length\n"
                           "0,-1,-1e8,1e8,0,-1e8,1e8,10000,10000,10000\n"
                           "1,0,-1e8,1e8,5000,-99999999.999999,1e8,5000,1e-6,1e-6\n";
    writeText(dir.file("limits.csv"), sf);
    for (const char* input : {"limits.txt", "limits.csv"})
        for (const char* height : {"0", "8", "10000"}) {
            const std::string what = std::string(input) + " --height " + height;
            const ToolRun run = importTool("--mesh --height " + std::string(height) + " '" + dir.file(input) +
                                       "' -o '" + dir.file("out.tre") + "'");
            ASSERT_EQ(run.status, 0) << what << ": " << run.output;
            LoadedTree loaded(dir.file("out.tre"));
            ASSERT_EQ(loaded.status, 0) << what;
            EXPECT_TRUE(measureSway(*loaded.tree, 5).finite) << what;
        }
}
