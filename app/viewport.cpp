// The viewport window's callbacks: the frame loop (one animation step per
// displayed frame), the orbiting camera driven by the mouse, the quit keys.
#include <GL/glew.h>  // before any other GL header

#include "app/viewport.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

#include "shell/startup_core.h"
#include "shell/statistics.h"
#include "shell/timer.h"
#include "app/video_capture.h"
#include "app/windows.h"
#include "parameters/parameters.h"
#include "render/display_options.h"
#include "render/wind_glyph.h"
#include "tree/tree.h"
#include "wind/wind.h"

float aspectRatio = 0.0f;
int mouseMode = MOUSE_NONE;
int lastMouseX = 0, lastMouseY = 0;
long framesDisplayed = 0;

namespace {

// Accumulated drag x this factor = rotation in degrees (8 per pixel gives
// 0.13962634 degrees per pixel).
constexpr double DRAG_TO_DEGREES = 0.0174532925;

void drawText(float y, const char* text)
{
    glRasterPos2f(10.0f, y);
    for (const char* c = text; *c; ++c)
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_18, *c);
}

void drawGroundSquare()
{
    glColor4d(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glNormal3d(0, 1, 0);
    glVertex3d(4, 0, 4);
    glNormal3d(0, 1, 0);
    glVertex3d(4, 0, -4);
    glNormal3d(0, 1, 0);
    glVertex3d(-4, 0, -4);
    glNormal3d(0, 1, 0);
    glVertex3d(-4, 0, 4);
    glEnd();
}

}  // namespace

void display()
{
    checkViewportContext();
    tickTimer();

    glClearColor(0.9f, 0.9f, 0.9f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (projectionMode == 1) {
        glOrtho(-2.0, 2.0, -2.0, 2.0, 0.1, 40.0);  // ignores the aspect ratio
    } else {
        // Before the first reshape the ratio is unknown: draw square.
        double a = aspectRatio > 0.0f ? aspectRatio : 1.0;
        glFrustum(-0.04 * a, 0.04 * a, -0.04, 0.04, 0.1, 40.0);
    }

    // Camera: the y rotation acts on the scene first, then x, then the scene
    // is moved down by cameraHeight and away by cameraDistance.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0, 0, -cameraDistance);
    glTranslated(0, -cameraHeight, 0);
    glRotated(cameraRotX * DRAG_TO_DEGREES, 1, 0, 0);
    glRotated(cameraRotY * DRAG_TO_DEGREES, 0, 1, 0);

    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);  // fixed in the scene
    applyLightIntensity();

    if (frameByFrameMode == 0 && theTree)
        theTree->animate(animationStep());

    if (showSceneElements)
        drawGroundSquare();
    if (theTree)
        theTree->draw(0);
    if (treeWind)
        drawWindGlyph(*treeWind);

    updateFpsText();

    // Overlay, in percent of the viewport from its lower left corner; the
    // depth test stays on.
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, 100, 0, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3ub(0, 0, 0);
    drawText(25, trianglesText);
    drawText(22, depthText);
    drawText(19, segmentsText);
    drawText(16, leavesText);
    drawText(10, fpsText);

    glEnable(GL_LIGHTING);
    captureVideoFrame();  // the finished frame, before the swap
    glutSwapBuffers();
    ++framesDisplayed;
}

void reshape(int width, int height)
{
    glViewport(0, 0, width, height);
    // A window of height 0 shows nothing; the previous ratio is kept so that
    // the projection stays finite.
    if (height > 0)
        aspectRatio = static_cast<float>(width) / static_cast<float>(height);
    glutPostRedisplay();
}

void keyboard(unsigned char key, int, int)
{
    if (key == 27 || key == 'q')
        exit(0);
}

void mouse(int button, int state, int x, int y)
{
    if (state != GLUT_DOWN)
        return;
    if (button == GLUT_LEFT_BUTTON) {
        lastMouseX = x;
        lastMouseY = y;
        mouseMode = MOUSE_ROTATE;
    } else if (button == GLUT_MIDDLE_BUTTON) {
        lastMouseY = y;
        mouseMode = MOUSE_ZOOM;
    } else if (button == GLUT_RIGHT_BUTTON) {
        lastMouseY = y;
        mouseMode = MOUSE_TRANSLATE;
    }
}

void motion(int x, int y)
{
    int dx = x - lastMouseX;
    int dy = y - lastMouseY;
    switch (mouseMode) {
    case MOUSE_ROTATE:
        lastMouseX = x;
        lastMouseY = y;
        cameraRotY += 8.0 * dx;
        cameraRotX += 8.0 * dy;
        break;
    case MOUSE_ZOOM:
        cameraDistance += 0.04 * dy;
        lastMouseY = y;
        break;
    case MOUSE_TRANSLATE:
        cameraHeight += 0.01 * dy;
        lastMouseY = y;
        break;
    default:
        break;
    }
    glutPostRedisplay();
}

void idle()
{
    checkViewportContext();
    glutPostRedisplay();
}

void postRedisplay(int, int)
{
    glutPostRedisplay();
}

void doNothing() {}

void doNothing(int, int, int, int) {}

void resetCamera()
{
    for (const double* camera : {&cameraRotX, &cameraRotY, &cameraDistance, &cameraHeight})
        resetLiveParameter(*liveParameterAt(camera));
}
