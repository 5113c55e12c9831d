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
};

void createControlPanel();
void controlCallback(int id);
