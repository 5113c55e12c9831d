// A dor-sim run: the tree loaded and reset, animated frame by frame for the
// simulated time, its probes written as CSV rows.
#pragma once

#include "tools/sim/sim_options.h"

// Runs the simulation of options; returns the exit status: 0 after the run,
// 1 when the tree file does not load or the output cannot be written, 2 for
// a probe that names no element.
int runSimulation(const SimOptions& options);
