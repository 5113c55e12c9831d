// The overlay's statistics lines: a right-aligned count and its label.
#include "shell/statistics.h"

#include <cstdio>

#include "shell/startup_core.h"
#include "tree/tree.h"

char trianglesText[64] = "";
char segmentsText[64] = "";
char leavesText[64] = "";
char depthText[64] = "";

void formatStatistics()
{
    // The counts are printed as the signed 32-bit values the overlay shows.
    int triangles = 0, segments = 0, leaves = 0, depth = 0;
    if (theTree) {
        triangles = static_cast<int>(theTree->triangleCount);
        segments = static_cast<int>(theTree->segmentCount);
        leaves = static_cast<int>(theTree->leafCount);
        depth = static_cast<int>(theTree->maxDepth);
    }
    std::snprintf(trianglesText, sizeof trianglesText, "%12i  triangles\n", triangles);
    std::snprintf(segmentsText, sizeof segmentsText, "%12i  branch segments\n", segments);
    std::snprintf(leavesText, sizeof leavesText, "%12i  leaves\n", leaves);
    std::snprintf(depthText, sizeof depthText, "%12i  maximum recursion depth\n", depth);
}
