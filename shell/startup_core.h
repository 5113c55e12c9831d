// The window-less core of the start-up: the file name from the command line,
// the wind and the tree, the load, and their release at shutdown.
#pragma once

class CTree;
class CWind;

extern CTree* theTree;   // the one tree; owned by the start-up
extern CWind* treeWind;  // the wind of every element; owned by the start-up

// Steps 1 and 2: takes the file name, the first argument that is not an
// option, as treeFileName (or keeps the default) and prints the "DOR: "
// lines. A name of 300 characters or more is refused with an "ERROR" line
// and the default stays. Arguments that start with "--" are options, and
// "--wind", "--model", "--record", "--seconds" and "--fps" take the next argument as
// their value.
void takeFileName(int argc, char** argv);
// The viewer's options, before the windows exist: "--wind PRESET" (calm,
// gusty, storm: wind/wind_presets.cpp) switches the wind field on with that
// preset; "--model classic|physical" chooses the bending model (the live
// parameter bendingModel); "--record OUT.mp4 --seconds T [--fps F]" sets
// videoRequest (shell/video_recorder.h), checked as a whole, with ffmpeg
// looked up on PATH. A bad option prints an "ERROR" line and is ignored (a
// bad recording request: no recording). Returns how many were bad; without
// options nothing happens.
int takeOptions(int argc, char** argv);
// Steps 14 to 17: creates treeWind and theTree, loads treeFileName, formats
// the statistics and resets the tree. Returns load's result (0 success).
int createAndLoadTree();
// Shutdown: cleans up and destroys the tree, deletes the wind.
void releaseTree();
