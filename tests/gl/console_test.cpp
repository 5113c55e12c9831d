// The real dor binary under the test's X server: the console lines of a
// normal start in their order, the shutdown when a window is closed, and the
// quit key that ends the process at once.
#include "gl/gl_harness.h"  // gtest before X11, whose macros clash with it

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct DorRun {
    pid_t pid = -1;
    std::string outputFile;
};

// Starts dor with its standard output in a file, in assets/.
DorRun launchDor(const std::vector<std::string>& arguments, const std::string& name)
{
    DorRun run;
    run.outputFile = testDir() + "/" + name + ".out";
    run.pid = fork();
    if (run.pid == 0) {
        FILE* out = freopen(run.outputFile.c_str(), "w", stdout);
        if (!out || chdir(DOR_SOURCE_DIR "/assets") != 0)
            _exit(127);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(DOR_EXECUTABLE));
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(DOR_EXECUTABLE, argv.data());
        _exit(127);
    }
    return run;
}

std::vector<std::string> lines(const std::string& file)
{
    std::ifstream in(file);
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

bool waitForLine(const DorRun& run, const std::string& prefix, int seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const std::string& line : lines(run.outputFile))
            if (line.rfind(prefix, 0) == 0)
                return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// The exit status, or -1 if the process did not end in time (it is killed).
int waitForExit(const DorRun& run, int seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(run.pid, &status, WNOHANG) == run.pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(run.pid, SIGKILL);
    waitpid(run.pid, &status, 0);
    return -1;
}

// The top-level windows titled so; this process's own viewer has windows of
// the same titles, so a launched dor's window is the one not there before.
std::vector<Window> windowsTitled(Display* display, const char* title)
{
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> found;
    if (XQueryTree(display, root, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name) {
                if (strcmp(name, title) == 0)
                    found.push_back(children[i]);
                XFree(name);
            }
        }
        XFree(children);
    }
    return found;
}

Window newWindow(Display* display, const char* title, const std::vector<Window>& before)
{
    for (Window w : windowsTitled(display, title))
        if (std::find(before.begin(), before.end(), w) == before.end())
            return w;
    return 0;
}

// What a window manager sends when the user closes the window.
void sendDeleteWindow(Display* display, Window window)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

void sendKey(Display* display, Window window, KeySym key, unsigned int state = 0)
{
    XEvent event = {};
    event.xkey.type = KeyPress;
    event.xkey.display = display;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.keycode = XKeysymToKeycode(display, key);
    event.xkey.state = state;
    event.xkey.same_screen = True;
    event.xkey.x = event.xkey.y = 10;
    XSendEvent(display, window, True, KeyPressMask, &event);
    event.xkey.type = KeyRelease;
    XSendEvent(display, window, True, KeyReleaseMask, &event);
    XFlush(display);
}

// Each expected prefix must start a line after the line of the one before.
::testing::AssertionResult inOrder(const std::vector<std::string>& output,
                                   const std::vector<std::string>& expected)
{
    size_t at = 0;
    for (const std::string& prefix : expected) {
        while (at < output.size() && output[at].rfind(prefix, 0) != 0)
            ++at;
        if (at == output.size()) {
            std::ostringstream all;
            for (const std::string& line : output)
                all << "  " << line << "\n";
            return ::testing::AssertionFailure()
                   << "missing or out of order: \"" << prefix << "\" in\n" << all.str();
        }
        ++at;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(DorProcess, StartsInOrderAndShutsDownWhenTheViewportIsClosed)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    std::vector<Window> before = windowsTitled(display, "DOR viewport");
    std::vector<Window> controlsBefore = windowsTitled(display, "DOR controls");
    DorRun run = launchDor({}, "default");
    ASSERT_TRUE(waitForLine(run, "Timer: ", 60)) << "dor did not reach its main loop";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a few frames
    Window viewport = newWindow(display, "DOR viewport", before);
    ASSERT_NE(viewport, 0u);
    EXPECT_NE(newWindow(display, "DOR controls", controlsBefore), 0u);
    sendDeleteWindow(display, viewport);
    EXPECT_EQ(waitForExit(run, 30), 0);
    XCloseDisplay(display);

    std::vector<std::string> output = lines(run.outputFile);
    ASSERT_GE(output.size(), 2u);
    EXPECT_EQ(output[0], "DOR: No input file specified, using default.");
    EXPECT_EQ(output[1], "DOR: Visualizing file    prunus_cerasifera_nigra_reduced32.tre");
    EXPECT_TRUE(inOrder(output, {"Using GL version ", "Using GLEW version ",
                                 "Using ImGui version: 1.86", "Ready for buffer objects ",
                                 "Ready for GLSL", "initGLSL() .. ", "loadDataTre() .. ",
                                 "Timer: Using high resolution performance timer.",
                                 "CTree::cleanup() .. ", "cleanUpGLSL() .. "}));
    for (const std::string& line : output)
        EXPECT_EQ(line.find("wrong context"), std::string::npos) << line;
}

TEST(DorProcess, QuitKeyEndsAtOnceWithoutCleanUp)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const std::string model = testModelPath();
    std::vector<Window> before = windowsTitled(display, "DOR viewport");
    DorRun run = launchDor({model, "ignored.tre"}, "quit");
    ASSERT_TRUE(waitForLine(run, "Timer: ", 60));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // a few frames
    Window viewport = newWindow(display, "DOR viewport", before);
    ASSERT_NE(viewport, 0u);
    sendKey(display, viewport, XK_Q, ShiftMask);  // upper case: not a quit key
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    int status = 0;
    EXPECT_EQ(waitpid(run.pid, &status, WNOHANG), 0) << "\"Q\" ended dor";
    sendKey(display, viewport, XK_q);
    EXPECT_EQ(waitForExit(run, 30), 0);
    XCloseDisplay(display);

    std::vector<std::string> output = lines(run.outputFile);
    ASSERT_FALSE(output.empty());
    EXPECT_EQ(output[0], "DOR: Visualizing file    " + model);
    EXPECT_TRUE(inOrder(output, {"loadDataTre() .. ", "Loaded model " + model, "Timer: "}));
    for (const std::string& line : output)
        EXPECT_EQ(line.find("CTree::cleanup()"), std::string::npos) << "quit cleans nothing up";
}
