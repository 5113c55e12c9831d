// Helpers of the tools' tests: a scratch directory, loading a model with the
// project's loader, and measuring its sway under the animation.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "tools/grow/tre_file.h"
#include "tree/tree.h"
#include "wind/wind.h"

// A fresh directory under the system's temporary directory, removed again
// by the destructor.
struct ScratchDir {
    std::filesystem::path path;
    ScratchDir();
    ~ScratchDir();
    std::string file(const std::string& name) const { return (path / name).string(); }
};

// A tree and its wind, loaded from `fileName`; `status` is load's result.
struct LoadedTree {
    CWind wind;
    std::unique_ptr<CTree> tree;
    int status = 1;
    explicit LoadedTree(const std::string& fileName);
};

std::string readText(const std::string& fileName);

// What 200 animation steps of 0.04 s at the default parameters do to a tree.
struct Sway {
    double tipTravel = 0.0;     // largest distance of the trunk's top from its rest place
    double largestBend = 0.0;   // largest angle (degrees) of any segment from its rest direction
    bool finite = true;         // every matrix stayed finite
};
Sway measureSway(CTree& tree, int steps = 200);
