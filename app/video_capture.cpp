// The viewer's half of recording a video (see video_capture.h).
#include <GL/glew.h>  // before any other GL header

#include "app/video_capture.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "app/viewport_readback.h"
#include "shell/timer.h"
#include "shell/video_recorder.h"

namespace {

CVideoRecorder videoRecorder;
bool recordingOver = false;  // finished, failed or stopped: the viewer runs on as usual
std::vector<uint8_t> frame;  // the video's frame, RGB, rows from the bottom

// The viewport's clear colour, 0.9 grey, as 8-bit samples.
constexpr uint8_t BACKGROUND = 230;

bool recordingWanted()
{
    return !videoRequest.path.empty() && !recordingOver;
}

// Seconds of wall time, for the progress lines.
double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

float animationStep()
{
    return recordingWanted() ? float(1.0 / videoRequest.fps) : timeStep;
}

void captureVideoFrame()
{
    if (!recordingWanted())
        return;
    const int windowWidth = glutGet(GLUT_WINDOW_WIDTH), windowHeight = glutGet(GLUT_WINDOW_HEIGHT);
    if (!videoRecorder.recording) {
        if (!videoRecorder.start(videoRequest, evenVideoSize(windowWidth), evenVideoSize(windowHeight),
                                 wallSeconds())) {
            recordingOver = true;
            return;
        }
        frame.assign(size_t(videoRecorder.width) * size_t(videoRecorder.height) * 3, BACKGROUND);
    }
    const int width = videoRecorder.width, height = videoRecorder.height;
    const VideoCrop crop = centredCrop(windowWidth, windowHeight, width, height);
    if (crop.width != width || crop.height != height)
        std::fill(frame.begin(), frame.end(), BACKGROUND);
    if (crop.width > 0)
        readViewportPixels(crop.windowX, crop.windowY, crop.width, crop.height,
                           &frame[(size_t(crop.frameY) * size_t(width) + size_t(crop.frameX)) * 3], width);
    if (!videoRecorder.addFrame(frame.data(), wallSeconds())) {
        recordingOver = true;
        return;
    }
    if (videoRecorder.complete()) {
        recordingOver = true;
        videoRecorder.finish();
        // Leaving the loop destroys the windows, whose close callback runs
        // the shutdown.
        glutLeaveMainLoop();
    }
}

void stopVideoRecording()
{
    if (videoRecorder.recording)
        videoRecorder.finish();
    recordingOver = true;
}

int videoExitStatus()
{
    return videoRecorder.failed ? 1 : 0;
}
