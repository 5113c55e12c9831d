// The matrix texture layout for a range of matrix counts.
#include <gtest/gtest.h>

#include "tree/tree.h"
#include "tree/tree_graphics.h"

TEST(MatrixTextureLayout, Examples)
{
    struct Case { uint32_t n; int width, height, rows, capacity; };
    const Case cases[] = {{1, 4, 1, 1, 1},     {2, 4, 2, 2, 2},      {3, 4, 4, 3, 3},
                          {4, 4, 4, 4, 4},     {5, 4, 8, 5, 5},      {8, 4, 8, 8, 8},
                          {9, 8, 8, 5, 10},    {16, 8, 8, 8, 16},    {100, 16, 32, 25, 100},
                          {1000, 64, 64, 63, 1008}, {1025, 64, 128, 65, 1040}};
    CTree tree(nullptr);
    for (const Case& c : cases) {
        tree.matrixCount = c.n;
        tree.computeMatrixTextureLayout();
        EXPECT_EQ(tree.matrixTexWidth, c.width) << c.n;
        EXPECT_EQ(tree.matrixTexHeight, c.height) << c.n;
        EXPECT_EQ(tree.matrixTexRows, c.rows) << c.n;
        EXPECT_EQ(tree.matrixCapacity, c.capacity) << c.n;
        EXPECT_EQ(tree.texelStep, 1.0f / c.width) << c.n;
        EXPECT_EQ(tree.matrixTexWidth % 4, 0);
        EXPECT_LE(tree.matrixTexRows, tree.matrixTexHeight);
        // The last matrix's texture coordinate lies inside the texture.
        float st[2];
        tree.matrixTexCoordOf(static_cast<int32_t>(c.n - 1), st);
        EXPECT_GT(st[0], 0.0f);
        EXPECT_LT(st[0] + 3 * tree.texelStep, 1.0f);
        EXPECT_LT(st[1], 1.0f);
    }
}

TEST(MatrixTextureLayout, WarnsOnlyWhenTheMatricesExceedTheMaximumTextureSize)
{
    // A driver whose largest texture is 2048 x 2048 texels. The tree below
    // is destroyed after the hooks are restored.
    static TreeGraphics small{};
    small.contextCurrent = [] { return true; };
    small.maxTextureSize = [] { return 2048; };
    const TreeGraphics* installed = treeGraphics;
    treeGraphics = &small;
    CTree tree(nullptr);
    const char* warning = "WARNING: Transformation matrices do not fit into one texture object!\n";

    tree.matrixCount = 1048576;
    testing::internal::CaptureStdout();
    tree.computeMatrixTextureLayout();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(tree.matrixTexWidth, 2048);
    EXPECT_EQ(tree.matrixTexHeight, 2048);

    tree.matrixCount = 1048577;
    testing::internal::CaptureStdout();
    tree.computeMatrixTextureLayout();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), warning);
    EXPECT_GT(tree.matrixTexHeight, 2048) << "the layout goes on unchanged";
    treeGraphics = installed;
}
