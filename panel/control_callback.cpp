// controlCallback: the actions of the panel's widgets that do more than write
// their live parameter, dispatched on the widget's id.
#include <GL/gl.h>

#include "shell/startup_core.h"
#include "shell/statistics.h"
#include "shell/timer.h"
#include "app/video_capture.h"
#include "app/windows.h"
#include "app/viewport.h"
#include "panel/control_panel.h"
#include "parameters/parameters.h"
#include "render/shader_path.h"
#include "tree/tree.h"

bool lightIntensitySpinnerEnabled = true;

// GL calls need a current context (glContextCurrent); without a window (the
// tests) they are skipped and only the parameters and the panel state change.

static void reloadTree()
{
    if (theTree)
        theTree->load(treeFileName);
    formatStatistics();
}

void controlCallback(int id)
{
    switch (id) {
    case ID_LIGHTING:
        // Light 0 only: GL_LIGHTING stays on, so the global ambient remains.
        lightIntensitySpinnerEnabled = lightingEnabled != 0;
        if (glContextCurrent()) {
            if (lightingEnabled)
                glEnable(GL_LIGHT0);
            else
                glDisable(GL_LIGHT0);
        }
        break;
    case ID_RELOAD:
    case ID_FILE:
        reloadTree();
        break;
    case ID_RESET_TREE:
        // The rest pose and one step of animation from it.
        if (theTree) {
            theTree->reset();
            theTree->animate(animationStep());
        }
        break;
    case ID_FRAME_STEP:
        if (frameByFrameMode == 1 && theTree)
            theTree->animate(animationStep());
        break;
    case ID_RESET_CAMERA:
        resetCamera();
        break;
    case ID_ACCELERATION:
        toggleHardwareAcceleration();
        break;
    case ID_RESET_WIND:
        resetLiveParameter(*liveParameterAt(&windVelocity));
        break;
    case ID_BENDING_MODEL:
        // The other model starts from the rest pose (the tree would reset
        // itself at its next step; this shows it at once).
        if (theTree) {
            theTree->reset();
            theTree->activeBendingModel = bendingModel;
        }
        break;
    case ID_BEND_EVERY_NTH_FORWARD:
    case ID_BEND_EVERY_NTH_REVERSE:
    case ID_BEND_MIN_FORWARD:
    case ID_BEND_MAX_FORWARD:
    case ID_BEND_MIN_REVERSE:
    case ID_BEND_MAX_REVERSE:
    case ID_ASSERT_BEND_MIN_FORWARD:
    case ID_ASSERT_BEND_MIN_REVERSE:
        // A new level of detail returns the tree to its rest pose.
        if (theTree) {
            theTree->applyAnimationLod();
            theTree->reset();
        }
        break;
    default:  // 305 frame-by-frame, 313 projection, 315 wind: read where used
        break;
    }
}
