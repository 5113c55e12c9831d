// The recorder's window-less half: the recording options on the command line,
// the checks of a request, ffmpeg's command line and pipe (with stand-in
// ffmpeg scripts), the PNG frames without ffmpeg, the crop of a resized
// window.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/png_decoder.h"
#include "parameters/parameters.h"
#include "shell/startup_core.h"
#include "shell/video_recorder.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder of this process's for one test.
std::string freshDir(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("dor_video_" + std::to_string(getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

// An executable shell script.
void writeScript(const std::string& path, const std::string& body)
{
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// takeOptions on the arguments, with PATH set to searchPath; its output.
std::string optionsWithPath(std::vector<std::string> args, const std::string& searchPath, int& bad)
{
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", searchPath.c_str(), 1);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::testing::internal::CaptureStdout();
    bad = takeOptions(int(args.size()), argv.data());
    const std::string out = ::testing::internal::GetCapturedStdout();
    setenv("PATH", savedPath.c_str(), 1);
    return out;
}

std::string fileNameTaken(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::testing::internal::CaptureStdout();
    takeFileName(int(args.size()), argv.data());
    ::testing::internal::GetCapturedStdout();
    return treeFileName;
}

// A frame of w x h RGB pixels whose bytes count up from `first`.
std::vector<uint8_t> countingFrame(int w, int h, int first)
{
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = uint8_t(first + int(i));
    return rgb;
}

}  // namespace

// The three recording options on the command line: their values are not
// file names, and a good request is announced with its frame count.
TEST(VideoOptions, RecordSecondsAndFpsMakeTheRequest)
{
    const std::string dir = freshDir("options");
    const std::string bin = freshDir("options_bin");
    writeScript(bin + "/ffmpeg", "exit 0\n");
    const std::string out = dir + "/tree.mp4";

    resetLiveParameters();
    EXPECT_EQ(fileNameTaken({"dor", "--record", out, "--seconds", "2", "--fps", "12", "a.tre"}), "a.tre");
    resetLiveParameters();
    EXPECT_EQ(fileNameTaken({"dor", "--seconds", "2", "b.tre", "--record", out}), "b.tre");

    int bad = -1;
    std::string text = optionsWithPath({"dor", "a.tre", "--record", out, "--seconds", "2.5", "--fps", "12"}, bin, bad);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(text, "DOR: recording 30 frames (2.5 s at 12 frames/s) to " + out + "\n");
    EXPECT_EQ(videoRequest.path, out);
    EXPECT_EQ(videoRequest.fps, 12);
    EXPECT_EQ(videoRequest.frames, 30);
    EXPECT_EQ(videoRequest.ffmpeg, bin + "/ffmpeg");

    // 30 frames per second unless told; T x F rounded to whole frames.
    optionsWithPath({"dor", "--record", out, "--seconds", "0.49"}, bin, bad);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(videoRequest.fps, 30);
    EXPECT_EQ(videoRequest.frames, 15);

    // The wind preset and the recording side by side.
    optionsWithPath({"dor", "--wind", "gusty", "--record", out, "--seconds", "1"}, bin, bad);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(windGusts, 1);
    EXPECT_EQ(videoRequest.frames, 30);

    // No recording options: no request, and nothing printed.
    EXPECT_EQ(optionsWithPath({"dor", "a.tre"}, bin, bad), "");
    EXPECT_TRUE(videoRequest.path.empty());
    resetLiveParameters();
}

// Every bad request is one ERROR line, counted as a bad option, and leaves
// no recording.
TEST(VideoOptions, BadValuesAreRefusedWithAnErrorLine)
{
    const std::string dir = freshDir("bad");
    const std::string bin = freshDir("bad_bin");
    writeScript(bin + "/ffmpeg", "exit 0\n");
    const std::string out = dir + "/tree.mp4";
    const std::vector<std::vector<std::string>> cases = {
        {"--record", out, "--seconds", "-1"},
        {"--record", out, "--seconds", "0"},
        {"--record", out, "--seconds", "nan"},
        {"--record", out, "--seconds", "inf"},
        {"--record", out, "--seconds", "2s"},
        {"--record", out, "--seconds", "86401"},
        {"--record", out, "--seconds"},
        {"--record", out},
        {"--record", out, "--seconds", "2", "--fps", "0"},
        {"--record", out, "--seconds", "2", "--fps", "-30"},
        {"--record", out, "--seconds", "2", "--fps", "29.97"},
        {"--record", out, "--seconds", "2", "--fps", "1001"},
        {"--record", out, "--seconds", "2", "--fps", "99999999999"},
        {"--record", out, "--seconds", "0.01"},  // 0.3 frames
        {"--seconds", "2"},
        {"--fps", "30"},
        {"--record", "", "--seconds", "2"},
        {"--record", dir + "/no/such/folder/tree.mp4", "--seconds", "2"},
        {"--record", dir, "--seconds", "2"},  // a folder
    };
    for (const std::vector<std::string>& options : cases) {
        std::vector<std::string> args = {"dor"};
        args.insert(args.end(), options.begin(), options.end());
        int bad = -1;
        const std::string text = optionsWithPath(args, bin, bad);
        std::string shown;
        for (const std::string& o : options)
            shown += o + " ";
        EXPECT_EQ(bad, 1) << shown;
        EXPECT_EQ(text.rfind("ERROR", 0), 0u) << shown << ": " << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << shown << ": " << text;
        EXPECT_TRUE(videoRequest.path.empty()) << shown;
    }
    EXPECT_FALSE(fs::exists(dir + "/no"));
}

// Without ffmpeg on PATH the request stands, says so in an ERROR line and
// names the first PNG frame; the frames' folder must be writable.
TEST(VideoOptions, WithoutFfmpegTheRequestWritesPngFrames)
{
    const std::string dir = freshDir("no_ffmpeg");
    const std::string empty = freshDir("no_ffmpeg_bin");
    int bad = -1;
    const std::string text =
        optionsWithPath({"dor", "--record", dir + "/tree.mp4", "--seconds", "1", "--fps", "4"}, empty, bad);
    EXPECT_EQ(bad, 0);
    EXPECT_TRUE(videoRequest.ffmpeg.empty());
    EXPECT_EQ(videoRequest.frames, 4);
    EXPECT_NE(text.find("\nERROR: ffmpeg is not on PATH: writing PNG frames " + dir + "/tree_00000.png"),
              std::string::npos)
        << text;
    optionsWithPath({"dor", "--record", dir + "/missing/tree.mp4", "--seconds", "1"}, empty, bad);
    EXPECT_EQ(bad, 1);
    EXPECT_TRUE(videoRequest.path.empty());
}

TEST(VideoRecorder, FindsOnlyExecutableFilesOnThePath)
{
    const std::string a = freshDir("path_a"), b = freshDir("path_b"), c = freshDir("path_c");
    std::ofstream(a + "/tool") << "not executable";
    fs::create_directory(b + "/tool");  // a folder, even an executable one, is no program
    writeScript(c + "/tool", "exit 0\n");
    EXPECT_EQ(findOnPath("tool", (a + ":" + b + ":" + c).c_str()), c + "/tool");
    EXPECT_EQ(findOnPath("tool", (a + ":" + b).c_str()), "");
    EXPECT_EQ(findOnPath("tool", ""), "");
    // An empty entry is the working folder.
    const fs::path here = fs::current_path();
    fs::current_path(c);
    EXPECT_EQ(findOnPath("tool", (a + "::" + b).c_str()), "./tool");
    fs::current_path(here);
}

TEST(VideoRecorder, PngFrameNamesDropTheExtensionOnly)
{
    EXPECT_EQ(pngFramePath("dir/tree.mp4", 7), "dir/tree_00007.png");
    EXPECT_EQ(pngFramePath("tree", 0), "tree_00000.png");
    EXPECT_EQ(pngFramePath("a.b/tree", 12), "a.b/tree_00012.png");
    EXPECT_EQ(pngFramePath(".hidden", 1), ".hidden_00001.png");
    EXPECT_EQ(pngFramePath("dir/t.v.mp4", 123456), "dir/t.v_123456.png");
}

// The video keeps the first size: a larger window gives its centre, a
// smaller one lands in the frame's centre.
TEST(VideoRecorder, ResizedWindowIsCroppedCentred)
{
    const VideoCrop same = centredCrop(800, 600, 800, 600);
    EXPECT_EQ(same.windowX, 0);
    EXPECT_EQ(same.frameY, 0);
    EXPECT_EQ(same.width, 800);
    EXPECT_EQ(same.height, 600);

    const VideoCrop larger = centredCrop(1000, 700, 800, 600);
    EXPECT_EQ(larger.windowX, 100);
    EXPECT_EQ(larger.windowY, 50);
    EXPECT_EQ(larger.frameX, 0);
    EXPECT_EQ(larger.frameY, 0);
    EXPECT_EQ(larger.width, 800);
    EXPECT_EQ(larger.height, 600);

    const VideoCrop smaller = centredCrop(401, 600, 800, 200);
    EXPECT_EQ(smaller.windowX, 0);
    EXPECT_EQ(smaller.frameX, 199);
    EXPECT_EQ(smaller.width, 401);
    EXPECT_EQ(smaller.windowY, 200);
    EXPECT_EQ(smaller.frameY, 0);
    EXPECT_EQ(smaller.height, 200);
    EXPECT_LE(smaller.frameX + smaller.width, 800);

    EXPECT_EQ(centredCrop(0, 600, 800, 600).width, 0);
    EXPECT_EQ(centredCrop(800, -5, 800, 600).height, 0);

    EXPECT_EQ(evenVideoSize(800), 800);
    EXPECT_EQ(evenVideoSize(801), 800);
    EXPECT_EQ(evenVideoSize(1), 2);
    EXPECT_EQ(evenVideoSize(0), 2);
}

// A stand-in ffmpeg records its arguments and its standard input: every
// byte of every frame arrives, in order, and the file is reported.
TEST(VideoRecorder, FramesGoWholeThroughThePipe)
{
    const std::string dir = freshDir("pipe");
    writeScript(dir + "/ffmpeg", "echo \"$@\" > " + dir + "/args\ncat > " + dir + "/frames\n");
    VideoRequest request;
    request.path = dir + "/out.mp4";
    request.seconds = 1.0;
    request.fps = 3;
    request.frames = 3;
    request.ffmpeg = dir + "/ffmpeg";

    CVideoRecorder recorder;
    ASSERT_TRUE(recorder.start(request, 6, 4, 0.0));
    std::string sent;
    ::testing::internal::CaptureStdout();
    for (int k = 0; k < 3; ++k) {
        const std::vector<uint8_t> frame = countingFrame(6, 4, 50 * k);
        sent.append(frame.begin(), frame.end());
        EXPECT_TRUE(recorder.addFrame(frame.data(), 0.1 * k));
    }
    EXPECT_TRUE(recorder.complete());
    EXPECT_TRUE(recorder.finish());
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(text, "DOR: recorded 3 frames (1 s at 3 frames/s, 6 x 4) to " + dir + "/out.mp4\n");
    EXPECT_EQ(fileText(dir + "/frames"), sent);
    // The frames' size and rate; "file:" keeps a name with ':' or a leading
    // '-' a plain file name.
    const std::string args = fileText(dir + "/args");
    EXPECT_NE(args.find("-s 6x4 -r 3 -i -"), std::string::npos) << args;
    EXPECT_NE(args.find(" file:" + dir + "/out.mp4\n"), std::string::npos) << args;
    EXPECT_FALSE(recorder.failed);
    EXPECT_EQ(recorder.ffmpegProcess, -1);
}

// SIGPIPE is ignored only while ffmpeg runs; afterwards it has the action
// it had before, default or ignored.
TEST(VideoRecorder, SigpipeGetsBackItsOwnAction)
{
    const std::string dir = freshDir("sigpipe");
    writeScript(dir + "/ffmpeg", "cat > /dev/null\n");
    VideoRequest request;
    request.path = dir + "/out.mp4";
    request.seconds = 1.0;
    request.fps = 1;
    request.frames = 1;
    request.ffmpeg = dir + "/ffmpeg";
    const std::vector<uint8_t> frame(2 * 2 * 3, 9);
    for (void (*before)(int) : {SIG_DFL, SIG_IGN}) {
        std::signal(SIGPIPE, before);
        CVideoRecorder recorder;
        ASSERT_TRUE(recorder.start(request, 2, 2, 0.0));
        EXPECT_EQ(std::signal(SIGPIPE, SIG_IGN), SIG_IGN);  // while recording
        ::testing::internal::CaptureStdout();
        EXPECT_TRUE(recorder.addFrame(frame.data(), 0.0));
        EXPECT_TRUE(recorder.finish());
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(std::signal(SIGPIPE, SIG_DFL), before);
    }
}

// An ffmpeg that ends early or fails: an ERROR line, recording stops, and
// the viewer is not killed by SIGPIPE.
TEST(VideoRecorder, FfmpegThatStopsIsReportedNotFatal)
{
    const std::string dir = freshDir("stops");
    writeScript(dir + "/ffmpeg", "exit 0\n");
    VideoRequest request;
    request.path = dir + "/out.mp4";
    request.seconds = 10.0;
    request.fps = 10;
    request.frames = 100;
    request.ffmpeg = dir + "/ffmpeg";
    CVideoRecorder recorder;
    ASSERT_TRUE(recorder.start(request, 512, 512, 0.0));
    usleep(200000);  // ffmpeg has ended
    const std::vector<uint8_t> frame(512 * 512 * 3, 7);  // larger than a pipe holds
    ::testing::internal::CaptureStdout();
    bool ok = true;
    for (int k = 0; k < 100 && ok; ++k)
        ok = recorder.addFrame(frame.data(), 0.0);
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(ok);
    EXPECT_TRUE(recorder.failed);
    EXPECT_FALSE(recorder.recording);
    EXPECT_EQ(text.rfind("ERROR: ffmpeg took ", 0), 0u) << text;
    EXPECT_NE(text.find("(not recording)\n"), std::string::npos) << text;

    // Takes every frame, then fails to write the file.
    writeScript(dir + "/ffmpeg", "cat > /dev/null\nexit 1\n");
    request.frames = 1;
    CVideoRecorder failing;
    ASSERT_TRUE(failing.start(request, 2, 2, 0.0));
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(failing.addFrame(frame.data(), 0.0));
    EXPECT_FALSE(failing.finish());
    const std::string failed = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(failed.rfind("ERROR: ffmpeg failed", 0), 0u) << failed;
    EXPECT_TRUE(failing.failed);
}

// Without ffmpeg: one PNG per frame, upright (the first PNG row is the
// frame's top row, the last one handed in), named in order.
TEST(VideoRecorder, PngFramesWithoutFfmpegAreUpright)
{
    const std::string dir = freshDir("png");
    VideoRequest request;
    request.path = dir + "/clip.mp4";
    request.seconds = 0.5;
    request.fps = 4;
    request.frames = 2;
    CVideoRecorder recorder;
    ASSERT_TRUE(recorder.start(request, 4, 2, 0.0));
    ::testing::internal::CaptureStdout();
    const std::vector<uint8_t> first = countingFrame(4, 2, 0), second = countingFrame(4, 2, 100);
    EXPECT_TRUE(recorder.addFrame(first.data(), 0.0));
    EXPECT_TRUE(recorder.addFrame(second.data(), 0.0));
    EXPECT_TRUE(recorder.finish());
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(text.find(dir + "/clip_00000.png to " + dir + "/clip_00001.png"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(dir + "/clip_00002.png"));

    std::vector<unsigned char> bytes, rgba;
    loadFileBytes((dir + "/clip_00001.png").c_str(), bytes);
    ASSERT_EQ(decodePngImage(bytes, rgba), 0);
    ASSERT_EQ(pngWidth(), 4u);
    ASSERT_EQ(pngHeight(), 2u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(rgba[size_t((y * 4 + x) * 4 + c)], second[size_t(((1 - y) * 4 + x) * 3 + c)]);
}

// A progress line once a second of wall time has passed, none for the last
// frame (the closing line names the file).
TEST(VideoRecorder, ProgressAboutEverySecond)
{
    const std::string dir = freshDir("progress");
    VideoRequest request;
    request.path = dir + "/p.mp4";
    request.seconds = 1.0;
    request.fps = 4;
    request.frames = 4;
    CVideoRecorder recorder;
    ASSERT_TRUE(recorder.start(request, 2, 2, 10.0));
    const std::vector<uint8_t> frame(12, 1);
    ::testing::internal::CaptureStdout();
    recorder.addFrame(frame.data(), 10.5);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    ::testing::internal::CaptureStdout();
    recorder.addFrame(frame.data(), 11.0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "DOR: recording " + dir + "/p.mp4: 50 % (2 of 4 frames)\n");
    ::testing::internal::CaptureStdout();
    recorder.addFrame(frame.data(), 11.9);
    recorder.addFrame(frame.data(), 13.0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    ::testing::internal::CaptureStdout();
    recorder.finish();
    ::testing::internal::GetCapturedStdout();
}
