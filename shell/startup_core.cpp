// The window-less core of the start-up: the file name from the command line,
// the wind and the tree, the load, and their release at shutdown.
#include "shell/startup_core.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "shell/statistics.h"
#include "shell/video_recorder.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "wind/wind.h"
#include "wind/wind_presets.h"

CTree* theTree = nullptr;
CWind* treeWind = nullptr;

// The options that take the next argument as their value.
static bool takesValue(const char* option)
{
    for (const char* name : {"--wind", "--model", "--record", "--seconds", "--fps"})
        if (std::strcmp(option, name) == 0)
            return true;
    return false;
}

// Whether argument i is an option or an option's value.
static bool isOption(char** argv, int i)
{
    return std::strncmp(argv[i], "--", 2) == 0 || (i > 1 && takesValue(argv[i - 1]));
}

void takeFileName(int argc, char** argv)
{
    const char* name = nullptr;
    for (int i = 1; i < argc && argv[i] && !name; ++i)
        if (!isOption(argv, i))
            name = argv[i];
    if (!name) {
        std::printf("DOR: No input file specified, using default.\n");
    } else if (std::strlen(name) >= TREE_FILE_NAME_SIZE) {
        std::printf("ERROR: file name longer than %zu characters, using default.\n",
                    TREE_FILE_NAME_SIZE - 1);
    } else {
        std::strcpy(treeFileName, name);
    }
    std::printf("DOR: Visualizing file    %s\n", treeFileName);
}

int takeOptions(int argc, char** argv)
{
    int bad = 0;
    // The recording's three options are checked together after the loop.
    const char* video[3] = {nullptr, nullptr, nullptr};  // --record, --seconds, --fps
    const char* const videoOptions[3] = {"--record", "--seconds", "--fps"};
    for (int i = 1; i < argc && argv[i]; ++i) {
        if (std::strncmp(argv[i], "--", 2) != 0)
            continue;
        const char* const* videoOption = std::find_if(std::begin(videoOptions), std::end(videoOptions),
                                                      [&](const char* name) { return std::strcmp(argv[i], name) == 0; });
        if (videoOption != std::end(videoOptions)) {
            // A missing value reads as "", which the check refuses.
            video[videoOption - videoOptions] = i + 1 < argc && argv[i + 1] ? argv[i + 1] : "";
            ++i;
            continue;
        }
        if (std::strcmp(argv[i], "--model") == 0) {
            const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
            if (value && (std::strcmp(value, "classic") == 0 || std::strcmp(value, "physical") == 0)) {
                bendingModel = std::strcmp(value, "physical") == 0 ? 1 : 0;
                std::printf("DOR: bending model %s\n", value);
            } else {
                std::printf("ERROR: --model needs classic or physical%s%s (ignored)\n", value ? ", not " : "",
                            value ? value : "");
                ++bad;
            }
            ++i;  // the value
            continue;
        }
        if (std::strcmp(argv[i], "--wind") != 0) {
            std::printf("ERROR: unknown option %s (ignored)\n", argv[i]);
            ++bad;
            continue;
        }
        const WindPreset* preset = i + 1 < argc ? findWindPreset(argv[i + 1]) : nullptr;
        if (!preset) {
            std::printf("ERROR: --wind needs one of calm, gusty, storm%s%s (ignored)\n",
                        i + 1 < argc ? ", not " : "", i + 1 < argc ? argv[i + 1] : "");
            ++bad;
        } else {
            applyWindPreset(*preset);
            std::printf("DOR: wind field preset %s: %s\n", preset->name, preset->meaning);
        }
        ++i;  // the value
    }
    videoRequest = VideoRequest();
    if (video[0] || video[1] || video[2]) {
        std::string error;
        if (makeVideoRequest(video[0], video[1], video[2], std::getenv("PATH"), videoRequest, error)) {
            std::printf("DOR: recording %ld frames (%g s at %d frames/s) to %s\n", videoRequest.frames,
                        videoRequest.seconds, videoRequest.fps, videoRequest.path.c_str());
            if (videoRequest.ffmpeg.empty())
                std::printf("ERROR: ffmpeg is not on PATH: writing PNG frames %s ... instead of the video\n",
                            pngFramePath(videoRequest.path, 0).c_str());
        } else {
            std::printf("%s\n", error.c_str());
            ++bad;
        }
    }
    return bad;
}

int createAndLoadTree()
{
    treeWind = new CWind();
    theTree = new CTree(treeWind);
    const int result = theTree->load(treeFileName);
    formatStatistics();
    theTree->reset();
    return result;
}

void releaseTree()
{
    if (theTree) {
        theTree->cleanup();
        delete theTree;
        theTree = nullptr;
    }
    delete treeWind;
    treeWind = nullptr;
}
