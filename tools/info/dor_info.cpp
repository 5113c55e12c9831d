// dor-info: loads a tree file as DOR does, without a window, and prints the
// loader's messages and the four statistics lines of the viewport overlay.
//
//   dor-info [FILE [--steps N [--dt S]]]
//
// Without FILE the default model is used. With --steps it then runs N
// animation steps of S seconds (default 0.04) with the default parameters and
// prints the trunk's and the deepest tip's display matrices and the largest
// bend. Exit status 0 after a successful load, 1 otherwise.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/startup_core.h"
#include "shell/statistics.h"
#include "tools/info/pose_summary.h"

static const char* const kUsage = "usage: dor-info [FILE [--steps N [--dt S]]]\n";

int main(int argc, char** argv)
{
    long steps = -1;
    double dt = 0.04;
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc) {
            steps = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || steps < 0) {
                std::printf("ERROR: --steps needs a whole number of steps, 0 or more\n%s", kUsage);
                return 1;
            }
        } else if (std::strcmp(argv[i], "--dt") == 0 && i + 1 < argc) {
            dt = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(dt >= 0.0) || !std::isfinite(dt)) {
                std::printf("ERROR: --dt needs a time step in seconds, 0 or more\n%s", kUsage);
                return 1;
            }
        } else {
            std::printf("ERROR: unknown option %s\n%s", argv[i], kUsage);
            return 1;
        }
    }
    takeFileName(argc, argv);
    const int result = createAndLoadTree();
    std::fputs(trianglesText, stdout);
    std::fputs(segmentsText, stdout);
    std::fputs(leavesText, stdout);
    std::fputs(depthText, stdout);
    if (result == 0 && steps >= 0)
        printPoseAfterSteps(*theTree, steps, dt);
    releaseTree();
    return result == 0 ? 0 : 1;
}
