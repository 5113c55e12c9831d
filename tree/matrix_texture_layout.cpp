// The layout of the matrix texture: every element matrix takes four RGBA
// float texels of one row; the texture is the smallest power-of-two area that
// holds them all, square or twice as tall as wide, at least 4 texels wide.
#include <cstdint>
#include <cmath>
#include <cstdio>

#include "tree/tree.h"
#include "tree/tree_graphics.h"

void CTree::computeMatrixTextureLayout()
{
    const int64_t N = matrixCount;
    if (treeGraphics && treeGraphics->contextCurrent()) {
        const double maxSize = treeGraphics->maxTextureSize();
        if (static_cast<int64_t>(std::floor(maxSize * maxSize * 0.25)) < N)
            std::printf("WARNING: Transformation matrices do not fit into one texture object!\n");
    }
    // W * H: the smallest power of two holding 4 texels per matrix.
    int64_t W = 4, H = 1;
    if (4 * N > 4)
        while (W < 4 * N)
            W *= 2;
    // Split it into a square or a rectangle twice as tall as wide; a row
    // never gets narrower than one matrix.
    while (W > H && W > 4) {
        W /= 2;
        H *= 2;
    }
    const int64_t perRow = W / 4;
    texelStep = 1.0f / static_cast<float>(W);
    matrixTexRows = static_cast<int32_t>((N + perRow - 1) / perRow);
    matrixCapacity = static_cast<int32_t>(matrixTexRows * perRow);
    matrixTexWidth = static_cast<int32_t>(W);
    matrixTexHeight = static_cast<int32_t>(H);
}
