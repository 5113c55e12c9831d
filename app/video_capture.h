// The viewer's half of recording a video: while a recording runs every frame
// animates by exactly 1/F s whatever the real frame rate, the viewport is read
// back after it is drawn and handed to the recorder (shell/video_recorder.h),
// and the main loop ends once the last frame is in.
#pragma once

// The time step of the next animation step, seconds: 1/F while a recording
// runs (or waits for its first frame), else the frame timer's timeStep.
float animationStep();
// After the frame is drawn, before the swap, on the viewport's context: the
// first call starts the recorder at the viewport's size (made even); every
// call reads the viewport back and adds the frame. The window keeps that
// first size: a resized viewport is cropped, centred, and where it is smaller
// the rest of the frame stays at the background grey. After the last frame
// the file is finished and the main loop left. Does nothing without a
// recording.
void captureVideoFrame();
// Shutdown: a recording cut short (a window closed) is closed as it stands.
void stopVideoRecording();
// The process's exit status as far as the recording goes: 1 after a failed
// one, else 0.
int videoExitStatus();
