// The viewport drawn by the real start-up under Xvfb: where the camera puts
// the tree, the scene elements, the overlay, the glyphs and the display
// switches, read back from the screen.
#include "gl/gl_harness.h"  // gtest before X11, whose macros clash with it

#include <GL/glew.h>  // before any other GL header

#include <GL/freeglut.h>

#include "shell/startup_core.h"
#include "shell/timer.h"
#include "app/viewport.h"
#include "app/windows.h"
#include "parameters/parameters.h"
#include "tree/tree.h"

namespace {

// The test model's quads are centred at display x = -2.25 (segment, red) and
// +2.25 (leaf, blue), y = 5, z = 0. The default camera looks at them from
// (0, 5, 16) with a half-angle of tan 0.4: centres at 32 % and 68 % of the
// width, half the height.
constexpr double SEGMENT_X = 0.324, LEAF_X = 0.676, MIDDLE_Y = 0.5;

bool isRed(Pixel p) { return p.r > 150 && p.g < 40 && p.b < 40; }
bool isBlue(Pixel p) { return p.b > 150 && p.r < 40 && p.g < 40; }
bool isBackground(Pixel p) { return std::abs(p.r - 230) <= 2 && p.g == p.r && p.b == p.r; }
bool isGreyLit(Pixel p)
{
    return p.r > 100 && std::abs(p.r - p.g) <= 3 && std::abs(p.g - p.b) <= 3 && !isBackground(p);
}
bool isBlack(Pixel p) { return p.r < 30 && p.g < 30 && p.b < 30; }
bool isWindGlyph(Pixel p) { return std::abs(p.r - 153) <= 4 && std::abs(p.g - 153) <= 4 && p.b > 250; }
bool isPureBlue(Pixel p) { return p.r < 10 && p.g < 10 && p.b > 245; }

::testing::AssertionResult looks(bool (*pred)(Pixel), Pixel p, const char* what)
{
    if (pred(p))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "expected " << what << ", got (" << p.r << ", " << p.g << ", " << p.b << ")";
}

}  // namespace

TEST_F(ViewerTest, WindowsHaveTheirTitlesSizesAndTheViewportContext)
{
    glutSetWindow(controlsWindow);
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 460);
    EXPECT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 933);
    glutSetWindow(viewportWindow);
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 800);
    EXPECT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 800);
    EXPECT_TRUE(viewportContextCaptured());
    checkViewportContext();
    EXPECT_TRUE(viewportContextCurrent());
    // The GL state every frame relies on.
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
}

TEST_F(ViewerTest, TexturedTreeStandsWhereTheCameraPutsItWithGroundAndOverlay)
{
    ViewportImage image = renderFrames();
    ASSERT_EQ(image.width, 800);
    EXPECT_TRUE(looks(isRed, image.at(SEGMENT_X, MIDDLE_Y), "the segment's red texture"));
    EXPECT_TRUE(looks(isBlue, image.at(LEAF_X, MIDDLE_Y), "the leaf's blue texture"));
    // Between the quads, above the ground: background.
    EXPECT_TRUE(looks(isBackground, image.at(0.5, 0.6), "background between the quads"));
    EXPECT_TRUE(looks(isBackground, image.at(0.1, 0.9), "background in the corner"));
    // The quads' edges: display x = -4 and -0.5 at 18.75 % and 46 % of the width.
    EXPECT_TRUE(looks(isRed, image.at(0.20, MIDDLE_Y), "inside the left edge"));
    EXPECT_TRUE(looks(isBackground, image.at(0.17, MIDDLE_Y), "outside the left edge"));
    // The ground square, lit grey, in the lower right of the picture.
    EXPECT_TRUE(looks(isGreyLit, image.at(0.75, 0.08), "the lit ground square"));
    // The overlay's black text: statistics at 16..25 %, frame rate at 10 %.
    EXPECT_GT(image.count(0.10, 0.15, 0.45, 0.28, isBlack), 100);
    EXPECT_GT(image.count(0.10, 0.09, 0.45, 0.13, isBlack), 20);
}

TEST_F(ViewerTest, SceneElementsSwitchHidesOnlyTheGround)
{
    showSceneElements = 0;
    ViewportImage image = renderFrames();
    EXPECT_TRUE(looks(isBackground, image.at(0.75, 0.08), "no ground"));
    EXPECT_TRUE(looks(isRed, image.at(SEGMENT_X, MIDDLE_Y), "the tree still drawn"));
}

TEST_F(ViewerTest, LeavesAndSegmentsSwitchesHideTheirTriangles)
{
    showLeaves = 0;
    ViewportImage image = renderFrames();
    EXPECT_TRUE(looks(isBackground, image.at(LEAF_X, MIDDLE_Y), "no leaf"));
    EXPECT_TRUE(looks(isRed, image.at(SEGMENT_X, MIDDLE_Y), "the segment"));
    showLeaves = 1;
    showSegments = 0;
    image = renderFrames();
    EXPECT_TRUE(looks(isBlue, image.at(LEAF_X, MIDDLE_Y), "the leaf"));
    EXPECT_TRUE(looks(isBackground, image.at(SEGMENT_X, MIDDLE_Y), "no segment"));
}

TEST_F(ViewerTest, TexturesSwitchOffLeavesTheLitUntexturedColour)
{
    lightIntensity = 0.8f;  // lit grey well below the background's 230
    showDiffuseTextures = 0;
    ViewportImage image = renderFrames();
    EXPECT_TRUE(looks(isGreyLit, image.at(SEGMENT_X, MIDDLE_Y), "untextured segment"));
    EXPECT_TRUE(looks(isGreyLit, image.at(LEAF_X, MIDDLE_Y), "untextured leaf"));
    showDiffuseTextures = 1;
    image = renderFrames();
    EXPECT_TRUE(looks(isRed, image.at(SEGMENT_X, MIDDLE_Y), "textured again"));
}

TEST_F(ViewerTest, LightIntensityScalesTheLitColour)
{
    int full = renderFrames().at(SEGMENT_X, MIDDLE_Y).r;
    lightIntensity = 0.5f;
    int half = renderFrames().at(SEGMENT_X, MIDDLE_Y).r;
    EXPECT_GT(full, 200);
    EXPECT_LT(half, 0.7 * full);
    EXPECT_GT(half, 0.3 * full);
}

TEST_F(ViewerTest, GlyphLinesAppearWithTheirSwitches)
{
    theTree->animate(timeStep);  // the wind is sampled: the glyphs have length
    // The wind glyphs start at the trunk's tip (display y = 10, 89 % of the
    // height) and run along +x by the wind velocity.
    ViewportImage image = renderFrames();
    EXPECT_EQ(image.count(0.5, 0.85, 0.85, 0.93, isWindGlyph), 0);
    showWindGlyph = 1;
    image = renderFrames();
    EXPECT_GT(image.count(0.5, 0.85, 0.85, 0.93, isWindGlyph), 30);

    // The trunk's local z axis: a blue line up from its base between the quads.
    EXPECT_EQ(image.count(0.48, 0.25, 0.52, 0.45, isPureBlue), 0);
    showSegmentFrames = 1;
    image = renderFrames();
    EXPECT_GT(image.count(0.48, 0.25, 0.52, 0.45, isPureBlue), 20);
}

TEST_F(ViewerTest, OrthographicProjectionIgnoresTheDistance)
{
    // display x = -2.25 .. under glOrtho(-2, 2): the segment fills the left
    // 37.5 % of the width, whatever the camera distance.
    projectionMode = 1;
    cameraDistance = 30.0;
    ViewportImage image = renderFrames();
    EXPECT_TRUE(looks(isRed, image.at(0.1, MIDDLE_Y), "the segment close up"));
    projectionMode = 0;
    image = renderFrames();
    EXPECT_TRUE(looks(isBackground, image.at(0.1, MIDDLE_Y), "the segment far away"));
}

TEST_F(ViewerTest, NothingOfTheTreeIsDrawnWithoutAModel)
{
    theTree->load("missing.tre");  // cannot be opened: the tree is empty
    ASSERT_TRUE(theTree->noModel);
    ViewportImage image = renderFrames();
    EXPECT_TRUE(looks(isBackground, image.at(SEGMENT_X, MIDDLE_Y), "no segment"));
    EXPECT_TRUE(looks(isBackground, image.at(LEAF_X, MIDDLE_Y), "no leaf"));
    EXPECT_TRUE(looks(isGreyLit, image.at(0.75, 0.08), "the ground all the same"));

    // draw() on an empty tree makes no GL call: the cleared buffer stays.
    checkViewportContext();
    glDrawBuffer(GL_BACK);
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    showFaceNormals = 1;
    theTree->draw(0);
    glFinish();
    GLubyte rgb[3] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(400, 400, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    EXPECT_NEAR(rgb[0], 64, 1);
    EXPECT_NEAR(rgb[1], 128, 1);
    EXPECT_NEAR(rgb[2], 191, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ViewerTest, FirstPngRowLiesAtTZeroAndAMissingTextureDrawsUntextured)
{
    // Rows from the top of the file: red, red, blue, blue. The quads have
    // t = 0 at their bottom edge (display y = 1) and t = 1 at the top (y = 9).
    std::vector<uint8_t> rgba;
    for (int row = 0; row < 4; ++row)
        rgba.insert(rgba.end(), {uint8_t(row < 2 ? 255 : 0), 0, uint8_t(row < 2 ? 0 : 255), 255});
    writePng(testDir() + "/stripes.png", 1, 4, rgba);
    std::string model =
        writeTestModel("stripes.tre", testDir() + "/stripes.png", testDir() + "/missing.png");
    testing::internal::CaptureStdout();
    theTree->load(model.c_str());
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("ERROR LoadPNG : 48\n"), std::string::npos) << output;
    ASSERT_FALSE(theTree->noModel);
    theTree->reset();
    lightIntensity = 0.8f;

    // t = 0.3 at display y = 3.4 (37.5 % of the height), t = 0.7 at y = 6.6.
    ViewportImage image = renderFrames();
    EXPECT_TRUE(looks(isRed, image.at(SEGMENT_X, 0.375), "the first rows low on the quad"));
    EXPECT_TRUE(looks(isBlue, image.at(SEGMENT_X, 0.625), "the last rows high on the quad"));
    EXPECT_TRUE(looks(isGreyLit, image.at(LEAF_X, MIDDLE_Y), "the leaf without its image"));
}
