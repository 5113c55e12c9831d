// The orbiting camera's mouse callbacks and reshape.
#include <GL/freeglut.h>

#include "app/viewport.h"
#include "common/near.h"
#include "gl/gl_harness.h"

TEST_F(ViewerTest, MouseDragsMoveTheCameraByTheirModes)
{
    mouseMode = MOUSE_NONE;
    motion(50, 90);  // before any press: nothing
    EXPECT_EQ(cameraRotX, 0.0);
    EXPECT_EQ(cameraDistance, 16.0);

    mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 20);
    motion(13, 18);
    EXPECT_TRUE(near(cameraRotY, 24.0, 1e-12));
    EXPECT_TRUE(near(cameraRotX, -16.0, 1e-12));

    mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 100, 100);
    motion(140, 100);  // horizontal only: no change
    EXPECT_EQ(cameraDistance, 16.0);
    motion(140, 150);
    EXPECT_TRUE(near(cameraDistance, 18.0, 1e-12));

    mouse(GLUT_MIDDLE_BUTTON, GLUT_UP, 140, 150);  // a release keeps the mode
    mouse(GLUT_RIGHT_BUTTON, GLUT_UP, 0, 0);
    EXPECT_EQ(mouseMode, MOUSE_ZOOM);
    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 200);
    motion(0, 100);
    EXPECT_TRUE(near(cameraHeight, 4.0, 1e-12));
    EXPECT_TRUE(near(cameraDistance, 18.0, 1e-12));

    resetCamera();
    EXPECT_EQ(cameraRotX, 0.0);
    EXPECT_EQ(cameraRotY, 0.0);
    EXPECT_EQ(cameraDistance, 16.0);
    EXPECT_EQ(cameraHeight, 5.0);
}

TEST_F(ViewerTest, ReshapeOfHeightZeroKeepsTheAspectRatio)
{
    reshape(400, 200);
    EXPECT_EQ(aspectRatio, 2.0f);
    reshape(400, 0);
    EXPECT_EQ(aspectRatio, 2.0f);
    reshape(800, 800);
    EXPECT_EQ(aspectRatio, 1.0f);
}
