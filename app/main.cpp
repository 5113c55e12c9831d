// DOR: animates a botanical tree in wind and draws it in real time.
#include <cstdio>

#include "app/startup.h"
#include "app/video_capture.h"

int main(int argc, char** argv)
{
    // Line-buffered even into a pipe or file, so that progress is seen live
    // and nothing is lost when the process is ended from outside.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    startDor(argc, argv);
    runMainLoop();  // returns after a window was closed and the shutdown ran
    return videoExitStatus();
}
