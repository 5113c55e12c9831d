// The recorder's window-less half: the request checked before the windows
// open, ffmpeg started on a pipe and fed raw RGB frames, the PNG frames
// where there is no ffmpeg, and the progress on the console.
#include "shell/video_recorder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/png_writer.h"

extern char** environ;

VideoRequest videoRequest;

namespace {

// The whole of text as a finite number.
bool readNumber(const char* text, double& x)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    x = std::strtod(text, &end);
    return *end == '\0' && errno == 0 && std::isfinite(x);
}

// The whole of text as a whole decimal number that fits an int.
bool readWholeNumber(const char* text, int& n)
{
    if (!text || !*text)
        return false;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || value < -1000000000L || value > 1000000000L)
        return false;
    n = int(value);
    return true;
}

// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Why `path` cannot be written as a new or replaced file, or "".
std::string unwritableReason(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return "it is a folder";
        if (access(path.c_str(), W_OK) != 0)
            return std::strerror(errno);
    }
    const std::string folder = folderOf(path);
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "there is no folder " + folder;
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "the folder " + folder + " is not writable";
    return "";
}

// Raw frames are written whole: write() may take less at a time.
bool writeAll(int fd, const uint8_t* bytes, size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

std::string findOnPath(const char* name, const char* searchPath)
{
    if (!name || !*name || !searchPath)
        return "";
    const std::string folders = searchPath;
    size_t begin = 0;
    while (begin <= folders.size()) {
        size_t end = folders.find(':', begin);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(begin, end - begin);
        if (folder.empty())
            folder = ".";
        const std::string candidate = folder + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        begin = end + 1;
    }
    return "";
}

bool makeVideoRequest(const char* record, const char* seconds, const char* fps, const char* searchPath,
                      VideoRequest& request, std::string& error)
{
    request = VideoRequest();
    const std::string notRecording = " (not recording)";
    if (!record) {
        error = std::string("ERROR: ") + (seconds ? "--seconds" : "--fps") +
                " is for a recording and needs --record OUT.mp4 (ignored)";
        return false;
    }
    if (!*record) {
        error = "ERROR: --record needs a file name" + notRecording;
        return false;
    }
    if (!seconds) {
        error = "ERROR: --record needs --seconds T, the simulated seconds to record" + notRecording;
        return false;
    }
    double t = 0.0;
    if (!readNumber(seconds, t) || t <= 0.0 || t > VIDEO_MAX_SECONDS) {
        error = std::string("ERROR: --seconds needs a number of seconds above 0 and at most 86400, not '") +
                seconds + "'" + notRecording;
        return false;
    }
    int f = 30;
    if (fps && (!readWholeNumber(fps, f) || f < 1 || f > VIDEO_MAX_FPS)) {
        error = std::string("ERROR: --fps needs a whole number of frames per second from 1 to 1000, not '") + fps +
                "'" + notRecording;
        return false;
    }
    const long frames = std::lround(t * f);
    if (frames < 1) {
        error = std::string("ERROR: ") + seconds + " s at " + std::to_string(f) +
                " frames/s is less than one frame" + notRecording;
        return false;
    }
    request.ffmpeg = findOnPath("ffmpeg", searchPath);
    // Without ffmpeg the frames go beside OUT, into the same folder.
    const std::string target = request.ffmpeg.empty() ? pngFramePath(record, 0) : std::string(record);
    const std::string reason = unwritableReason(target);
    if (!reason.empty()) {
        error = "ERROR: cannot write " + target + ": " + reason + notRecording;
        return false;
    }
    request.path = record;
    request.seconds = t;
    request.fps = f;
    request.frames = frames;
    return true;
}

std::vector<std::string> ffmpegArguments(const std::string& ffmpeg, int width, int height, int fps,
                                         const std::string& path)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    // "file:" keeps a name with ':' or a leading '-' a plain file name.
    return {ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
            "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size, "-r", std::to_string(fps), "-i", "-",
            "-vf", "vflip", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-f", "mp4", "file:" + path};
}

std::string pngFramePath(const std::string& path, long index)
{
    std::string stem = path;
    // The extension is the name's last '.' and what follows, not a leading
    // one (".hidden") nor one in a folder's name.
    const size_t slash = stem.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > nameStart)
        stem.resize(dot);
    char number[32];
    std::snprintf(number, sizeof number, "_%05ld.png", index);
    return stem + number;
}

VideoCrop centredCrop(int windowWidth, int windowHeight, int videoWidth, int videoHeight)
{
    VideoCrop crop;
    // Along each axis: the larger of the two is cut down to the smaller,
    // centred (a surplus of odd size puts the extra pixel at the far side).
    auto axis = [](int window, int video, int& windowStart, int& frameStart, int& length) {
        window = std::max(window, 0);
        length = std::min(window, video);
        windowStart = (window - length) / 2;
        frameStart = (video - length) / 2;
    };
    axis(windowWidth, videoWidth, crop.windowX, crop.frameX, crop.width);
    axis(windowHeight, videoHeight, crop.windowY, crop.frameY, crop.height);
    if (crop.width == 0 || crop.height == 0)
        crop.width = crop.height = 0;
    return crop;
}

int evenVideoSize(int windowSize)
{
    return std::max(2, windowSize - (windowSize & 1));
}

bool CVideoRecorder::start(const VideoRequest& r, int w, int h, double wallSeconds)
{
    assert(!recording && w >= 2 && h >= 2 && w % 2 == 0 && h % 2 == 0);
    request = r;
    width = w;
    height = h;
    framesWritten = 0;
    failed = false;
    lastProgress = wallSeconds;
    if (request.ffmpeg.empty()) {
        recording = true;
        return true;
    }

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        fail(std::string("ERROR: cannot make a pipe to ffmpeg: ") + std::strerror(errno) + " (not recording)");
        return false;
    }
    // A write into a pipe whose reader has gone raises SIGPIPE, which would
    // end the viewer: the failed write is reported instead. ffmpeg itself
    // starts with the default action.
    previousSigpipe = std::signal(SIGPIPE, SIG_IGN);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], STDIN_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> arguments = ffmpegArguments(request.ffmpeg, width, height, request.fps, request.path);
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&ffmpegProcess, request.ffmpeg.c_str(), &actions, &attributes, argv.data(),
                                    environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeEnds[0]);
    if (spawned != 0) {
        close(pipeEnds[1]);
        ffmpegProcess = -1;
        fail("ERROR: cannot start " + request.ffmpeg + ": " + std::strerror(spawned) + " (not recording)");
        return false;
    }
    ffmpegInput = pipeEnds[1];
    recording = true;
    return true;
}

bool CVideoRecorder::addFrame(const uint8_t* rgb, double wallSeconds)
{
    assert(recording && !complete());
    const size_t size = size_t(width) * size_t(height) * 3;
    if (!request.ffmpeg.empty() ? !writeToFfmpeg(rgb, size) : !writePng(rgb))
        return false;
    ++framesWritten;
    if (wallSeconds - lastProgress >= 1.0 && !complete()) {
        lastProgress = wallSeconds;
        std::printf("DOR: recording %s: %ld %% (%ld of %ld frames)\n", request.path.c_str(),
                    framesWritten * 100 / request.frames, framesWritten, request.frames);
    }
    return true;
}

bool CVideoRecorder::writeToFfmpeg(const uint8_t* bytes, size_t size)
{
    if (writeAll(ffmpegInput, bytes, size))
        return true;
    int status = 0;
    closeFfmpeg(status);
    fail("ERROR: ffmpeg took " + std::to_string(framesWritten) + " of " + std::to_string(request.frames) +
         " frames and stopped; " + request.path + " is incomplete (not recording)");
    return false;
}

bool CVideoRecorder::writePng(const uint8_t* rgb)
{
    // PNG rows go from the top.
    const size_t row = size_t(width) * 3;
    std::vector<uint8_t> upright(row * size_t(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(&upright[size_t(height - 1 - y) * row], rgb + size_t(y) * row, row);
    const std::string file = pngFramePath(request.path, framesWritten);
    std::string error;
    if (savePng(file, uint32_t(width), uint32_t(height), 3, upright, error))
        return true;
    fail("ERROR: " + error + " (not recording)");
    return false;
}

void CVideoRecorder::closeFfmpeg(int& status)
{
    status = 0;
    if (ffmpegInput >= 0)
        close(ffmpegInput);
    ffmpegInput = -1;
    if (ffmpegProcess > 0)
        while (waitpid(ffmpegProcess, &status, 0) < 0 && errno == EINTR) {
        }
    ffmpegProcess = -1;
    if (previousSigpipe != SIG_ERR)
        std::signal(SIGPIPE, previousSigpipe);
    previousSigpipe = SIG_ERR;
}

void CVideoRecorder::fail(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    recording = false;
    failed = true;
}

bool CVideoRecorder::finish()
{
    if (!recording)
        return false;
    recording = false;
    const bool whole = complete();
    if (!request.ffmpeg.empty()) {
        int status = 0;
        closeFfmpeg(status);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fail("ERROR: ffmpeg failed (status " + std::to_string(status) + "); " + request.path +
                 " may be incomplete");
            return false;
        }
    }
    const std::string where = !request.ffmpeg.empty() ? request.path
                              : framesWritten == 0  ? "no file"
                                                    : pngFramePath(request.path, 0) + " to " +
                                                         pngFramePath(request.path, framesWritten - 1);
    if (!whole) {
        std::printf("WARNING: recording stopped after %ld of %ld frames: %s\n", framesWritten, request.frames,
                    where.c_str());
        return false;
    }
    std::printf("DOR: recorded %ld frames (%g s at %d frames/s, %d x %d) to %s\n", framesWritten,
                request.seconds, request.fps, width, height, where.c_str());
    return true;
}

CVideoRecorder::~CVideoRecorder()
{
    if (ffmpegProcess > 0) {
        int status = 0;
        closeFfmpeg(status);
    }
}
