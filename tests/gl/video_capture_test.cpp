// Recording inside the running viewer: the fixed step, the viewport read
// back into frames of the first size when the window is resized, and the
// read-back's own GL state.
#include "gl/gl_harness.h"  // gtest before X11, whose macros clash with it

#include <GL/glew.h>  // before any other GL header

#include <GL/freeglut.h>

#include <filesystem>

#include "app/startup.h"
#include "app/video_capture.h"
#include "app/viewport_readback.h"
#include "app/windows.h"
#include "common/near.h"
#include "image/png_decoder.h"
#include "shell/timer.h"
#include "shell/video_recorder.h"

namespace {

// Runs frames until the viewport window has the size asked for.
bool resizeViewport(int width, int height)
{
    glutSetWindow(viewportWindow);
    glutReshapeWindow(width, height);
    for (int k = 0; k < 200; ++k) {
        runFrames(1);
        glutSetWindow(viewportWindow);
        if (glutGet(GLUT_WINDOW_WIDTH) == width && glutGet(GLUT_WINDOW_HEIGHT) == height)
            return true;
    }
    return false;
}

}  // namespace

// The read-back of a part of the viewport into a larger frame, in place,
// gives the same pixels as reading the whole, and leaves the pack state as
// it found it.
TEST_F(ViewerTest, ReadBackFillsPartOfAFrameAndRestoresThePackState)
{
    const ViewportImage whole = renderFrames(2);
    checkViewportContext();
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_PACK_ROW_LENGTH, 3);
    glReadBuffer(GL_FRONT);

    // A 10 x 6 frame holding the viewport's 4 x 3 pixels at (100, 200) at
    // its position (5, 2).
    std::vector<uint8_t> frame(10 * 6 * 3, 1);
    readViewportPixels(100, 200, 4, 3, &frame[(2 * 10 + 5) * 3], 10);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            for (int c = 0; c < 3; ++c) {
                const bool inside = x >= 5 && x < 9 && y >= 2 && y < 5;
                const uint8_t expected =
                    inside ? whole.rgb[(size_t(200 + y - 2) * whole.width + size_t(100 + x - 5)) * 3 + c] : 1;
                EXPECT_EQ(frame[(size_t(y) * 10 + x) * 3 + c], expected) << x << " " << y;
            }

    GLint alignment = 0, rowLength = 0, readBuffer = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(rowLength, 3);
    EXPECT_EQ(readBuffer, GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadBuffer(GL_BACK);
}

// While a recording runs the step is 1/F, whatever the timer measures; the
// frames keep the first size when the viewport is resized, its centre
// cropped out and, where the window became narrower, the background around
// it. Here without ffmpeg: the frames are PNG files.
TEST_F(ViewerTest, RecordingStepsOneOverFAndKeepsTheFirstSize)
{
    glutSetWindow(viewportWindow);
    const int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
    ASSERT_EQ(width % 2, 0);
    ASSERT_EQ(height % 2, 0);
    const std::string out = testDir() + "/resized.mp4";
    videoRequest = VideoRequest();
    videoRequest.path = out;
    videoRequest.fps = 8;
    videoRequest.seconds = 100.0;
    videoRequest.frames = 800;  // more than this test takes: it stops the recording itself
    timeStep = 0.5f;
    EXPECT_TRUE(near(animationStep(), 0.125, 1e-7));

    ::testing::internal::CaptureStdout();
    runFrames(1);
    EXPECT_TRUE(resizeViewport(width / 2, height));  // narrower: bands at the sides
    runFrames(1);
    stopVideoRecording();
    const std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find("WARNING: recording stopped after "), std::string::npos) << console;
    timeStep = 0.25f;
    EXPECT_TRUE(near(animationStep(), 0.25, 1e-7));  // the timer's step again
    videoRequest = VideoRequest();

    // The last frame written: the first size, the half-width window in its
    // middle, background at both sides.
    long last = 0;
    while (std::filesystem::exists(pngFramePath(out, last + 1)))
        ++last;
    ASSERT_GE(last, 1);
    std::vector<unsigned char> bytes, rgba;
    loadFileBytes(pngFramePath(out, last).c_str(), bytes);
    ASSERT_EQ(decodePngImage(bytes, rgba), 0);
    ASSERT_EQ(int(pngWidth()), width);
    ASSERT_EQ(int(pngHeight()), height);
    auto isBackground = [&](int x, int y) {  // y from the top, as PNG rows go
        const unsigned char* p = &rgba[(size_t(y) * width + x) * 4];
        return p[0] == 230 && p[1] == 230 && p[2] == 230;
    };
    int sideBackground = 0, middleOther = 0;
    for (int y = 0; y < height; y += 4) {
        sideBackground += isBackground(width / 8, y) + isBackground(width - 1 - width / 8, y);
        middleOther += !isBackground(width / 2, y);
    }
    EXPECT_EQ(sideBackground, 2 * ((height + 3) / 4));
    EXPECT_GT(middleOther, 0);  // the window's picture: ground, overlay, quads

    EXPECT_TRUE(resizeViewport(width, height));
}
