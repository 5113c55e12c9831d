// The program's two windows, the viewport's GL context and the check that GL
// work runs on it, the initial GL state and the driver capability tests.
#include <GL/glew.h>  // before any other GL header

#include "app/windows.h"

#include <GL/freeglut.h>
#include <GL/glx.h>

#include <cstdio>

#include "app/startup.h"
#include "app/viewport.h"
#include "parameters/parameters.h"
#include "render/display_options.h"

int controlsWindow = 0;
int viewportWindow = 0;
static GLXContext viewportContext = nullptr;  // current right after the viewport was created
static GLXDrawable viewportDC = 0;            // likewise
bool bufferObjectsReady = false;
bool glslReady = false;

float lightAmbient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
float lightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
float lightPosition[4] = {10.0f, 10.0f, 20.0f, 1.0f};

void createWindows()
{
    // Controls: RGBA, no depth buffer. Double-buffered: the panel is redrawn
    // every frame, and on a single buffer each redraw would flicker.
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(460, 933);
    controlsWindow = glutCreateWindow("DOR controls");
    glutDisplayFunc(doNothing);
    glutReshapeFunc(postRedisplay);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(nullptr);
    glutMouseFunc(doNothing);
    glutMotionFunc(postRedisplay);
    glutCloseFunc(windowClosed);

    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowPosition(472, 0);
    glutInitWindowSize(800, 800);
    viewportWindow = glutCreateWindow("DOR viewport");
    captureViewportContext();
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutKeyboardFunc(keyboard);
    glutSpecialFunc(nullptr);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutCloseFunc(windowClosed);
}

void captureViewportContext()
{
    viewportContext = glXGetCurrentContext();
    viewportDC = glXGetCurrentDrawable();
}

bool viewportContextCaptured() { return viewportContext != nullptr; }

bool viewportContextCurrent()
{
    return glXGetCurrentContext() == viewportContext && glXGetCurrentDrawable() == viewportDC;
}

bool glContextCurrent() { return glXGetCurrentContext() != nullptr; }

void syncWithWindowSystem()
{
    if (Display* display = glXGetCurrentDisplay())
        XSync(display, False);
}

void checkViewportContext(bool compareDrawable)
{
    if (viewportWindow != 0 && glutGetWindow() != viewportWindow)
        glutSetWindow(viewportWindow);
    if (glXGetCurrentContext() != viewportContext)
        printf("ERROR: wrong context!!\n");
    if (compareDrawable && glXGetCurrentDrawable() != viewportDC)
        printf("ERROR: wrong context!!\n");
}

void initOpenGL()
{
    checkViewportContext();
    glEnable(GL_LIGHTING);
    glShadeModel(GL_SMOOTH);
    // The "Lighting" switch acts on light 0 only; GL_LIGHTING stays on.
    if (lightingEnabled)
        glEnable(GL_LIGHT0);
    else
        glDisable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glEnable(GL_DEPTH_TEST);
    if (!glActiveTexture)
        printf("WARNING: no multitexture (OpenGL 1.3): textures use the only texture unit\n");
    selectTextureUnit(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    if (glActiveTexture) {
        selectTextureUnit(GL_TEXTURE1);
        glEnable(GL_TEXTURE_2D);  // unit 1 stays active
    }
}

void testBufferObjects()
{
    if (glBindBuffer && glDeleteBuffers && glGenBuffers && glIsBuffer && glBufferData &&
        glBufferSubData && glGetBufferSubData && glMapBuffer && glUnmapBuffer &&
        glGetBufferParameteriv && glGetBufferPointerv) {
        printf("Ready for buffer objects \n");
        bufferObjectsReady = true;
    }
}

void testShaders()
{
    if (GLEW_ARB_vertex_shader && GLEW_ARB_fragment_shader) {
        GLint vertexTextureUnits = 0;
        glGetIntegerv(GL_MAX_VERTEX_TEXTURE_IMAGE_UNITS, &vertexTextureUnits);
        if (vertexTextureUnits > 0) {
            printf("Ready for GLSL\n");
            glslReady = true;
        }
    }
}
