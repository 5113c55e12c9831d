// The graphical start-up sequence, the main loop and the shutdown.
#include <GL/glew.h>  // before any other GL header

#include "app/startup.h"

#include <GL/freeglut.h>
#include <imgui.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "shell/startup_core.h"
#include "shell/timer.h"
#include "app/video_capture.h"
#include "app/viewport.h"
#include "app/windows.h"
#include "panel/control_panel.h"
#include "render/display_options.h"
#include "render/shader_path.h"
#include "render/tree_graphics_gl.h"
#include "tree/tree_graphics.h"

namespace {

bool shutDown = false;

// exit() (the quit keys, the panel's "Quit") ends the process at once: no
// clean-up may run from the handlers that follow, which can destroy the
// windows and call their close callbacks. Registered last, so it runs first.
void exitWithoutCleanUp()
{
    shutDown = true;
}

// GLUT never sees the command line: it gets a program name only.
void initGlut()
{
    static char programName[] = "dor";
    static char* fakeArgv[] = {programName, nullptr};
    int fakeArgc = 1;
    glutInit(&fakeArgc, fakeArgv);
    // Closing a window ends the main loop instead of the process, so that the
    // shutdown runs.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
}

}  // namespace

void startDor(int argc, char** argv)
{
    takeOptions(argc, argv);
    takeFileName(argc, argv);

    initGlut();
    createWindows();
    installTreeGraphics();
    printf("Using GL version %s\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    printf("Using GLEW version %s\n", reinterpret_cast<const char*>(glewGetString(GLEW_VERSION)));
    GLenum glewResult = glewInit();
    initOpenGL();
    createControlPanel();
    printf("Using ImGui version: %s\n", IMGUI_VERSION);
    if (glewResult != GLEW_OK)
        printf("Error: %s\n", reinterpret_cast<const char*>(glewGetErrorString(glewResult)));
    testBufferObjects();
    testShaders();
    if (glslReady && bufferObjectsReady)
        initGLSL();

    createAndLoadTree();
    initTimer();
    atexit(exitWithoutCleanUp);
}

void runMainLoop()
{
    glutMainLoop();
}

bool runFrames(int n)
{
    long target = framesDisplayed + n;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10 + n / 10);
    while (framesDisplayed < target && std::chrono::steady_clock::now() < deadline) {
        // The idle callback is GLUT's main loop's; glutMainLoopEvent alone
        // does not call it, so post both windows' redisplays here.
        glutPostWindowRedisplay(controlsWindow);
        idle();
        glutMainLoopEvent();
    }
    return framesDisplayed >= target;
}

void shutdownDor()
{
    if (shutDown)
        return;
    shutDown = true;
    if (viewportWindow != 0)
        checkViewportContext();
    stopVideoRecording();
    releaseTree();
    releaseWhiteTexture();
    if (glslAvailable)
        cleanUpGLSL();
    fflush(stdout);
}

void windowClosed()
{
    shutdownDor();
}
