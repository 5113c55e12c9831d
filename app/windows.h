// The two windows, the viewport's GL context and the capability tests of the
// graphics start-up.
#pragma once

extern int controlsWindow;          // GLUT id of "DOR controls"
extern int viewportWindow;          // GLUT id of "DOR viewport"
extern bool bufferObjectsReady;     // false; the eleven buffer-object entry points exist
extern bool glslReady;              // false; shaders with vertex texture fetch exist

extern float lightAmbient[4];       // (1, 1, 1, 1)
extern float lightDiffuse[4];       // (1, 1, 1, 1)
extern float lightPosition[4];      // (10, 10, 20, 1), fixed in the scene

void createWindows();
// The viewport's context and drawable are the ones current right after its
// window is created; they stay inside the window code (GLX), and the rest
// of the program asks these questions instead.
void captureViewportContext();    // takes the current context and drawable as the viewport's
bool viewportContextCaptured();   // captureViewportContext found a context
bool viewportContextCurrent();    // the viewport's context and drawable are current
bool glContextCurrent();          // some GL context is current on this thread
// A round trip to the window system: every event it has already generated
// for this program is then in GLUT's queue (tests driving the windows with
// synthetic input wait on it).
void syncWithWindowSystem();
void initOpenGL();
// The capability tests: print "Ready for buffer objects \n" and set
// bufferObjectsReady when the eleven OpenGL 1.5 buffer entry points exist;
// print "Ready for GLSL\n" and set glslReady when vertex and fragment shaders
// exist and vertex shaders can read textures.
void testBufferObjects();
void testShaders();
// Makes the viewport window current and prints "ERROR: wrong context!!\n" if
// the current context is not the viewport's (and, with compareDrawable, once
// more if the current drawable is not the viewport's). Work goes on regardless.
void checkViewportContext(bool compareDrawable = false);
