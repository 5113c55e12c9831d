// The window-less half of recording a video: the request the command line
// makes (file, simulated seconds, frame rate) and the recorder that takes
// the viewport's frames and hands them to ffmpeg as an H.264 MP4 or, where
// ffmpeg is not on PATH, writes them as numbered PNG files.
#pragma once

#include <sys/types.h>

#include <csignal>

#include <cstdint>
#include <string>
#include <vector>

// What "--record OUT --seconds T [--fps F]" asks for. Checked by
// makeVideoRequest before the windows open.
struct VideoRequest {
    std::string path;       // OUT; empty: no recording
    double seconds = 0.0;   // simulated seconds
    int fps = 30;           // frames per simulated second; each frame animates 1/fps s
    long frames = 0;        // round(seconds x fps), at least 1
    std::string ffmpeg;     // ffmpeg's full path; empty: PNG frames instead
};

// The request of this run (set by takeOptions; path empty: none).
extern VideoRequest videoRequest;

// Frames per second a request may ask for, and simulated seconds.
constexpr int VIDEO_MAX_FPS = 1000;
constexpr double VIDEO_MAX_SECONDS = 86400.0;

// The request from the option texts (null where an option was not given):
// seconds a number above 0 (at most a day), fps a whole number from 1 to
// VIDEO_MAX_FPS, at least one frame, OUT a file that can be written (its
// folder exists and is writable, it is no folder), and ffmpeg looked up on
// `searchPath` (PATH's form). False with the reason in `error` (a line
// starting with "ERROR") when the request cannot be recorded.
bool makeVideoRequest(const char* record, const char* seconds, const char* fps, const char* searchPath,
                      VideoRequest& request, std::string& error);

// The first executable file `name` in the folders of `searchPath` (separated
// by ':', an empty entry meaning the working folder), or "" if none.
std::string findOnPath(const char* name, const char* searchPath);

// The arguments ffmpeg is started with for frames of width x height RGB24
// pixels at `fps`, rows from the bottom (turned upright by the vflip filter),
// written as H.264 in yuv420p to `path` as MP4.
std::vector<std::string> ffmpegArguments(const std::string& ffmpeg, int width, int height, int fps,
                                         const std::string& path);

// The file of PNG frame `index` (from 0) for OUT: OUT without its extension,
// "_", five digits, ".png" ("dir/tree.mp4" -> "dir/tree_00007.png").
std::string pngFramePath(const std::string& path, long index);

// Where the window's pixels go in a frame of the video's size when the
// window has another: the centred video-sized part of the window, the rest of
// the frame (where the window is smaller) left at the background. In pixels,
// from the lower left corners.
struct VideoCrop {
    int windowX = 0, windowY = 0;  // first pixel read from the window
    int frameX = 0, frameY = 0;    // where it goes in the frame
    int width = 0, height = 0;     // pixels read; 0 when nothing overlaps
};
VideoCrop centredCrop(int windowWidth, int windowHeight, int videoWidth, int videoHeight);

// A video's size for a window's: even (libx264 with yuv420p needs it),
// rounded down, at least 2 x 2.
int evenVideoSize(int windowSize);

class CVideoRecorder {
public:
    VideoRequest request;
    int width = 0, height = 0;      // the video's size, pixels, fixed by the first frame
    long framesWritten = 0;
    bool recording = false;         // between a successful start and finish or a failure
    bool failed = false;            // a start, frame or finish failed
    double lastProgress = 0.0;      // wall seconds of the last progress line
    pid_t ffmpegProcess = -1;
    int ffmpegInput = -1;           // write end of the pipe into ffmpeg's standard input
    void (*previousSigpipe)(int) = SIG_ERR;  // SIGPIPE's action before ffmpeg started

    // Starts ffmpeg (or the PNG frames) for frames of width x height (even).
    // False with an "ERROR" line on failure.
    bool start(const VideoRequest& request, int width, int height, double wallSeconds);
    // Hands one frame of width x height x 3 bytes, RGB, rows from the bottom.
    // Prints the progress when a second of wall time has passed since the
    // last line. False with an "ERROR" line on failure (recording stops).
    bool addFrame(const uint8_t* rgb, double wallSeconds);
    // Whether every frame of the request has been added.
    bool complete() const { return framesWritten >= request.frames; }
    // Closes ffmpeg's input and waits for it to write the file; prints the
    // outcome. False on failure. Does nothing when not recording.
    bool finish();
    ~CVideoRecorder();

private:
    bool writeToFfmpeg(const uint8_t* bytes, size_t size);
    bool writePng(const uint8_t* rgb);
    void fail(const std::string& line);
    void closeFfmpeg(int& status);
};
