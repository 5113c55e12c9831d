// The tree file format: the worked example, the extension check, records,
// fields, comments, material blocks, the mesh decision, grouping by material
// and the file mesh in element space.
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/near.h"
#include "elements/leaf.h"
#include "elements/segment.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"
#include "tree_files.h"
#include "wind/wind.h"


TEST(Loader, WorkedExampleStatistics)
{
    std::filesystem::current_path(std::string(DOR_SOURCE_DIR) + "/tests/tree/data");
    CTree tree(nullptr);
    const LoadResult r = loadCaptured(tree, "twig.tre");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, std::string("loadDataTre() .. \n") + twigStatistics);
    EXPECT_FALSE(tree.noModel);
    EXPECT_TRUE(tree.useFileMesh);
    EXPECT_EQ(tree.materials[0].textureFile, "bark.png");
    EXPECT_EQ(tree.materials[0].scalar, 10.0f);
    EXPECT_EQ(tree.materials[0].triples[1][2], 0.8f);
    EXPECT_EQ(tree.indexCount, 3u);
    EXPECT_EQ(tree.segmentCount + tree.leafCount, tree.elementCount);

    // Reloading the same file gives the same statistics after a clean-up.
    const LoadResult again = loadCaptured(tree, "twig.tre");
    EXPECT_EQ(again.output, std::string("loadDataTre() .. \nCTree::cleanup() .. \n") + twigStatistics);
}

TEST(Loader, WorkedExampleWithoutItsMeshIsGenerated)
{
    std::string text = readText(twigPath());
    // Drop the last ten lines (the mesh records).
    for (int i = 0; i < 10; ++i)
        text.erase(text.rfind('\n', text.size() - 2) + 1);
    CTree tree(nullptr);
    const LoadResult r = loadCaptured(tree, writeTreeFile(text));
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(tree.useFileMesh);
    EXPECT_EQ(tree.vertexCount, 36u);
    EXPECT_EQ(tree.normalCount, 36u);
    EXPECT_EQ(tree.texCoordCount, 36u);
    EXPECT_EQ(tree.triangleCount, 34u);
    EXPECT_EQ(tree.indexCount, 102u);
    EXPECT_NE(r.output.find("             36 vertices\n             36 texture coordinates\n"
                            "             36 normals\n             34 triangles\n"),
              std::string::npos);
    EXPECT_EQ(tree.matrixCount, 4u);
    EXPECT_EQ(tree.restInverseMatrices.size(), 0u);  // load-time only
}

TEST(Loader, ExtensionCheck)
{
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, twigPath()).status, 0);
    for (const char* name : {"tree.TRE", "a.tre.txt", "tr", "x.tree", "tre.", "notre"}) {
        const LoadResult r = loadCaptured(tree, name);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.output, "ERROR: input file must be of type 'tre' !\n") << name;
        EXPECT_FALSE(tree.noModel) << "a rejected name keeps the model: " << name;
    }
    // These pass the check and fail only to open.
    for (const char* name : {"my.model.tre", ".tre", "tre", "x.tre"}) {
        const LoadResult r = loadCaptured(tree, name);
        EXPECT_EQ(r.status, 1);
        const std::string message = "Invalid filename: " + std::string(name) + "\n";
        ASSERT_GE(r.output.size(), message.size());
        EXPECT_EQ(r.output.substr(r.output.size() - message.size()), message);
        EXPECT_TRUE(tree.noModel);
        EXPECT_EQ(tree.root, nullptr);
        EXPECT_TRUE(tree.vertices.empty() && tree.matrices.empty());
    }
}

// A directory or a pipe named like a tree file cannot be opened as one: the
// message of a missing file, the model gone, and no wait for a pipe's writer.
TEST(Loader, OnlyRegularFilesAreTreeFiles)
{
    const std::string dir = scratchPath(".dir.tre"), pipe = scratchPath(".pipe.tre");
    std::filesystem::remove(dir);
    std::filesystem::create_directory(dir);
    std::filesystem::remove(pipe);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& name : {dir, pipe}) {
        CTree tree(nullptr);
        ASSERT_EQ(loadCaptured(tree, twigPath()).status, 0);
        const LoadResult r = loadCaptured(tree, name);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.output, "loadDataTre() .. \nCTree::cleanup() .. \nInvalid filename: " + name + "\n");
        EXPECT_TRUE(tree.noModel);
        EXPECT_EQ(tree.root, nullptr);
    }
    std::filesystem::remove(dir);
    std::filesystem::remove(pipe);
}

TEST(Loader, CommentsBlankLinesAndEndOfData)
{
    const std::string body =
        "P 1 2 3\n"
        "# comment S 1 1 0 0 1 1 0 9\n"
        "\n"
        " S 1 1 0 0 1 1 0 9\n"
        "\tL 0 0 1 1 9\n"
        "s 1 1 0 0 1 1 0 9\n"
        "x whatever\r\n"
        "\r\n"
        "S 1 0.1 0 0 1 1 0 1\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(body + "\xff tail\nS 1 1 0 0 1 1 0 2\nL 0 0 1 1 3\n"))
                  .status,
              0);
    EXPECT_EQ(tree.elementCount, 1u);
    EXPECT_EQ(tree.segmentCount, 1u);
    EXPECT_EQ(tree.maxDepth, 1u);
    EXPECT_EQ(tree.position[2], 3.0f);
    EXPECT_EQ(tree.vertexCount, 16u);
}

TEST(Loader, FieldSplittingAndConversion)
{
    // Vertices bound to the root (element 0) keep their display position.
    const std::string text =
        "P 0 0 0\n"
        "S 1 0.1 0 0 1 1 1 1\nS 1 0.1 0 0 1 1 1 2\nS 1 0.1 0 0 1 1 1 3\nS 1 0.1 0 0 1 1 1 4\n"
        "S 1 0.1 0 0 1 1 0 5\n"
        "V 1 2 3 0\n"      // (1, 3, -2)
        "V 1 2  3 0.7\n"   // two blanks: z = 3, element read from " 3 0.7" -> 3
        "V 1 2 3 4.9\n"    // element 4
        "V 1.5e1 -2x 0.5\n"// partial numbers, missing element -> 0
        "V\n"              // all fields missing
        "N 0 0 5\nN 3 0 4\nN 0 0 0\nN 1 0 0\nN 0 1 0\n"
        "T 0.25 0.75\nT 1\nT\nT 0 0\nT 0 0\n"
        "F 0 1 2 0\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(text)).status, 0);
    ASSERT_TRUE(tree.useFileMesh);
    const Vertex* v = tree.vertices.data();
    EXPECT_EQ(v[0].position[0], 1.0f);
    EXPECT_EQ(v[0].position[1], 3.0f);
    EXPECT_EQ(v[0].position[2], -2.0f);
    EXPECT_EQ(v[1].matrixIndex, 3);
    EXPECT_EQ(v[2].matrixIndex, 4);
    EXPECT_EQ(v[3].matrixIndex, 0);
    EXPECT_EQ(v[3].position[0], 15.0f);
    EXPECT_EQ(v[3].position[1], 0.5f);
    EXPECT_EQ(v[3].position[2], 2.0f);
    EXPECT_EQ(v[4].position[0], 0.0f);
    // 'N 0 0 5' -> (0, 1, 0); 'N 3 0 4' -> (0.6, 0.8, 0); a zero normal stays zero.
    EXPECT_EQ(v[0].normal[1], 1.0f);
    EXPECT_TRUE(near(v[1].normal[0], 0.6, 1e-6) && near(v[1].normal[1], 0.8, 1e-6));
    EXPECT_EQ(v[2].normal[0], 0.0f);
    EXPECT_EQ(v[2].normal[1], 0.0f);
    EXPECT_EQ(v[3].normal[0], 1.0f);  // vertex 3 is bound to the root: unchanged
    EXPECT_EQ(v[0].texCoord[0], 0.25f);
    EXPECT_EQ(v[0].texCoord[1], 0.75f);
    EXPECT_EQ(v[1].texCoord[0], 1.0f);
    EXPECT_EQ(v[1].texCoord[1], 0.0f);
    // Parallel arrays hold the same values.
    EXPECT_EQ(tree.restPositions[3 * 3], v[3].position[0]);
    EXPECT_EQ(tree.normals[3 * 1], v[1].normal[0]);
    EXPECT_EQ(tree.texCoords[0], 0.25f);
    // Matrix texture coordinate: 6 matrices -> 4 x 8 texels, one per row.
    EXPECT_EQ(tree.matrixTexWidth, 4);
    EXPECT_EQ(tree.matrixTexHeight, 8);
    EXPECT_EQ(v[2].matrixTexCoord[0], 0.5f / 4);
    EXPECT_EQ(v[2].matrixTexCoord[1], 4.5f / 8);
}

TEST(Loader, NormalsAndTexCoordsBeforeTheirVertexAreKept)
{
    const std::string text = "P 0 0 0\nS 1 0.1 0 0 1 1 0 1\nN 1 0 0\nT 0.5 0.5\nV 1 2 3 0\nF 0 0 0 0\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(text)).status, 0);
    EXPECT_EQ(tree.vertices[0].normal[0], 1.0f);
    EXPECT_EQ(tree.vertices[0].texCoord[0], 0.5f);
}

TEST(Loader, MaterialBlocksTakeTheirSixLinesAsTheyCome)
{
    const std::string text =
        "P 0 0 0\n"
        "M first\n"
        "# x\n"
        "a 1 2 3\n"
        "\n"
        "S 9 9 9 9 9 9 9 9\n"
        "d 4\n"
        "e 0.5\n"
        "S 1 0.1 0 0 1 1 1 1\n"
        "M second with words\n"
        "tex my bark.png\r\n"
        "a\n"
        "b 1\n"
        "c 1 2\n"
        "d 1 2 3 4\n"
        "e\n"
        "L 0 0 1 1 2\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(text)).status, 0);
    ASSERT_EQ(tree.materialCount, 2u);
    EXPECT_EQ(tree.elementCount, 2u);  // the 'S' line inside the block is no element
    EXPECT_EQ(tree.materials[0].textureFile, "x");
    EXPECT_EQ(tree.materials[0].triples[0][2], 3.0f);
    EXPECT_EQ(tree.materials[0].triples[1][0], 0.0f);  // the empty line
    EXPECT_EQ(tree.materials[0].triples[2][0], 9.0f);
    EXPECT_EQ(tree.materials[0].triples[3][0], 4.0f);
    EXPECT_EQ(tree.materials[0].scalar, 0.5f);
    EXPECT_EQ(tree.materials[1].textureFile, "my bark.png");
    EXPECT_EQ(tree.materials[1].triples[2][1], 2.0f);
    EXPECT_EQ(tree.materials[1].triples[3][2], 3.0f);
    EXPECT_EQ(tree.materials[1].scalar, 0.0f);
}

TEST(Loader, MeshDecision)
{
    const std::string elements = "P 0 0 0\nS 1 0.1 0 0 1 1 1 1\nL 0 0 1 1 2\n";
    const std::string five = "V 0 0 0 1\nV 0 0 0 1\nV 0 0 0 1\nV 0 0 0 1\nV 0 0 0 1\n";
    const std::string normals = "N 0 0 1\nN 0 0 1\nN 0 0 1\nN 0 0 1\nN 0 0 1\n";
    const std::string four = "T 0 0\nT 0 0\nT 0 0\nT 0 0\n";
    CTree tree(nullptr);
    // 5 V, 5 N, 4 T: generated.
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(elements + five + normals + four + "F 0 1 2 0\n")).status, 0);
    EXPECT_FALSE(tree.useFileMesh);
    EXPECT_EQ(tree.vertexCount, 20u);
    EXPECT_EQ(tree.triangleCount, 18u);
    // No 'F' at all: generated, even with complete V, N, T.
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(elements + five + normals + four + "T 0 0\n", "2.tre")).status, 0);
    EXPECT_FALSE(tree.useFileMesh);
    EXPECT_EQ(tree.vertexCount, 20u);
    // Complete: the file's mesh.
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(elements + five + normals + four + "T 0 0\nF 4 3 2 0\n", "3.tre")).status, 0);
    EXPECT_TRUE(tree.useFileMesh);
    EXPECT_EQ(tree.vertexCount, 5u);
    EXPECT_EQ(tree.triangleCount, 1u);
    EXPECT_EQ(tree.triangles[0].vertex[0], 4u);
}

TEST(Loader, GroupingByMaterial)
{
    std::string text = "P 0 0 0\nS 1 0.1 0 0 1 1 0 1\nM a\nt a.png\na\nb\nc\nd\ne\nM b\nt b.png\na\nb\nc\nd\ne\n";
    for (int i = 0; i < 3; ++i)
        text += "V 0 0 0 0\nN 0 0 1\nT 0 0\n";
    text += "F 0 1 2 1\nF 1 1 1 0\nF 2 2 2 1\nF 0 0 0 5\nF 1 2 0 -1\nF 2 1 0 0\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(text)).status, 0);
    ASSERT_EQ(tree.materialCount, 2u);
    EXPECT_EQ(tree.triangleCount, 6u);
    EXPECT_EQ(tree.materialFirstIndex[0], 0u);
    EXPECT_EQ(tree.materialIndexCount[0], 6u);
    EXPECT_EQ(tree.materialFirstIndex[1], 6u);
    EXPECT_EQ(tree.materialIndexCount[1], 6u);
    const std::vector<uint32_t> grouped(tree.indices.begin(), tree.indices.begin() + 12);
    EXPECT_EQ(grouped, (std::vector<uint32_t>{1, 1, 1, 2, 1, 0, 0, 1, 2, 2, 2, 2}));
    EXPECT_EQ(tree.untexturedIndexCount, 0u);
    // Triangles of no material stay in the list but outside the groups.
    EXPECT_EQ(tree.triangles[3].material, 5);
}

TEST(Loader, GeneratedMeshMaterials)
{
    const std::string elements = "P 0 0 0\nS 1 0.1 0 0 1 1 1 1\nL 0 0 1 1 2\n";
    const std::string material = "M m\nt m.png\na\nb\nc\nd\ne\n";
    CTree tree(nullptr);
    // Two materials: segments 0, leaves 1.
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(elements + material + material)).status, 0);
    EXPECT_EQ(tree.materialIndexCount[0], 48u);
    EXPECT_EQ(tree.materialFirstIndex[1], 48u);
    EXPECT_EQ(tree.materialIndexCount[1], 6u);
    // One material: everything in it.
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(elements + material, "1.tre")).status, 0);
    EXPECT_EQ(tree.materialIndexCount[0], 54u);
    // None: one untextured group of the whole list; the count prints 0.
    const LoadResult r = loadCaptured(tree, writeTreeFile(elements, "0.tre"));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(tree.materialCount, 0u);
    EXPECT_EQ(tree.untexturedIndexCount, tree.indexCount);
    EXPECT_EQ(tree.indexCount, 54u);
    EXPECT_NE(r.output.find("             0 materials\n"), std::string::npos);
}

TEST(Loader, FileMeshMovesIntoElementSpace)
{
    // A segment lying along model +X from the origin; the vertex at model
    // (2, 0, 0) lies on its axis 2 units up: element (0, 0, 2), display (0, 2, 0).
    const std::string text =
        "P 0 0 0\nS 3 0.1 1 0 0 1 0 1\n"
        "V 2 0 0 1\nV 0 0 2 1\nV 2 0 0 0\nN 1 0 0\nN 0 0 1\nN 1 0 0\nT 0 0\nT 0 0\nT 0 0\nF 0 1 2 0\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(text)).status, 0);
    const Vertex* v = tree.vertices.data();
    EXPECT_TRUE(near(v[0].position[0], 0, 1e-6) && near(v[0].position[1], 2, 1e-6) &&
                near(v[0].position[2], 0, 1e-6));
    EXPECT_TRUE(near(v[0].normal[1], 1, 1e-6));
    // Model (0, 0, 2): 2 units to the element's side, at its base.
    EXPECT_TRUE(near(v[1].position[1], 0, 1e-6));
    EXPECT_TRUE(near(std::hypot(v[1].position[0], v[1].position[2]), 2, 1e-6));
    // Bound to the root: stays in display space.
    EXPECT_EQ(v[2].position[0], 2.0f);
    EXPECT_EQ(tree.restPositions[1], v[0].position[1]);
    EXPECT_EQ(tree.normals[1], v[0].normal[1]);
    // The element's matrix slot carries it back to the model place.
    const float* M = &tree.matrices[16];
    const float x = M[0] * v[0].position[0] + M[4] * v[0].position[1] + M[8] * v[0].position[2] + M[12];
    EXPECT_TRUE(near(x, 2, 1e-6));
}

// A file mesh's normals are turned into the element frame by the same
// rotation as its positions, also four levels down a chain of turning
// segments: the normal n of vertex a, with b = a + n, must come out as b - a.
TEST(Loader, FileMeshNormalsTurnWithTheirPositions)
{
    const std::string text =
        "P 0 0 0\n"
        "S 1 0.1 0 0 1 1 1 1\nS 1 0.1 1 0 1 1 1 2\nS 1 0.1 0 1 1 1 1 3\nS 1 0.1 -1 0.5 0.5 1 0 4\n"
        "V 0.3 0.2 2.5 4\nV 0.9 0.2 3.3 4\nN 0.6 0 0.8\nN 0.6 0 0.8\nT 0 0\nT 0 0\nF 0 1 0 0\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(text)).status, 0);
    ASSERT_EQ(tree.vertexCount, 2u);
    const Vertex* v = tree.vertices.data();
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(near(v[0].normal[k], v[1].position[k] - v[0].position[k], 1e-5)) << k;
    // And the element's rest pose carries the vertices back to their model places.
    const float* M = &tree.matrices[16 * 4];
    const float display[3] = {0.3f, 2.5f, -0.2f};
    for (int r = 0; r < 3; ++r)
        EXPECT_TRUE(near(M[r] * v[0].position[0] + M[4 + r] * v[0].position[1] +
                             M[8 + r] * v[0].position[2] + M[12 + r],
                         display[r], 1e-5));
}

// Destroying the tree cleans a loaded model up once (one message, each GL
// release once) and does nothing visible without a model.
namespace {
int staticBufferReleases = 0, textureReleases = 0;
const TreeGraphics countingGraphics = {
    [] { return true; }, [] {}, [] { return 4096; }, [](CTree&) {},
    [](CTree&) { ++textureReleases; }, [](CTree&) {}, [](CTree&) {}, [](CTree&) {},
    [](CTree&) { ++staticBufferReleases; }, [] {}};
}  // namespace

TEST(Tree, DestructorCleansUpOnlyALoadedModelAndOnce)
{
    const TreeGraphics* savedGraphics = treeGraphics;
    const bool savedGlsl = glslAvailable;
    treeGraphics = &countingGraphics;
    glslAvailable = true;
    staticBufferReleases = textureReleases = 0;
    {
        auto tree = std::make_unique<CTree>(nullptr);
        ASSERT_EQ(loadCaptured(*tree, twigPath()).status, 0);
        ::testing::internal::CaptureStdout();
        tree.reset();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "CTree::cleanup() .. \n");
        EXPECT_EQ(staticBufferReleases, 1);
        EXPECT_EQ(textureReleases, 1);
    }
    staticBufferReleases = textureReleases = 0;
    {
        auto tree = std::make_unique<CTree>(nullptr);
        ::testing::internal::CaptureStdout();
        tree.reset();
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(staticBufferReleases + textureReleases, 0);
    }
    treeGraphics = savedGraphics;
    glslAvailable = savedGlsl;
}

TEST(Loader, CountsDepthShiverAndReload)
{
    const long segmentsBefore = CSegment::liveCount;
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile("P 0 0 0\nS 1 1 0 0 1 1 0 1\n")).status, 0);
    EXPECT_EQ(tree.maxDepth, 1u);
    EXPECT_EQ(tree.trunk()->height, 1u);
    EXPECT_EQ(tree.root->height, 2u);

    std::string text = "P 0 0 0\nS 1 0.1 0 0 1 1 17 1\n";
    for (int i = 2; i <= 18; ++i)
        text += "L 0 1 0 0.5 " + std::to_string(i) + "\n";
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(text, "2.tre")).status, 0);
    EXPECT_EQ(tree.leafCount, 17u);
    EXPECT_EQ(tree.segmentCount + tree.leafCount, tree.elementCount);
    auto* trunk = static_cast<CSegment*>(tree.trunk());
    auto* leaf17 = static_cast<CLeaf*>(trunk->children[15]);
    EXPECT_EQ(leaf17->matrixIndex, 17);
    EXPECT_EQ(leaf17->shiverMatrix, &tree.shiverMatrices[1]);
    EXPECT_EQ(CSegment::liveCount, segmentsBefore + 2);  // root and trunk

    // The 'P' record recreates the root: counts start again there.
    ASSERT_EQ(loadCaptured(tree, writeTreeFile("P 0 0 0\nS 1 1 0 0 1 1 0 1\nP 0 0 0\nS 1 1 0 0 1 1 0 2\n", "3.tre")).status, 0);
    EXPECT_EQ(tree.elementCount, 2u);
    EXPECT_EQ(tree.segmentCount, 1u);
    EXPECT_EQ(tree.trunk()->matrixIndex, 2);
    EXPECT_EQ(CSegment::liveCount, segmentsBefore + 2);  // the first tree is gone

    // Only the second hierarchy animates: the first one's slot keeps the
    // rest pose the loader wrote, the second one's bends in the wind.
    CWind wind;
    CTree windy(&wind);
    ASSERT_EQ(loadCaptured(windy, writeTreeFile("P 0 0 0\nS 1 1 0 0 1 1 0 1\nP 0 0 0\nS 1 0.1 1 0 1 1 0 2\n", "4.tre")).status, 0);
    const std::vector<float> loaded = windy.matrices;
    for (int i = 0; i < 5; ++i)
        windy.animate(0.04f);
    windy.reset();
    windy.applyAnimationLod();
    windy.animate(0.04f);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(windy.matrices[16 + k], loaded[16 + k]) << k;
    EXPECT_NE(windy.matrices[32 + 4], loaded[32 + 4]);  // its axis turned
    ::testing::internal::CaptureStdout();
    windy.cleanup();
    ::testing::internal::GetCapturedStdout();

    ::testing::internal::CaptureStdout();
    tree.cleanup();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "CTree::cleanup() .. \n");
    EXPECT_TRUE(tree.noModel);
    EXPECT_EQ(CSegment::liveCount, segmentsBefore);
    tree.reset();            // nothing to do, no crash
    tree.applyAnimationLod();
}

TEST(Loader, LongLinesAreReadWhole)
{
    // A 300-character comment, a record padded past 255 characters, and a
    // 3 MB line (more than the reader's first buffer).
    std::string text = "# " + std::string(300, 'c') + "\nP 0 0 0\n";
    text += "S 1 0.1 0 0 1 1 0 1" + std::string(400, 'x') + "\n";
    text += "L 0 0 1 1 2\n#" + std::string(3 << 20, 'y') + "\n";
    text += "M m\ntex " + std::string(290, 'n') + ".png\na\nb\nc\nd\ne\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile("P 0 0 0\nS 1 0.1 0 0 1 1 1 1\n" + text.substr(text.find("L 0")))).status, 0);
    EXPECT_EQ(tree.leafCount, 1u);
    EXPECT_EQ(tree.materials[0].textureFile.size(), 294u);
}

TEST(Loader, NulByteEndsTheRecord)
{
    std::string text = "P 0 0 0\nS 1 0.1 0 0 1 1 0 1\nM m\ntex a.png";
    text += '\0';
    text += "junk\na\nb\nc\nd\ne\n";
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile(text)).status, 0);
    EXPECT_EQ(tree.materials[0].textureFile, "a.png");
}
