// dor-info: loads a tree file as DOR does, without a window, and prints the
// loader's messages and the four statistics lines of the viewport overlay.
//
//   dor-info [FILE]
//
// Without FILE the default model is used. Exit status 0 after a successful
// load, 1 otherwise.
#include <cstdio>

#include "app/startup_core.h"
#include "app/statistics.h"

int main(int argc, char** argv)
{
    takeFileName(argc, argv);
    const int result = createAndLoadTree();
    std::fputs(trianglesText, stdout);
    std::fputs(segmentsText, stdout);
    std::fputs(leavesText, stdout);
    std::fputs(depthText, stdout);
    releaseTree();
    return result == 0 ? 0 : 1;
}
