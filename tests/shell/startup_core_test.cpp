// The window-less start-up: the file name from the command line, loading and
// the overlay statistics, and dor-info, which runs exactly these steps.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "shell/startup_core.h"
#include "shell/statistics.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "wind/wind_presets.h"
#include "tree/tree_files.h"

static std::string takeCaptured(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::testing::internal::CaptureStdout();
    takeFileName(static_cast<int>(args.size()), argv.data());
    return ::testing::internal::GetCapturedStdout();
}

TEST(StartupCore, FileNameFromTheCommandLine)
{
    resetLiveParameters();
    EXPECT_EQ(takeCaptured({"dor"}),
              "DOR: No input file specified, using default.\n"
              "DOR: Visualizing file    prunus_cerasifera_nigra_reduced32.tre\n");
    EXPECT_EQ(takeCaptured({"dor", "a.tre", "b.tre"}), "DOR: Visualizing file    a.tre\n");
    EXPECT_STREQ(treeFileName, "a.tre");

    resetLiveParameters();
    const std::string longest(299, 'n');
    EXPECT_EQ(takeCaptured({"dor", longest}), "DOR: Visualizing file    " + longest + "\n");
    resetLiveParameters();
    const std::string output = takeCaptured({"dor", std::string(300, 'n')});
    EXPECT_EQ(output.rfind("ERROR", 0), 0u) << output;
    EXPECT_STREQ(treeFileName, DEFAULT_TREE_FILE_NAME);
    EXPECT_NE(output.find("DOR: Visualizing file    prunus_cerasifera_nigra_reduced32.tre\n"),
              std::string::npos);
}

TEST(StartupCore, LoadFormatsTheStatisticsAndReleases)
{
    resetLiveParameters();
    std::strcpy(treeFileName, twigPath().c_str());
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(createAndLoadTree(), 0);
    ::testing::internal::GetCapturedStdout();
    EXPECT_STREQ(trianglesText, "           1  triangles\n");
    EXPECT_STREQ(segmentsText, "           2  branch segments\n");
    EXPECT_STREQ(leavesText, "           1  leaves\n");
    EXPECT_STREQ(depthText, "           2  maximum recursion depth\n");
    ::testing::internal::CaptureStdout();
    releaseTree();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "CTree::cleanup() .. \n");
    EXPECT_EQ(theTree, nullptr);
    EXPECT_EQ(treeWind, nullptr);
    resetLiveParameters();
}

// Runs dor-info (built beside the tests) and returns its output and status.
static std::pair<std::string, int> runInfo(const std::string& arguments)
{
    const std::string command =
        std::string(DOR_BINARY_DIR) + "/tools/info/dor-info " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[4096];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, got);
    const int status = pclose(pipe);
    return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

TEST(DorInfo, PrintsTheLoaderAndOverlayStatistics)
{
    if (!std::filesystem::exists(std::string(DOR_BINARY_DIR) + "/tools/info/dor-info"))
        GTEST_SKIP() << "dor-info is not built";
    std::filesystem::current_path(std::string(DOR_SOURCE_DIR) + "/tests/tree/data");
    const auto [output, status] = runInfo("twig.tre");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output,
              std::string("DOR: Visualizing file    twig.tre\n"
                          "loadDataTre() .. \n") +
                  twigStatistics +
                  "           1  triangles\n"
                  "           2  branch segments\n"
                  "           1  leaves\n"
                  "           2  maximum recursion depth\n"
                  "CTree::cleanup() .. \n");
    const auto [missing, missingStatus] = runInfo("no-such-file.tre");
    EXPECT_EQ(missingStatus, 1);
    EXPECT_NE(missing.find("Invalid filename: no-such-file.tre\n"), std::string::npos);
    EXPECT_NE(missing.find("           0  triangles\n"), std::string::npos);
    const auto [wrongType, wrongStatus] = runInfo("twig.txt");
    EXPECT_EQ(wrongStatus, 1);
    EXPECT_NE(wrongType.find("ERROR: input file must be of type 'tre' !\n"), std::string::npos);
}

static std::string optionsCaptured(std::vector<std::string> args, int& bad)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::testing::internal::CaptureStdout();
    bad = takeOptions(static_cast<int>(args.size()), argv.data());
    return ::testing::internal::GetCapturedStdout();
}

// Arguments that start with "--" are options; the file name is the first
// other argument, wherever the options stand.
TEST(StartupCore, OptionsBesideTheFileName)
{
    resetLiveParameters();
    int bad = -1;
    EXPECT_EQ(optionsCaptured({"dor", "a.tre"}, bad), "");  // no options: nothing happens
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(windTurbulence, 0);

    EXPECT_EQ(takeCaptured({"dor", "--wind", "gusty", "a.tre"}), "DOR: Visualizing file    a.tre\n");
    EXPECT_EQ(takeCaptured({"dor", "b.tre", "--wind", "storm"}), "DOR: Visualizing file    b.tre\n");
    resetLiveParameters();
    EXPECT_EQ(takeCaptured({"dor", "--wind", "calm"}),
              "DOR: No input file specified, using default.\n"
              "DOR: Visualizing file    prunus_cerasifera_nigra_reduced32.tre\n");

    const std::string gusty = optionsCaptured({"dor", "a.tre", "--wind", "gusty"}, bad);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(gusty.rfind("DOR: wind field preset gusty", 0), 0u) << gusty;
    EXPECT_EQ(windTurbulence, 1);
    EXPECT_EQ(windGusts, 1);
    EXPECT_EQ(windVelocity, 5.0f);
    EXPECT_EQ(gustInterval, 12.0f);

    resetLiveParameters();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dor", "--wind", "hurricane"}, {"dor", "--wind"}, {"dor", "--speed", "3"}}) {
        const std::string out = optionsCaptured(args, bad);
        EXPECT_EQ(bad, 1) << args[1];
        EXPECT_EQ(out.rfind("ERROR", 0), 0u) << out;
        EXPECT_EQ(windTurbulence, 0);
    }
    EXPECT_EQ(windVelocity, 4.0f);
}

// "--model physical" starts with the physical model; its value is no file name.
TEST(StartupCore, ModelOptionChoosesTheBendingModel)
{
    resetLiveParameters();
    int bad = -1;
    EXPECT_EQ(takeCaptured({"dor", "--model", "physical", "a.tre"}), "DOR: Visualizing file    a.tre\n");
    EXPECT_EQ(optionsCaptured({"dor", "--model", "physical", "a.tre"}, bad), "DOR: bending model physical\n");
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(bendingModel, 1);
    optionsCaptured({"dor", "a.tre", "--model", "classic"}, bad);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(bendingModel, 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"dor", "--model", "modal"}, {"dor", "--model"}}) {
        bendingModel = 1;
        const std::string out = optionsCaptured(args, bad);
        EXPECT_EQ(bad, 1);
        EXPECT_EQ(out.rfind("ERROR", 0), 0u) << out;
        EXPECT_EQ(bendingModel, 1);  // unchanged
    }
    resetLiveParameters();
}

// Every preset names rows of the parameter table with values they take.
TEST(StartupCore, EveryWindPresetSwitchesTheFieldOn)
{
    for (size_t i = 0; i < windPresetCount; ++i) {
        resetLiveParameters();
        applyWindPreset(windPresets[i]);
        EXPECT_EQ(windTurbulence, 1) << windPresets[i].name;
        EXPECT_GT(windVelocity, 0.0f) << windPresets[i].name;
        EXPECT_NE(std::string(windPresets[i].meaning), "");
    }
    EXPECT_EQ(findWindPreset("Gusty"), nullptr);
    resetLiveParameters();
}
