// The command line of dor-sim, read into SimOptions:
//
//   dor-sim FILE.tre [--seconds T] [--fps F] [--wind PRESET] [--model classic|physical]
//                    [--fixed-rate HZ] [--set NAME=VALUE]...
//                    [--at T:NAME=VALUE]... [--probe WHICH]... [--wind-probe X,Y,Z]... [--csv OUT.csv]
//                    [--gltf OUT.glb [--gltf-fps R]]
//
// --wind PRESET stands for the preset's --set NAME=VALUE settings, in its
// place; --model M for --set bendingModel=0 (classic) or 1 (physical);
// --fixed-rate HZ for --set fixedRate=HZ.
#pragma once

#include <string>
#include <vector>

#include "elements/vector3.h"

// A live parameter change: NAME=VALUE, at simulated time `time` (seconds;
// 0 for --set, applied before the load).
struct ParameterChange {
    double time = 0.0;
    std::string name, value;
};

struct SimOptions {
    std::string file;
    double seconds = 10.0;  // simulated time, s
    double fps = 25.0;      // frames per second: one step of 1/fps s a frame
    std::vector<ParameterChange> sets;    // --set and --wind's settings, in the order given
    std::vector<ParameterChange> events;  // --at, in the order given
    std::vector<std::string> probes;      // --probe WHICH, as typed
    std::vector<Vec3> windProbes;         // --wind-probe points, model space
    std::string csvPath;                  // empty: standard output
    std::string gltfPath;                 // empty: no glTF export
    double gltfFps = 30.0;                // the export's animation samples per second
};

extern const char* const SIM_USAGE;

// Reads argv into options. On a fault returns false with the ERROR line
// (without its line break) in error: an unknown option, a missing or
// malformed value, an unknown parameter name or a value the parameter does
// not take.
bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error);
