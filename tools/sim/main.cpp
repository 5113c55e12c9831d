// dor-sim: runs DOR's animation without a window for a simulated time and
// writes the motion of chosen elements and the wind at chosen points as CSV.
// Exit status 0 after the run, 1 when the tree does not load, 2 for a bad
// command line (an unknown option or parameter, a bad value, a bad probe).
#include <cstdio>
#include <string>

#include "tools/sim/sim_options.h"
#include "tools/sim/simulation.h"

int main(int argc, char** argv)
{
    SimOptions options;
    std::string error;
    if (!parseSimOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), SIM_USAGE);
        return 2;
    }
    return runSimulation(options);
}
