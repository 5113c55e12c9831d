// The viewport window's callbacks: the frame loop, the orbiting camera, input.
#pragma once

#include "parameters/parameters.h"

constexpr int MOUSE_NONE = 1000;
constexpr int MOUSE_ROTATE = 1001;
constexpr int MOUSE_ZOOM = 1002;
constexpr int MOUSE_TRANSLATE = 1003;

// The camera (cameraRotX, cameraRotY, cameraDistance, cameraHeight) is among
// the live parameters (parameters/parameters.h).
extern float aspectRatio;      // 0 until the first reshape; width / height
extern int mouseMode;          // MOUSE_NONE
extern int lastMouseX, lastMouseY;

void display();
void reshape(int width, int height);
void keyboard(unsigned char key, int x, int y);
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
void idle();
// The controls window's callbacks: a redisplay of the current window (reshape,
// motion) and nothing at all (display, mouse).
void postRedisplay(int, int);
void doNothing();
void doNothing(int, int, int, int);
// "Reset camera": the camera's four parameters back to their defaults
// (rotations 0, distance 16, height 5).
void resetCamera();

// Frames displayed since start (the harness counts frames with it).
extern long framesDisplayed;
