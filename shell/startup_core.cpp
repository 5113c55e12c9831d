// The window-less core of the start-up: the file name from the command line,
// the wind and the tree, the load, and their release at shutdown.
#include "shell/startup_core.h"

#include <cstdio>
#include <cstring>

#include "shell/statistics.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "wind/wind.h"

CTree* theTree = nullptr;
CWind* treeWind = nullptr;

void takeFileName(int argc, char** argv)
{
    if (argc < 2 || !argv[1]) {
        std::printf("DOR: No input file specified, using default.\n");
    } else if (std::strlen(argv[1]) >= TREE_FILE_NAME_SIZE) {
        std::printf("ERROR: file name longer than %zu characters, using default.\n",
                    TREE_FILE_NAME_SIZE - 1);
    } else {
        std::strcpy(treeFileName, argv[1]);
    }
    std::printf("DOR: Visualizing file    %s\n", treeFileName);
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
