// The control panel under the test's X server: real pointer and key events
// from xdotool on the "DOR controls" window change the live parameters and
// the viewport; keys typed into the "File" field or while a spinner is
// dragged go to the panel, not to the quit key, also from the viewport;
// Shift, Ctrl and Alt act as held; the real dor binary ends with status 0 on
// "Quit" and on "q".
#include "gl/gl_harness.h"  // gtest before X11, whose macros clash with it

#include <GL/gl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "shell/startup_core.h"
#include "app/viewport.h"
#include "app/windows.h"
#include "common/near.h"
#include "panel/control_panel.h"
#include "panel/panel_input.h"
#include "parameters/parameters.h"
#include "tree/tree.h"

namespace {

std::string output(const std::string& command)
{
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return text;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    pclose(pipe);
    return text;
}

std::vector<std::string> controlsWindows()
{
    std::istringstream in(output("xdotool search --name '^DOR controls$' 2>/dev/null"));
    std::vector<std::string> ids;
    for (std::string id; in >> id;)
        ids.push_back(id);
    return ids;
}

// Runs xdotool, then lets the event loop take the events it sent.
// Sends synthetic input, waits until the X server has delivered it, and runs
// frames: at least `frames`, and on until the panel has taken every event
// (a loaded machine may deliver events later or take more frames for them).
void xdotool(const std::string& arguments, int frames = 6)
{
    ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    syncWithWindowSystem();
    ASSERT_TRUE(runFrames(frames));
    for (int extra = 0; panelInputWaiting() && extra < 500; ++extra)
        ASSERT_TRUE(runFrames(1));
}

// Centre of a widget's field (a little right of its left edge), in window pixels.
std::pair<int, int> field(const char* path, float fromLeft = 8.0f)
{
    float r[4] = {0, 0, 0, 0};
    EXPECT_TRUE(controlPanelItemRect(path, r)) << path;
    return {int(r[0] + fromLeft), int(0.5f * (r[1] + r[3]))};
}

// Pixels that differ between two frames, above the frame-rate line of the
// overlay (drawn at 10 % of the height; rows run from the bottom), whose
// digits change from frame to frame.
int differingPixels(const ViewportImage& a, const ViewportImage& b)
{
    if (a.width != b.width || a.height != b.height)
        return a.width * a.height;
    const size_t firstRow = size_t(a.height * 0.15);
    int n = 0;
    for (size_t i = firstRow * a.width * 3; i + 2 < a.rgb.size(); i += 3)
        if (a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2])
            ++n;
    return n;
}

// A dor process of its own, for what ends the process: its pid and its
// controls window, laid out as ours.
struct DorProcess {
    pid_t pid = -1;
    std::string window;
};

DorProcess startDorProcess()
{
    DorProcess dor;
    std::vector<std::string> before = controlsWindows();
    dor.pid = fork();
    if (dor.pid == 0) {
        if (!freopen("/dev/null", "w", stdout) || chdir(DOR_SOURCE_DIR "/assets") != 0)
            _exit(127);
        execl(DOR_EXECUTABLE, DOR_EXECUTABLE, testModelPath().c_str(), (char*)nullptr);
        _exit(127);
    }
    EXPECT_GT(dor.pid, 0);
    for (int i = 0; i < 200 && dor.window.empty(); ++i) {
        for (const std::string& id : controlsWindows())
            if (std::find(before.begin(), before.end(), id) == before.end())
                dor.window = id;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_FALSE(dor.window.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a few frames drawn
    return dor;
}

// The exit status once the process ends within seconds, or -1 (it is then
// killed).
int exitStatus(DorProcess& dor, double seconds = 5.0)
{
    int status = 0;
    for (int i = 0; i < int(seconds * 20); ++i) {
        if (waitpid(dor.pid, &status, WNOHANG) == dor.pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(dor.pid, SIGKILL);
    waitpid(dor.pid, nullptr, 0);
    return -1;
}

bool stillRunning(const DorProcess& dor)
{
    return waitpid(dor.pid, nullptr, WNOHANG) == 0;
}

std::string at(std::pair<int, int> p)
{
    return std::to_string(p.first) + " " + std::to_string(p.second);
}

std::string keysNotForPanel;
void recordKey(unsigned char key, int, int)
{
    keysNotForPanel += char(key);
}

// A quit key obeyed inside a test would end this process with status 0, as
// if all had passed: end it with status 1 instead.
void exitInsideATest()
{
    if (::testing::UnitTest::GetInstance()->current_test_info() != nullptr) {
        std::fprintf(stderr, "exit() called inside %s\n",
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::fflush(nullptr);
        _exit(1);
    }
}

class PanelTest : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        static bool guarded = std::atexit(exitInsideATest) == 0;
        ASSERT_TRUE(guarded);
        lightIntensitySpinnerEnabled = true;
        ASSERT_TRUE(runFrames(3));  // the panel lays out with the reset values
        std::vector<std::string> ids = controlsWindows();
        ASSERT_FALSE(ids.empty());
        window = ids.front();
        // The quit keys are recorded, not obeyed: this process is the viewer.
        keysNotForPanel.clear();
        keyNotForPanel = recordKey;
    }
    void TearDown() override
    {
        keyNotForPanel = keyboard;
        xdotool("keyup shift ctrl alt mouseup 1", 2);
    }
    void click(const char* path)
    {
        auto [x, y] = field(path);
        xdotool("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                " click 1");
    }
    // windVelocity's change by a drag of the "wind velocity" spinner 40
    // pixels to the right, with the given keys held (xdotool names).
    float dragVelocity(const std::string& held = "")
    {
        windVelocity = 4.0f;
        auto [x, y] = field("wind/wind velocity");
        xdotool("mousemove --window " + window + " " + at({x, y}), 4);
        if (!held.empty())
            xdotool("keydown " + held, 2);
        xdotool("mousedown 1", 2);
        for (int i = 1; i <= 8; ++i)
            xdotool("mousemove --window " + window + " " + at({x + 5 * i, y}), 2);
        xdotool("mouseup 1", 2);
        if (!held.empty())
            xdotool("keyup " + held, 2);
        return windVelocity - 4.0f;
    }
    std::string window;
};

}  // namespace

TEST_F(PanelTest, CheckboxSwitchesItsParameterAndTheViewportRedraws)
{
    ViewportImage with = renderFrames();
    click("Display options/Show scene elements");
    EXPECT_EQ(showSceneElements, 0);
    ViewportImage without = renderFrames();
    EXPECT_GT(differingPixels(with, without), 1000) << "the ground square should be gone";
    click("Display options/Show scene elements");
    EXPECT_EQ(showSceneElements, 1);
    // Back as before (the tree stands still in frame-by-frame mode).
    EXPECT_EQ(differingPixels(with, renderFrames()), 0);
}

TEST_F(PanelTest, ButtonRunsItsCallback)
{
    cameraDistance = 30.0;
    ViewportImage far = renderFrames();
    click("Camera control/Reset camera");
    EXPECT_EQ(cameraDistance, 16.0);
    EXPECT_GT(differingPixels(far, renderFrames()), 1000);

    click("Display options/Lighting");
    EXPECT_EQ(lightingEnabled, 0);
    EXPECT_FALSE(lightIntensitySpinnerEnabled);
    checkViewportContext();
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    click("Display options/Lighting");
    checkViewportContext();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
}

TEST_F(PanelTest, SpinnerFollowsAPointerDrag)
{
    auto [x, y] = field("wind/wind velocity");
    xdotool("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y));
    xdotool("mousedown 1");
    for (int i = 1; i <= 10; ++i)
        xdotool("mousemove --window " + window + " " + std::to_string(x + 5 * i) + " " + std::to_string(y), 2);
    xdotool("mouseup 1");
    // 50 pixels at 0.2 per pixel, less ImGui's few pixels of drag threshold.
    EXPECT_GT(windVelocity, 4.0f + 7.0f);
    EXPECT_LE(windVelocity, 4.0f + 10.0f + 1e-4f);
}

TEST_F(PanelTest, TypedFileNameGoesToTheFieldAndReloadsOnEnter)
{
    // The test model's name holds a "q": typed into the field it must not quit.
    std::string name = testModelPath();
    ASSERT_NE(name.find('q'), std::string::npos);
    std::strcpy(treeFileName, "");
    ASSERT_TRUE(runFrames(2));
    theTree->cleanup();
    ASSERT_TRUE(theTree->noModel);
    click("file/File");
    xdotool("type --delay 5 '" + name + "'", 10);
    EXPECT_STREQ(treeFileName, "");  // not before Enter
    xdotool("key Return", 6);
    EXPECT_EQ(std::string(treeFileName), name);
    EXPECT_FALSE(theTree->noModel);
    EXPECT_EQ(theTree->segmentCount, 1u);
}

// "q" typed with the click into "File", before the viewer draws its next
// frame (xdotool has sent it all before the frames run), goes into the field.
TEST_F(PanelTest, QuitKeyWithTheClickIntoFileGoesToTheField)
{
    std::strcpy(treeFileName, "a.tre");
    ASSERT_TRUE(runFrames(2));
    auto [x, y] = field("file/File", 2.0f);
    xdotool("mousemove --window " + window + " " + at({x, y}), 4);
    xdotool("click 1 key q", 6);
    EXPECT_EQ(keysNotForPanel, "");
    xdotool("key Return", 4);
    // Where the cursor lands depends on how far ImGui had scrolled the field
    // for an earlier, longer name: "q" is in front or at the end.
    std::string name = treeFileName;
    EXPECT_TRUE(name == "qa.tre" || name == "a.treq") << name;
    EXPECT_EQ(keysNotForPanel, "");
}

// freeglut reports Shift, Ctrl and Alt as keys of their own; ImGui sees each
// from its press to its release.
TEST_F(PanelTest, ModifiersActWhileHeldAndNotAfter)
{
    float plain = dragVelocity();
    ASSERT_GT(plain, 3.0f);
    float fast = dragVelocity("shift");
    EXPECT_TRUE(near(fast, 10.0 * plain, 0.05)) << fast << " against " << plain;
    float slow = dragVelocity("alt");
    EXPECT_LT(slow, 0.1f * plain);
    // After an Alt tap (and a Shift tap) the spinner moves as before.
    xdotool("key alt key shift", 3);
    EXPECT_TRUE(near(dragVelocity(), plain, 1e-4));

    // Ctrl+click opens the spinner's text entry, its text selected.
    click("Camera control/Reset camera");
    auto [x, y] = field("wind/wind velocity");
    xdotool("mousemove --window " + window + " " + at({x, y}) + " keydown ctrl click 1 keyup ctrl", 4);
    xdotool("type 7.5", 4);
    xdotool("key Return", 4);
    EXPECT_EQ(windVelocity, 7.5f);
    EXPECT_EQ(keysNotForPanel, "");
}

// Ctrl+A then a new name, ten times over: the old name is replaced every time.
TEST_F(PanelTest, CtrlAInFileSelectsTheWholeName)
{
    std::string name = testModelPath();
    for (int i = 0; i < 10; ++i) {
        std::strcpy(treeFileName, "old_name.tre");
        ASSERT_TRUE(runFrames(2));
        click("file/File");
        // Ctrl held, then "a" pressed, Ctrl let go and "a" released, all
        // within one frame, as people type quickly.
        xdotool("keydown ctrl", 2);
        xdotool("keydown a keyup ctrl keyup a", 2);
        xdotool("type --delay 2 '" + name + "'", 6);
        xdotool("key Return", 4);
        ASSERT_EQ(std::string(treeFileName), name) << "round " << i;
    }
    EXPECT_FALSE(theTree->noModel);
    EXPECT_EQ(keysNotForPanel, "");
}

// A name typed into "File" is taken when the field is left by a click on
// "Reload file", as on Enter.
TEST_F(PanelTest, LeavingTheFileFieldCommitsTheName)
{
    std::string name = testModelPath();
    std::strcpy(treeFileName, "");
    ASSERT_TRUE(runFrames(2));
    theTree->cleanup();
    click("file/File");
    xdotool("type --delay 2 '" + name + "'", 6);
    EXPECT_STREQ(treeFileName, "");
    click("file/Reload file");
    EXPECT_EQ(std::string(treeFileName), name);
    EXPECT_FALSE(theTree->noModel);
    EXPECT_EQ(theTree->segmentCount, 1u);
    EXPECT_EQ(keysNotForPanel, "");
}

TEST(DorPanel, QuitButtonEndsTheProcessWithStatusZero)
{
    startViewer();
    ASSERT_TRUE(runFrames(2));
    float quit[4];
    ASSERT_TRUE(controlPanelItemRect("Quit", quit));
    DorProcess dor = startDorProcess();
    ASSERT_FALSE(dor.window.empty());
    EXPECT_EQ(std::system(("xdotool windowraise " + dor.window + " mousemove --window " + dor.window + " " +
                           at({int(0.5f * (quit[0] + quit[2])), int(0.5f * (quit[1] + quit[3]))}) +
                           " click 1").c_str()),
              0);
    EXPECT_EQ(exitStatus(dor), 0) << "dor did not end on Quit";
}

// xdotool as a user types, into a dor process of its own: between commands
// a pause long enough for the viewer to draw frames.
void xdotoolAndWait(const std::string& arguments)
{
    EXPECT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// Without a window manager the keyboard follows the pointer: a spinner
// dragged out over the viewport gets the keys typed there, and "q" does not
// quit until the spinner is let go.
TEST(DorPanel, QuitKeyWhileASpinnerIsDraggedDoesNotQuit)
{
    startViewer();
    ASSERT_TRUE(runFrames(2));
    std::pair<int, int> spinner = field("wind/wind velocity");
    DorProcess dor = startDorProcess();
    ASSERT_FALSE(dor.window.empty());
    xdotoolAndWait("mousemove --window " + dor.window + " " + at(spinner) + " mousedown 1");
    for (int i = 1; i <= 20; ++i)
        xdotoolAndWait("mousemove_relative 30 0");  // past the controls' 460 pixels
    xdotoolAndWait("key q");
    EXPECT_TRUE(stillRunning(dor)) << "q quit while the spinner was dragged";
    xdotoolAndWait("mouseup 1");
    xdotoolAndWait("key q");  // over the viewport, nothing active
    EXPECT_EQ(exitStatus(dor), 0) << "q did not quit once the spinner was let go";
}
