// controlCallback without any window: every id's action on a small model
// loaded from a temporary file, on the live parameters and on the camera.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "shell/startup_core.h"
#include "shell/statistics.h"
#include "shell/timer.h"
#include "app/viewport.h"
#include "common/near.h"
#include "elements/segment.h"
#include "panel/control_panel.h"
#include "parameters/parameters.h"
#include "render/shader_path.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"
#include "wind/wind.h"

namespace {

// A trunk that forks into two branches, one of them with a leaf; the mesh is
// generated. segments: 3 (+ the root's none), leaves: 1.
const char* FORK_TRE =
    "P 0 0 0\n"
    "M bark\n"
    "tex missing.png\n"
    "a 0.2 0.2 0.2\n"
    "b 0.8 0.8 0.8\n"
    "c 0 0 0\n"
    "d 0 0 0\n"
    "e 10\n"
    "S 3 0.3 0 0 1 0 2 1\n"
    "S 2 0.2 1 0 1 1 1 2\n"
    "L 0 1 1 1 3\n"
    "S 2 0.2 -1 0 1 1 0 4\n";

// One straight segment.
const char* STICK_TRE =
    "P 0 0 0\n"
    "S 4 0.2 0 0 1 0 0 1\n";

std::string writeModel(const std::string& dir, const char* name, const char* text)
{
    std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
}

class ControlCallbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(treeGraphics, nullptr);  // no GL in this program
        resetLiveParameters();
        glslAvailable = hardwareAcceleration = false;
        timeStep = 0.04f;
        treeWind = new CWind();
        theTree = new CTree(treeWind);
        dir = (std::filesystem::temp_directory_path() / ("dor-panel-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(dir);
        fork = writeModel(dir, "fork.tre", FORK_TRE);
        stick = writeModel(dir, "stick.tre", STICK_TRE);
    }
    void TearDown() override
    {
        delete theTree;
        theTree = nullptr;
        delete treeWind;
        treeWind = nullptr;
        resetLiveParameters();
        glslAvailable = hardwareAcceleration = false;
        lightIntensitySpinnerEnabled = true;
        std::filesystem::remove_all(dir);
    }

    void loadFork()
    {
        std::snprintf(treeFileName, TREE_FILE_NAME_SIZE, "%s", fork.c_str());
        controlCallback(ID_RELOAD);
        ASSERT_EQ(theTree->segmentCount, 3u);
    }
    // The tree's pose: every segment's direction and frame, in pre-order.
    static void collectPose(const CTreeElement* e, std::vector<double>& out)
    {
        auto* s = dynamic_cast<const CSegment*>(e);
        if (!s)
            return;
        out.insert(out.end(), {s->direction.x, s->direction.y, s->direction.z});
        for (const auto& row : s->modelTransform.m)
            out.insert(out.end(), row, row + 4);
        for (uint32_t i = 0; i < s->childCount; ++i)
            if (s->children[i])
                collectPose(s->children[i], out);
    }
    std::vector<double> pose() const
    {
        std::vector<double> out;
        if (theTree->trunk())
            collectPose(theTree->trunk(), out);
        return out;
    }
    std::vector<double> restPose()
    {
        theTree->reset();
        return pose();
    }
    void bend(int steps = 20)
    {
        for (int i = 0; i < steps; ++i)
            theTree->animate(timeStep);
    }
    static double distance(const std::vector<double>& a, const std::vector<double>& b)
    {
        EXPECT_EQ(a.size(), b.size());
        double d = 0;
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
            d = std::max(d, std::fabs(a[i] - b[i]));
        return d;
    }

    std::string dir, fork, stick;
};

}  // namespace

TEST_F(ControlCallbackTest, ReloadAndFileLoadTreeFileNameAndFormatStatistics)
{
    std::snprintf(treeFileName, TREE_FILE_NAME_SIZE, "%s", fork.c_str());
    controlCallback(ID_RELOAD);
    EXPECT_EQ(theTree->segmentCount, 3u);
    EXPECT_EQ(theTree->leafCount, 1u);
    EXPECT_NE(std::strstr(segmentsText, "3  branch segments"), nullptr) << segmentsText;
    EXPECT_NE(std::strstr(leavesText, "1  leaves"), nullptr) << leavesText;

    // "File" (307) does the same as "Reload file": the new name replaces the model.
    std::snprintf(treeFileName, TREE_FILE_NAME_SIZE, "%s", stick.c_str());
    controlCallback(ID_FILE);
    EXPECT_EQ(theTree->segmentCount, 1u);
    EXPECT_EQ(theTree->leafCount, 0u);
    EXPECT_NE(std::strstr(segmentsText, "1  branch segments"), nullptr) << segmentsText;

    // Reloading the same file again gives the same model, not a doubled one.
    controlCallback(ID_RELOAD);
    EXPECT_EQ(theTree->segmentCount, 1u);

    // A name that is not a "tre" file leaves the current model in place.
    std::snprintf(treeFileName, TREE_FILE_NAME_SIZE, "%s", "model.obj");
    testing::internal::CaptureStdout();
    controlCallback(ID_RELOAD);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("ERROR"), std::string::npos) << out;
    EXPECT_EQ(theTree->segmentCount, 1u);
    EXPECT_NE(std::strstr(segmentsText, "1  branch segments"), nullptr) << segmentsText;
}

TEST_F(ControlCallbackTest, CommittedFileNameReloadsAtOnceAndLongNamesAreRefused)
{
    ASSERT_TRUE(commitFileName(fork.c_str()));
    EXPECT_STREQ(treeFileName, fork.c_str());
    EXPECT_EQ(theTree->segmentCount, 3u);

    // 299 characters fit (the file does not exist: the loader says so, the
    // name is taken all the same).
    std::string longest(TREE_FILE_NAME_SIZE - 5, 'a');
    longest += ".tre";
    ASSERT_EQ(longest.size(), TREE_FILE_NAME_SIZE - 1);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(commitFileName(longest.c_str()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::string(treeFileName), longest);

    // 300 or more: refused with an ERROR line, the name and the model stay.
    ASSERT_TRUE(commitFileName(fork.c_str()));
    for (std::size_t n : {TREE_FILE_NAME_SIZE, TREE_FILE_NAME_SIZE + 500}) {
        std::string tooLong(n - 4, 'b');
        tooLong += ".tre";
        testing::internal::CaptureStdout();
        EXPECT_FALSE(commitFileName(tooLong.c_str()));
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.rfind("ERROR", 0), 0u) << out;
        EXPECT_STREQ(treeFileName, fork.c_str());
        EXPECT_EQ(theTree->segmentCount, 3u);
    }
}

TEST_F(ControlCallbackTest, ResetTreeLeavesItOneStepFromRest)
{
    loadFork();
    std::vector<double> rest = restPose();
    bend();
    std::vector<double> bent = pose();
    ASSERT_GT(distance(bent, rest), 1e-3);  // the wind bends the tree

    controlCallback(ID_RESET_TREE);
    std::vector<double> afterReset = pose();
    // One animation step from the rest pose, computed on the side.
    theTree->reset();
    theTree->animate(timeStep);
    EXPECT_EQ(distance(afterReset, pose()), 0.0);
    EXPECT_GT(distance(afterReset, rest), 0.0);  // not exactly at rest
    EXPECT_LT(distance(afterReset, rest), distance(bent, rest));
}

// Choosing the other bending model shows the tree at rest at once, and the
// next frame animates the new model from there, not from a reset of its own.
TEST_F(ControlCallbackTest, SwitchingTheBendingModelResetsTheTree)
{
    loadFork();
    std::vector<double> rest = restPose();
    bend();
    ASSERT_GT(distance(pose(), rest), 1e-3);
    bendingModel = 1;
    controlCallback(ID_BENDING_MODEL);
    EXPECT_EQ(distance(pose(), rest), 0.0);
    bend(10);
    std::vector<double> physical = pose();
    EXPECT_GT(distance(physical, rest), 0.0);
    bendingModel = 0;
    controlCallback(ID_BENDING_MODEL);
    EXPECT_EQ(distance(pose(), rest), 0.0);
}

TEST_F(ControlCallbackTest, FrameStepAnimatesOnlyInFrameByFrameMode)
{
    loadFork();
    restPose();
    std::vector<double> before = pose();
    frameByFrameMode = 0;
    controlCallback(ID_FRAME_STEP);
    EXPECT_EQ(distance(pose(), before), 0.0);

    frameByFrameMode = 1;
    controlCallback(ID_FRAME_BY_FRAME);  // the mode's own id does nothing
    EXPECT_EQ(distance(pose(), before), 0.0);
    controlCallback(ID_FRAME_STEP);
    std::vector<double> one = pose();
    EXPECT_GT(distance(one, before), 0.0);
    controlCallback(ID_FRAME_STEP);
    EXPECT_GT(distance(pose(), one), 0.0);  // each press one more step
}

TEST_F(ControlCallbackTest, ResetCameraAndResetWindfield)
{
    cameraRotX = 120;
    cameraRotY = -40;
    cameraDistance = 3;
    cameraHeight = -2;
    controlCallback(ID_RESET_CAMERA);
    EXPECT_EQ(cameraRotX, 0.0);
    EXPECT_EQ(cameraRotY, 0.0);
    EXPECT_EQ(cameraDistance, 16.0);
    EXPECT_EQ(cameraHeight, 5.0);

    // The velocity goes back to 4.0; the rotation is not reset.
    windVelocity = 37.5f;
    float turned[16] = {0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::memcpy(windRotation, turned, sizeof turned);
    controlCallback(ID_RESET_WIND);
    EXPECT_EQ(windVelocity, 4.0f);
    EXPECT_EQ(std::memcmp(windRotation, turned, sizeof turned), 0);
}

TEST_F(ControlCallbackTest, EveryLodSpinnerReappliesTheLevelOfDetailAndResetsThePose)
{
    loadFork();
    std::vector<double> rest = restPose();
    for (int id = ID_BEND_EVERY_NTH_FORWARD; id <= ID_ASSERT_BEND_MIN_REVERSE; ++id) {
        bend();
        ASSERT_GT(distance(pose(), rest), 1e-3);
        controlCallback(id);
        EXPECT_EQ(distance(pose(), rest), 0.0) << "id " << id;
    }
    // The new level of detail takes effect: with no depth allowed to bend
    // the wind moves nothing.
    bendMaxForward = 0;
    controlCallback(ID_BEND_MAX_FORWARD);
    bend();
    EXPECT_LT(distance(pose(), rest), 1e-6);
}

TEST_F(ControlCallbackTest, LightingGreysOutTheIntensitySpinner)
{
    lightingEnabled = 0;
    controlCallback(ID_LIGHTING);  // no GL context: only the panel state changes
    EXPECT_FALSE(lightIntensitySpinnerEnabled);
    lightingEnabled = 1;
    controlCallback(ID_LIGHTING);
    EXPECT_TRUE(lightIntensitySpinnerEnabled);
}

TEST_F(ControlCallbackTest, AccelerationButtonTogglesOnlyWithGlsl)
{
    // No shader support: nothing happens, the label stays.
    glslAvailable = false;
    controlCallback(ID_ACCELERATION);
    EXPECT_FALSE(hardwareAcceleration);
    EXPECT_STREQ(accelerationButtonLabel(), "Activate hardware acceleration");

    // After a successful initGLSL the path is on; presses alternate, the
    // label naming what the next press does.
    glslAvailable = hardwareAcceleration = true;
    EXPECT_STREQ(accelerationButtonLabel(), "Deactivate hardware acceleration");
    controlCallback(ID_ACCELERATION);
    EXPECT_FALSE(hardwareAcceleration);
    EXPECT_STREQ(accelerationButtonLabel(), "Activate hardware acceleration");
    controlCallback(ID_ACCELERATION);
    EXPECT_TRUE(hardwareAcceleration);
    EXPECT_STREQ(accelerationButtonLabel(), "Deactivate hardware acceleration");
}

TEST_F(ControlCallbackTest, OtherIdsAndAMissingTreeChangeNothing)
{
    loadFork();
    restPose();
    bend(3);
    std::vector<double> before = pose();
    for (int id : {0, (int)ID_PROJECTION, (int)ID_WIND_ROTATION, 1, 299, 314, 328, -5})
        controlCallback(id);
    EXPECT_EQ(distance(pose(), before), 0.0);
    EXPECT_EQ(windVelocity, 4.0f);
    EXPECT_EQ(cameraDistance, 16.0);

    // Without a tree the tree's actions are skipped; the statistics still format.
    delete theTree;
    theTree = nullptr;
    frameByFrameMode = 1;
    for (int id : {ID_RELOAD, ID_FILE, ID_RESET_TREE, ID_FRAME_STEP, ID_BEND_MIN_FORWARD})
        controlCallback(id);
    EXPECT_NE(std::strstr(segmentsText, " 0  branch segments"), nullptr) << segmentsText;
}
