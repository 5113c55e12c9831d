// Helpers of the tree tests: tree files written to a scratch folder, and a
// load with its console output captured.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tree/tree.h"

// The ten statistics lines the loader prints for twig.tre, the worked example.
inline const char* twigStatistics =
    "Loaded model twig.tre\n"
    "             3 tree elements\n"
    "             2 branch segments\n"
    "             1 leaves\n"
    "             3 vertices\n"
    "             3 texture coordinates\n"
    "             3 normals\n"
    "             1 triangles\n"
    "             1 materials\n"
    "             2 recursion depth max\n";

// A scratch path named after the running test (plus suffix); nothing is
// written there.
inline std::string scratchPath(const std::string& suffix = ".tre")
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir =
        std::filesystem::path(DOR_BINARY_DIR) / "tests" / "tree-scratch";
    std::filesystem::create_directories(dir);
    const std::string name = std::string(info->test_suite_name()) + "_" + info->name() + suffix;
    return (dir / name).string();
}

// Writes text to the scratch file of the running test and returns its path.
inline std::string writeTreeFile(const std::string& text, const std::string& suffix = ".tre")
{
    const std::string path = scratchPath(suffix);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

struct LoadResult {
    int status;
    std::string output;
};

inline LoadResult loadCaptured(CTree& tree, const std::string& path)
{
    ::testing::internal::CaptureStdout();
    const int status = tree.load(path.c_str());
    return {status, ::testing::internal::GetCapturedStdout()};
}

inline std::string twigPath() { return std::string(DOR_SOURCE_DIR) + "/tests/tree/data/twig.tre"; }

inline std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
