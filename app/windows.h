// The two windows, the viewport's GL context and the capability tests of the
// graphics start-up.
#pragma once

#include <GL/glx.h>

extern int controlsWindow;          // GLUT id of "DOR controls"
extern int viewportWindow;          // GLUT id of "DOR viewport"
extern GLXContext viewportContext;  // context current right after the viewport was created
extern GLXDrawable viewportDC;      // drawable current right after the viewport was created
extern bool bufferObjectsReady;     // false; the eleven buffer-object entry points exist
extern bool glslReady;              // false; shaders with vertex texture fetch exist

extern float lightAmbient[4];       // (1, 1, 1, 1)
extern float lightDiffuse[4];       // (1, 1, 1, 1)
extern float lightPosition[4];      // (10, 10, 20, 1), fixed in the scene

void createWindows();
void initOpenGL();
// The capability tests: print "Ready for buffer objects \n" and set
// bufferObjectsReady when the eleven OpenGL 1.5 buffer entry points exist;
// print "Ready for GLSL\n" and set glslReady when vertex and fragment shaders
// exist and vertex shaders can read textures.
void testBufferObjects();
void testShaders();
// Makes the viewport window current and prints "ERROR: wrong context!!\n" if
// the current context is not viewportContext (and, with compareDrawable, once
// more if the current drawable is not viewportDC). Work goes on regardless.
void checkViewportContext(bool compareDrawable = false);
