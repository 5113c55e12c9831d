// The generated mesh: cylinder and rhombus geometry, numbering, and the
// three matrix slots every element writes.
#include <cmath>

#include <gtest/gtest.h>

#include "common/near.h"
#include "elements/leaf.h"
#include "elements/segment.h"
#include "tree/tree.h"
#include "tree_files.h"

TEST(MeshGeneration, SegmentThenLeafNumbering)
{
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile("P 0 0 0\nS 2 0.2 0 0 1 1 1 1\nL 0 0 1 1 2\n")).status, 0);
    ASSERT_EQ(tree.vertexCount, 20u);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_EQ(tree.vertices[i].matrixIndex, 1);
    for (uint32_t i = 16; i < 20; ++i)
        EXPECT_EQ(tree.vertices[i].matrixIndex, 2);
    EXPECT_EQ(tree.triangles[16].vertex[0], 16u);
    EXPECT_EQ(tree.triangles[16].vertex[1], 17u);
    EXPECT_EQ(tree.triangles[16].vertex[2], 18u);
    EXPECT_EQ(tree.triangles[17].vertex[2], 19u);

    // Diameter 0.2, length 2.
    const Vertex* v = tree.vertices.data();
    EXPECT_TRUE(near(v[0].position[0], 0.1, 1e-7) && v[0].position[1] == 0.0f && near(v[0].position[2], 0, 1e-7));
    EXPECT_TRUE(near(v[0].normal[0], 1, 1e-7) && v[0].normal[1] == 0.0f);
    EXPECT_EQ(v[0].texCoord[0], 0.0f);
    EXPECT_EQ(v[0].texCoord[1], 0.0f);
    EXPECT_TRUE(near(v[8].position[0], 0.1, 1e-7) && v[8].position[1] == 2.0f);
    EXPECT_EQ(v[8].texCoord[1], 1.0f);
    EXPECT_TRUE(near(v[4].position[0], -0.1, 1e-7) && near(v[4].position[2], 0, 1e-7));
    EXPECT_TRUE(near(v[2].position[2], -0.1, 1e-7));  // a quarter turn: display -Z
    EXPECT_EQ(v[7].texCoord[0], 0.875f);
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_TRUE(near(std::hypot(v[i].normal[0], v[i].normal[2]), 1, 1e-6));
        EXPECT_EQ(tree.restPositions[3 * i + 2], v[i].position[2]);
        EXPECT_EQ(tree.normals[3 * i], v[i].normal[0]);
        EXPECT_EQ(tree.texCoords[2 * i], v[i].texCoord[0]);
    }
    // The leaf's rhombus.
    const float leafPositions[4][3] = {{0, 0, 0}, {0.2f, 0.2f, 0}, {0, 0.4f, 0}, {-0.2f, 0.2f, 0}};
    const float leafTex[4][2] = {{0.5f, 1}, {1, 0.5f}, {0.5f, 0}, {0, 0.5f}};
    for (int j = 0; j < 4; ++j) {
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(v[16 + j].position[k], leafPositions[j][k]);
        EXPECT_EQ(v[16 + j].texCoord[0], leafTex[j][0]);
        EXPECT_EQ(v[16 + j].texCoord[1], leafTex[j][1]);
        EXPECT_EQ(v[16 + j].normal[2], 1.0f);
    }
}

TEST(MeshGeneration, CylinderTrianglesFaceOutwards)
{
    // Three segments: the third's first vertex is 32.
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile("P 0 0 0\nS 1 1 0 0 1 1 1 1\nS 1 1 0 0 1 1 1 2\nS 1 1 0 0 1 1 0 3\n")).status, 0);
    const Triangle& first = tree.triangles[32];
    const Triangle& last = tree.triangles[47];
    EXPECT_EQ(first.vertex[0], 32u);
    EXPECT_EQ(first.vertex[1], 33u);
    EXPECT_EQ(first.vertex[2], 40u);
    EXPECT_EQ(last.vertex[0], 32u);
    EXPECT_EQ(last.vertex[1], 40u);
    EXPECT_EQ(last.vertex[2], 47u);
    // Counter-clockwise from outside: the face normal points away from the axis.
    for (uint32_t t = 32; t < 48; ++t) {
        const float* a = tree.vertices[tree.triangles[t].vertex[0]].position;
        const float* b = tree.vertices[tree.triangles[t].vertex[1]].position;
        const float* c = tree.vertices[tree.triangles[t].vertex[2]].position;
        const Vec3 n = cross({b[0] - a[0], b[1] - a[1], b[2] - a[2]}, {c[0] - a[0], c[1] - a[1], c[2] - a[2]});
        const float centre[2] = {(a[0] + b[0] + c[0]) / 3, (a[2] + b[2] + c[2]) / 3};
        EXPECT_GT(n.x * centre[0] + n.z * centre[1], 0.0f) << "triangle " << t;
    }
}

TEST(MeshGeneration, MatrixSlots)
{
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, writeTreeFile("P 0 0 0\nS 2 0.2 1 0 1 1 1 2\nL 0 1 0 0.5 1\n")).status, 0);
    const CTreeElement* trunk = tree.trunk();
    float expected[16];
    toDisplayMatrix(trunk->restModelTransform, expected);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(tree.matrices[16 * 2 + i], expected[i]);
    // Slot 0 stays the identity.
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(tree.matrices[i], i % 5 == 0 ? 1.0f : 0.0f);
    EXPECT_EQ(trunk->modelMatrix, &tree.matrices[32]);
}

TEST(MeshGeneration, FileMeshLeavesTheAppendPositionsAndWritesSlots)
{
    CTree tree(nullptr);
    ASSERT_EQ(loadCaptured(tree, twigPath()).status, 0);
    // Drive the generators by hand on the loaded twig (file mesh), with
    // scratch load-time slots (the tree's own are gone after loading).
    std::vector<float> inverse(16 * tree.matrixCount), normal(16 * tree.matrixCount);
    auto* trunk = static_cast<CSegment*>(tree.trunk());
    CTreeElement* leaf = trunk->children[1];
    for (CTreeElement* e : {static_cast<CTreeElement*>(trunk), leaf}) {
        e->restInverseMatrix = &inverse[16 * e->matrixIndex];
        e->restNormalMatrix = &normal[16 * e->matrixIndex];
    }
    const uint32_t v = tree.nextVertex, t = tree.nextTriangle, i = tree.nextIndex;
    tree.generateSegmentMesh(trunk);
    tree.generateLeafMesh(leaf);
    EXPECT_EQ(tree.nextVertex, v);
    EXPECT_EQ(tree.nextTriangle, t);
    EXPECT_EQ(tree.nextIndex, i);
    float expected[16];
    toDisplayMatrix(trunk->restModelTransformInverse, expected);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(inverse[16 + k], expected[k]);
    toDisplayMatrix(trunk->restModelRotationInverse, expected);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(normal[16 + k], expected[k]);
    toDisplayMatrix(leaf->restModelTransformInverse, expected);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(inverse[16 * 3 + k], expected[k]);
}
