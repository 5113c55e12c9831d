// dor-sim, run as a user runs it: its CSV layout, its agreement with
// dor-info's poses, its determinism, timed parameter changes and its errors.
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/near.h"

namespace {

const std::string kAssets = std::string(DOR_SOURCE_DIR) + "/assets/";
const std::string kModel = kAssets + "prunus_cerasifera_nigra_reduced32.tre";

struct ToolRun {
    int status = -1;
    std::string out, err;
};

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a tool with arguments (already quoted where needed), capturing both
// output streams and the exit status.
ToolRun runTool(const std::string& tool, const std::string& arguments)
{
    // Per process: ctest runs the tests of this file side by side.
    const std::string stem = testing::TempDir() + "dor_sim_" + std::to_string(getpid());
    const std::string out = stem + "_out.txt", err = stem + "_err.txt";
    const int raw = std::system((tool + " " + arguments + " >" + out + " 2>" + err).c_str());
    ToolRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(out);
    r.err = readFile(err);
    return r;
}

ToolRun sim(const std::string& arguments) { return runTool(DOR_SIM_EXECUTABLE, arguments); }

// CSV rows split into fields (the header row as text, the others as numbers).
struct Csv {
    std::vector<std::string> header;
    std::vector<std::vector<double>> rows;
};

Csv parseCsv(const std::string& text)
{
    Csv csv;
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string field;
        std::vector<double> row;
        while (std::getline(fields, field, ',')) {
            if (first)
                csv.header.push_back(field);
            else
                row.push_back(std::stod(field));
        }
        if (!first)
            csv.rows.push_back(row);
        first = false;
    }
    return csv;
}

TEST(DorSim, WritesAHeaderAndOneRowPerFrame)
{
    const ToolRun r = sim(kModel + " --seconds 0.4 --fps 25 --probe 24 --probe top --wind-probe 0,0,1 --wind-probe 1,2,3");
    ASSERT_EQ(r.status, 0) << r.err;
    const Csv csv = parseCsv(r.out);
    const std::vector<std::string> header = {"t",     "p24_x", "p24_y", "p24_z", "ptop_x", "ptop_y", "ptop_z",
                                             "w0_x",  "w0_y",  "w0_z",  "w1_x",  "w1_y",   "w1_z"};
    EXPECT_EQ(csv.header, header);
    ASSERT_EQ(csv.rows.size(), 10u);
    for (size_t k = 0; k < csv.rows.size(); ++k) {
        ASSERT_EQ(csv.rows[k].size(), header.size());
        EXPECT_TRUE(near(csv.rows[k][0], 0.04 * double(k + 1), 1e-12));
        // The uniform default wind, 4 units/s along model x, at both points.
        for (int w : {7, 10}) {
            EXPECT_EQ(csv.rows[k][w], 4.0);
            EXPECT_TRUE(near(csv.rows[k][w + 1], 0.0, 1e-6));
            EXPECT_TRUE(near(csv.rows[k][w + 2], 0.0, 1e-6));
        }
    }
    // The loader's messages go to the standard error, never among the rows.
    EXPECT_NE(r.err.find("loadDataTre() .. "), std::string::npos);
    // The tree sways: the probe moves along the wind from frame to frame.
    EXPECT_GT(csv.rows.back()[1], csv.rows.front()[1]);
}

// dor-info --steps N --dt 0.04 prints the trunk's and the deepest tip's
// display matrices (six decimals); dor-sim's probes of the same elements
// after N frames at 25 frames/s give the same tips.
TEST(DorSim, PosesEqualThoseOfDorInfoSteps)
{
    for (const char* model : {"prunus_cerasifera_nigra_reduced32.tre", "salix_babylonica.tre"}) {
        const std::string file = kAssets + model;
        const ToolRun info = runTool(DOR_INFO_EXECUTABLE, file + " --steps 30 --dt 0.04");
        ASSERT_EQ(info.status, 0) << info.out;
        // "tip (element E, depth D) display matrix:" and four rows.
        const size_t at = info.out.find("tip (element ");
        ASSERT_NE(at, std::string::npos);
        int element = 0, depth = 0;
        ASSERT_EQ(std::sscanf(info.out.c_str() + at, "tip (element %d, depth %d)", &element, &depth), 2);
        std::istringstream rows(info.out.substr(info.out.find('\n', at) + 1));
        double G[4][4];
        for (auto& row : G)
            for (double& x : row)
                rows >> x;
        const ToolRun r = sim(file + " --seconds 1.2 --fps 25 --probe " + std::to_string(element) + " --probe deepest");
        ASSERT_EQ(r.status, 0) << r.err;
        const Csv csv = parseCsv(r.out);
        ASSERT_EQ(csv.rows.size(), 30u);
        const std::vector<double>& last = csv.rows.back();
        // Display column 3 is the origin, column 1 the element's axis (model
        // z); display (x, y, z) is model (x, -z, y). Tree segment lengths of
        // these models are below 2 units, so six decimals give 1e-5.
        const double length = std::hypot(last[1] - G[0][3], last[2] + G[2][3], last[3] - G[1][3]);
        const double tip[3] = {G[0][3] + G[0][1] * length, -(G[2][3] + G[2][1] * length),
                               G[1][3] + G[1][1] * length};
        for (int c = 0; c < 3; ++c) {
            EXPECT_TRUE(near(last[1 + c], tip[c], 1e-5)) << model << " axis " << c;
            EXPECT_EQ(last[1 + c], last[4 + c]) << "the deepest element is dor-info's tip";
        }
        EXPECT_GT(length, 0.01);
    }
}

TEST(DorSim, TheSameCommandWritesTheSameBytesToAFileAsToTheOutput)
{
    const std::string args = kModel + " --seconds 2 --fps 30 --probe top --probe 7 --set shiverApply=1";
    const ToolRun a = sim(args), b = sim(args);
    ASSERT_EQ(a.status, 0);
    EXPECT_EQ(a.out, b.out);
    const std::string csv = testing::TempDir() + "dor_sim_test_" + std::to_string(getpid()) + ".csv";
    const ToolRun c = sim(args + " --csv " + csv);
    ASSERT_EQ(c.status, 0);
    EXPECT_TRUE(c.out.empty());
    EXPECT_EQ(readFile(csv), a.out);
}

TEST(DorSim, SetAndAtChangeParametersBeforeTheRunAndAtTheirTime)
{
    // Without wind the tree stays at rest.
    const ToolRun calm = sim(kModel + " --seconds 0.4 --probe top --probe 1 --set windVelocity=0");
    ASSERT_EQ(calm.status, 0) << calm.err;
    const Csv still = parseCsv(calm.out);
    for (const auto& row : still.rows)
        for (int c = 1; c <= 6; ++c)
            EXPECT_EQ(row[c], still.rows.front()[c]);

    // The wind released at t = 0.2 s: the same motion up to then, another after.
    const ToolRun steady = sim(kModel + " --seconds 0.6 --probe top --wind-probe 0,0,0");
    const ToolRun released = sim(kModel + " --seconds 0.6 --probe top --wind-probe 0,0,0 --at 0.2:windVelocity=0");
    ASSERT_EQ(released.status, 0) << released.err;
    const Csv a = parseCsv(steady.out), b = parseCsv(released.out);
    ASSERT_EQ(a.rows.size(), 15u);
    ASSERT_EQ(b.rows.size(), 15u);
    for (size_t k = 0; k < 5; ++k)  // rows at 0.04 .. 0.2
        EXPECT_EQ(a.rows[k], b.rows[k]) << k;
    EXPECT_NE(a.rows[5][1], b.rows[5][1]);
    EXPECT_EQ(b.rows[4][4], 4.0);  // the wind probe sees the change at its time
    EXPECT_EQ(b.rows[5][4], 0.0);

    // A level-of-detail change is applied as the panel applies it: with every
    // segment frozen from the start the trunk does not bend (the leaves still
    // turn into the wind).
    const ToolRun frozen = sim(kModel + " --seconds 0.2 --probe 1 --at 0:bendMaxForward=0");
    ASSERT_EQ(frozen.status, 0) << frozen.err;
    const Csv f = parseCsv(frozen.out);
    for (int c = 1; c <= 3; ++c)
        EXPECT_EQ(f.rows.back()[c], still.rows.front()[3 + c]);
    const Csv swaying = parseCsv(sim(kModel + " --seconds 0.2 --probe 1").out);
    EXPECT_NE(swaying.rows.back()[1], still.rows.front()[4]);
}

// The wind field through --set and --at: the probes see a wind that changes
// from frame to frame and from point to point once it is on, the same bytes
// every run, and the uniform wind before it is switched on.
TEST(DorSim, WindProbesSampleTheWindField)
{
    const std::string run = kModel + " --seconds 0.8 --wind-probe 0,0,2 --wind-probe 3,1,2 --at 0.4:windTurbulence=1 --set windGusts=0";
    const ToolRun a = sim(run), b = sim(run);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(a.out, b.out);
    const Csv csv = parseCsv(a.out);
    ASSERT_EQ(csv.rows.size(), 20u);
    for (size_t k = 0; k < 10; ++k) {  // 0.04 .. 0.4 s: uniform
        EXPECT_EQ(csv.rows[k][1], 4.0) << k;
        EXPECT_EQ(csv.rows[k][4], 4.0) << k;
    }
    for (size_t k = 10; k < 20; ++k)  // the field: two points, two winds
        EXPECT_NE(csv.rows[k][1], csv.rows[k][4]) << k;
    EXPECT_NE(csv.rows[10][1], csv.rows[19][1]);  // and it moves on
}

// --wind PRESET is its settings: the same rows as the preset's --set list.
TEST(DorSim, WindPresetIsItsSettings)
{
    const std::string args = kModel + " --seconds 0.4 --probe top --wind-probe 0,0,1";
    const ToolRun preset = sim(args + " --wind gusty");
    const ToolRun sets = sim(args + " --set windVelocity=5 --set windTurbulence=1 --set turbulenceIntensity=0.2"
                                    " --set turbulenceScale=5 --set windGusts=1 --set gustStrength=0.8"
                                    " --set gustInterval=12");
    ASSERT_EQ(preset.status, 0) << preset.err;
    EXPECT_EQ(preset.out, sets.out);
    const Csv csv = parseCsv(preset.out);
    ASSERT_EQ(csv.rows.size(), 10u);
    EXPECT_NE(csv.rows[3][4], csv.rows[9][4]) << "the wind varies";
}

// --model physical is --set bendingModel=1, --fixed-rate HZ is --set
// fixedRate=HZ; each changes the motion, and the physical model's motion
// at 30 frames/s is that at 60 frames/s on every other row.
TEST(DorSim, ModelAndFixedRateAreTheirSettings)
{
    const std::string args = kModel + " --seconds 0.4 --probe top --probe deepest";
    const ToolRun classic = sim(args + " --fps 60");
    const ToolRun physical = sim(args + " --fps 60 --model physical");
    const ToolRun set = sim(args + " --fps 60 --set bendingModel=1");
    ASSERT_EQ(physical.status, 0) << physical.err;
    EXPECT_EQ(physical.out, set.out);
    EXPECT_NE(physical.out, classic.out);
    EXPECT_EQ(sim(args + " --fps 60 --model physical --model classic").out, classic.out);

    const Csv at60 = parseCsv(physical.out), at30 = parseCsv(sim(args + " --fps 30 --model physical").out);
    ASSERT_EQ(at60.rows.size(), 24u);
    ASSERT_EQ(at30.rows.size(), 12u);
    for (size_t k = 0; k < at30.rows.size(); ++k)
        for (size_t c = 1; c < at30.rows[k].size(); ++c)
            EXPECT_TRUE(near(at30.rows[k][c], at60.rows[2 * k + 1][c], 1e-6)) << "row " << k << " column " << c;

    const ToolRun fixed = sim(args + " --fps 60 --fixed-rate 30");
    ASSERT_EQ(fixed.status, 0) << fixed.err;
    EXPECT_EQ(fixed.out, sim(args + " --fps 60 --set fixedRate=30").out);
    EXPECT_NE(fixed.out, classic.out);
}

TEST(DorSim, BadCommandLinesAreRefusedWithStatusTwoAndMissingFilesWithOne)
{
    struct Case {
        const char* arguments;
        int status;
        const char* message;
    };
    const std::string model = kModel + " ";
    const Case cases[] = {
        {"--set windSpeed=3", 2, "unknown parameter 'windSpeed'"},
        {"--set windVelocity=fast", 2, "bad value 'fast' for parameter 'windVelocity'"},
        {"--set windVelocity=500", 2, "bad value '500' for parameter 'windVelocity'"},
        {"--set shiverApply=2", 2, "'shiverApply'"},
        {"--set windVelocity", 2, "is not NAME=VALUE"},
        {"--at 1:nothing=1", 2, "unknown parameter 'nothing'"},
        {"--at x:windVelocity=1", 2, "--at needs T:NAME=VALUE"},
        {"--at -1:windVelocity=1", 2, "--at needs T:NAME=VALUE"},
        {"--fps 0", 2, "--fps needs a frame rate above 0"},
        {"--seconds -2", 2, "--seconds needs a time"},
        {"--seconds", 2, "--seconds needs a value"},
        {"--probe 0", 2, "--probe 0 names no element"},
        {"--probe 999999", 2, "--probe 999999 names no element"},
        {"--probe trunk", 2, "--probe trunk names no element"},
        {"--wind-probe 1,2", 2, "--wind-probe needs a point"},
        {"--speed 3", 2, "unknown option '--speed'"},
        {"--wind breeze", 2, "--wind needs one of calm, gusty, storm, not 'breeze'"},
        {"--model modal", 2, "--model needs classic or physical, not 'modal'"},
        {"--fixed-rate fast", 2, "bad value 'fast' for parameter 'fixedRate'"},
        {"--fixed-rate -5", 2, "bad value '-5' for parameter 'fixedRate'"},
        {"other.tre", 2, "more than one tree file"},
        {"--csv /nonexistent/dir/out.csv", 1, "cannot write /nonexistent/dir/out.csv"},
        {"--gltf-fps 24", 2, "--gltf-fps needs --gltf OUT.glb"},
        {"--gltf out.glb --gltf-fps 0", 2, "--gltf-fps needs a sample rate above 0"},
        {"--gltf out.glb --gltf-fps x", 2, "--gltf-fps needs a sample rate above 0"},
        {"--gltf out.glb --seconds 1000 --gltf-fps 5000", 2, "more than 4e6 animation samples"},
        {"--seconds 0.1 --gltf /nonexistent/dir/out.glb", 1, "cannot write /nonexistent/dir/out.glb"},
    };
    for (const Case& c : cases) {
        const ToolRun r = sim(model + c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
        EXPECT_TRUE(r.err.rfind("ERROR", 0) == 0 || r.err.find("\nERROR") != std::string::npos) << c.arguments;
    }
    const ToolRun none = sim("");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("ERROR: no tree file given"), std::string::npos);
    EXPECT_NE(none.err.find("usage: dor-sim"), std::string::npos);
    for (const std::string& missing : {kAssets + "missing.tre", kAssets + "MBS.vert"}) {
        const ToolRun r = sim(missing + " --seconds 1");
        EXPECT_EQ(r.status, 1) << missing;
        EXPECT_NE(r.err.find("does not load"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

}  // namespace
