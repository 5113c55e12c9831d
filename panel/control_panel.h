// The control panel in the "DOR controls" window, and its one callback.
#pragma once

// Widget ids with an action (the others are 0).
enum ControlId {
    ID_LIGHTING = 200,
    ID_RELOAD = 303,
    ID_RESET_TREE = 304,
    ID_FRAME_BY_FRAME = 305,
    ID_FRAME_STEP = 306,
    ID_FILE = 307,
    ID_RESET_CAMERA = 308,
    ID_PROJECTION = 313,
    ID_WIND_ROTATION = 315,
    ID_ACCELERATION = 316,
    ID_RESET_WIND = 319,
    ID_BEND_EVERY_NTH_FORWARD = 320,
    ID_BEND_EVERY_NTH_REVERSE = 321,
    ID_BEND_MIN_FORWARD = 322,
    ID_BEND_MAX_FORWARD = 323,
    ID_BEND_MIN_REVERSE = 324,
    ID_BEND_MAX_REVERSE = 325,
    ID_ASSERT_BEND_MIN_FORWARD = 326,
    ID_ASSERT_BEND_MIN_REVERSE = 327,
    ID_BENDING_MODEL = 330,
};

#include "panel/rotation_widget.h"

// Builds the panel in the controls window: an ImGui context drawn by that
// window's display callback, that window's input callbacks (fed to ImGui;
// keys the panel does not take go on to keyboard, panel_input.h), the
// viewport's keys routed the same way, and the idle callback. Called once, after both
// windows exist; the viewport window is current again afterwards.
void createControlPanel();
// The action of the widget with this id (ids above); other ids do nothing.
// GL work is done only while a GL context is current, so it runs without
// any window too.
void controlCallback(int id);

// Widget state kept between frames (the panel's widget handles).
extern bool controlPanelCreated;            // createControlPanel has run
extern bool lightIntensitySpinnerEnabled;   // "Light intensity" can be changed (id 200)
extern RotationWidget windRotationControl;  // the "Wind" arcball, damping 0.5

// The "File" field's commit: a name of at most 299 characters becomes
// treeFileName and the tree is reloaded (id 307); a longer one is refused with
// an "ERROR" line and treeFileName stays. Returns whether it was taken.
bool commitFileName(const char* text);

// The widgets of one ImGui frame (between ImGui::NewFrame and ImGui::Render),
// filling the display. Changes write the live parameters at once, post a
// redisplay of the viewport and run controlCallback for widgets with an id.
void buildControlPanel();

// The panel's compact light style, set on the current ImGui context.
void applyControlPanelStyle();

// Where the widget with this path ("Display options/Lighting", panel titles
// and label joined by '/', "Quit" for one in the main panel) was drawn on the
// latest frame: x0, y0, x1, y1 in controls-window pixels. False if unknown.
bool controlPanelItemRect(const char* path, float rect[4]);
