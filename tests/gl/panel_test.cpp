// The control panel under the test's X server: real pointer and key events
// from xdotool on the "DOR controls" window change the live parameters and
// the viewport; keys typed into the "File" field go to the field, not to the
// quit key; the real dor binary ends with status 0 on "Quit".
#include "gl/gl_harness.h"  // gtest before X11, whose macros clash with it

#include <GL/gl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "shell/startup_core.h"
#include "app/viewport.h"
#include "app/windows.h"
#include "panel/control_panel.h"
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
void xdotool(const std::string& arguments, int frames = 6)
{
    ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(runFrames(frames));
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

class PanelTest : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        lightIntensitySpinnerEnabled = true;
        ASSERT_TRUE(runFrames(3));  // the panel lays out with the reset values
        std::vector<std::string> ids = controlsWindows();
        ASSERT_FALSE(ids.empty());
        window = ids.front();
    }
    void click(const char* path)
    {
        auto [x, y] = field(path);
        xdotool("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                " click 1");
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

TEST(DorPanel, QuitButtonEndsTheProcessWithStatusZero)
{
    startViewer();
    ASSERT_TRUE(runFrames(2));
    std::vector<std::string> before = controlsWindows();
    float quit[4];
    ASSERT_TRUE(controlPanelItemRect("Quit", quit));

    pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout) || chdir(DOR_SOURCE_DIR "/assets") != 0)
            _exit(127);
        execl(DOR_EXECUTABLE, DOR_EXECUTABLE, testModelPath().c_str(), (char*)nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    // The new process's controls window, laid out as ours.
    std::string window;
    for (int i = 0; i < 200 && window.empty(); ++i) {
        for (const std::string& id : controlsWindows())
            if (std::find(before.begin(), before.end(), id) == before.end())
                window = id;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(window.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a few frames drawn
    std::string at = std::to_string(int(0.5f * (quit[0] + quit[2]))) + " " +
                     std::to_string(int(0.5f * (quit[1] + quit[3])));
    EXPECT_EQ(std::system(("xdotool windowraise " + window + " mousemove --window " + window + " " + at +
                           " click 1").c_str()),
              0);
    int status = -1;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        status = -1;
    }
    if (status == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        FAIL() << "dor did not end on Quit";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
