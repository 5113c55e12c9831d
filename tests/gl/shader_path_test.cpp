// The shader path under Xvfb with Mesa: the program and its failure branch,
// the matrix texture's layout and contents, the acceleration toggle, and the
// picture it draws compared with the fixed-function path's.
#include "gl/gl_harness.h"  // gtest before X11, whose macros clash with it

#include <GL/glew.h>  // before any other GL header

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "shell/startup_core.h"
#include "shell/timer.h"
#include "app/viewport.h"
#include "app/windows.h"
#include "common/near.h"
#include "parameters/parameters.h"
#include "render/shader_path.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"

namespace {

const char* const ASSETS = DOR_SOURCE_DIR "/assets";

// An RGBA PNG whose pixels come from colour(x, y, w, h, rgba).
void writePng(const std::string& path, int w, int h, void (*colour)(int, int, int, int, uint8_t*))
{
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            colour(x, y, w, h, &rgba[4 * (size_t(y) * w + x)]);
    ::writePng(path, w, h, rgba);
}

// Runs initGLSL in `dir`, a working directory given a copy of the shipped
// fragment shader, and returns what it printed.
std::string initGLSLWithFragmentShaderIn(const std::string& dir)
{
    char* fragment = readTextFile((std::string(ASSETS) + "/MBS.frag").c_str());
    EXPECT_NE(fragment, nullptr);
    if (fragment)
        std::ofstream(dir + "/MBS.frag") << fragment;
    delete[] fragment;
    EXPECT_EQ(chdir(dir.c_str()), 0);
    testing::internal::CaptureStdout();
    initGLSL();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(chdir(ASSETS), 0);
    return out;
}

// Leaf texture: a green disc with darker rings, cut out of a transparent
// square by alpha (with one texel of partial alpha at its rim).
void leafTexel(int x, int y, int w, int h, uint8_t* p)
{
    double u = (x + 0.5) / w - 0.5, v = (y + 0.5) / h - 0.5;
    double r = std::sqrt(u * u + v * v) * w;  // texels from the centre
    double rim = 0.36 * w;
    p[0] = 40;
    p[1] = uint8_t(120 + 60 * (int(r) % 4 < 2));
    p[2] = 30;
    p[3] = r < rim - 0.5 ? 255 : r < rim + 0.5 ? 128 : 0;
}

void barkTexel(int x, int, int, int, uint8_t* p)
{
    p[0] = uint8_t(110 + 40 * (x % 4 < 2)), p[1] = 80, p[2] = 50, p[3] = 255;
}

// A small tree with a generated mesh: a trunk, two branches and eight leaves,
// bark (material 0) and a cut-out leaf texture (material 1). Nine elements:
// an 8 x 8 matrix texture with two matrices per row.
const std::string& shaderTreePath()
{
    static std::string path = [] {
        std::string dir = testDir();
        writePng(dir + "/shader_bark.png", 8, 8, barkTexel);
        writePng(dir + "/shader_leaf.png", 32, 32, leafTexel);
        std::string file = dir + "/shader_tree.tre";
        std::ofstream out(file);
        out << "# a trunk, two branches, eight leaves\nP 0 0 0\n";
        for (const char* texture : {"shader_bark.png", "shader_leaf.png"})
            out << "M m\ntex " << dir << "/" << texture
                << "\na 0.2 0.2 0.2\nb 0.8 0.8 0.8\nc 0 0 0\nd 0 0 0\ne 10\n";
        out << "S 4 0.5 0 0 1 1 2 1\n"
            << "S 3 0.25 1 0.3 1 1 4 2\n"
            << "L 1 -1 1 0.4 3\nL 1 1 1 0.6 4\nL 0 -1 1 0.8 5\nL 1 0 0.5 1 6\n"
            << "S 3 0.25 -1 -0.2 1 0.8 4 7\n"
            << "L -1 -1 1 0.5 8\nL -1 1 1 0.7 9\nL 0 1 1 0.9 10\nL -1 0 0.5 1 11\n";
        return file;
    }();
    return path;
}

void loadModel(const std::string& path)
{
    snprintf(treeFileName, sizeof treeFileName, "%s", path.c_str());
    ASSERT_EQ(theTree->load(treeFileName), 0);
    theTree->reset();
}

// Names for which an is-function answers true among 1 .. 4095: the GL
// objects of one kind that exist.
int countObjects(GLboolean (*isObject)(GLuint))
{
    int n = 0;
    for (GLuint name = 1; name < 4096; ++name)
        n += isObject(name) ? 1 : 0;
    return n;
}
GLboolean isBuffer(GLuint n) { return glIsBuffer(n); }
GLboolean isTexture(GLuint n) { return glIsTexture(n); }
GLboolean isProgram(GLuint n) { return glIsProgram(n); }
GLboolean isShader(GLuint n) { return glIsShader(n); }

struct ObjectCounts {
    int buffers, textures, programs, shaders;
    bool operator==(const ObjectCounts&) const = default;
};
ObjectCounts countAllObjects()
{
    checkViewportContext();
    return {countObjects(isBuffer), countObjects(isTexture), countObjects(isProgram),
            countObjects(isShader)};
}

// The shader path's start-up state, as after a successful initGLSL.
void restoreShaderProgram()
{
    ASSERT_EQ(chdir(ASSETS), 0);
    cleanUpGLSL();
    initGLSL();
    ASSERT_TRUE(glslAvailable);
}

class ShaderPathTest : public ViewerTest {
protected:
    void TearDown() override
    {
        // Leave the shader program as the start-up made it.
        if (!glslAvailable || shaderProgram == 0) {
            theTree->cleanup();
            restoreShaderProgram();
            theTree->noModel = true;  // the next SetUp loads its model again
        }
    }
};

bool isBackground(Pixel p)
{
    return std::abs(p.r - 230) <= 2 && std::abs(p.g - 230) <= 2 && std::abs(p.b - 230) <= 2;
}

}  // namespace

TEST(ShaderFiles, ReadTextFileGivesTheWholeTextOrNull)
{
    std::string dir = testDir();
    EXPECT_EQ(readTextFile(nullptr), nullptr);
    EXPECT_EQ(readTextFile((dir + "/no_such_file.vert").c_str()), nullptr);
    EXPECT_EQ(readTextFile(dir.c_str()), nullptr) << "a directory is no text";
    std::ofstream(dir + "/empty.txt").close();
    EXPECT_EQ(readTextFile((dir + "/empty.txt").c_str()), nullptr);
    std::ofstream(dir + "/text.txt", std::ios::binary) << "void main()\r\n{\n}\n";
    char* text = readTextFile((dir + "/text.txt").c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "void main()\r\n{\n}\n");
    delete[] text;
    char* vertex = readTextFile((std::string(ASSETS) + "/MBS.vert").c_str());
    ASSERT_NE(vertex, nullptr);
    EXPECT_NE(std::strstr(vertex, "matrixTex"), nullptr);
    delete[] vertex;
}

TEST_F(ShaderPathTest, StartsOnTheShaderPathWithTheDeactivateLabel)
{
    // The start-up linked the program from assets/ and switched the path on.
    EXPECT_TRUE(glslAvailable);
    EXPECT_NE(shaderProgram, 0u);
    checkViewportContext();
    GLint linked = 0;
    glGetProgramiv(shaderProgram, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    // ViewerTest switched the path off for its fixed-function tests.
    EXPECT_FALSE(hardwareAcceleration);
    EXPECT_STREQ(accelerationButtonLabel(), "Activate hardware acceleration");
    toggleHardwareAcceleration();
    EXPECT_TRUE(hardwareAcceleration);
    EXPECT_STREQ(accelerationButtonLabel(), "Deactivate hardware acceleration");
    EXPECT_TRUE(accelerationButtonEnabled());
    toggleHardwareAcceleration();
    EXPECT_FALSE(hardwareAcceleration);
}

TEST_F(ShaderPathTest, VerticesAddressTheirMatrixInTheTexture)
{
    loadModel(shaderTreePath());
    // Eleven elements, twelve matrices: 48 texels, so 8 x 8 with two
    // matrices per row and six rows in use.
    ASSERT_EQ(theTree->matrixCount, 12u);
    EXPECT_EQ(theTree->matrixTexWidth, 8);
    EXPECT_EQ(theTree->matrixTexHeight, 8);
    EXPECT_EQ(theTree->matrixTexRows, 6);
    int seen5 = 0;
    for (const Vertex& v : theTree->vertices) {
        int k = v.matrixIndex;
        double u = ((4 * k) % 8 + 0.5) / 8, t = ((4 * k) / 8 + 0.5) / 8;
        EXPECT_EQ(v.matrixTexCoord[0], float(u)) << "matrix " << k;
        EXPECT_EQ(v.matrixTexCoord[1], float(t)) << "matrix " << k;
        if (k == 5) {
            // Matrix 5 starts at texel column 4 of row 2.
            EXPECT_EQ(v.matrixTexCoord[0], 0.5625f);
            EXPECT_EQ(v.matrixTexCoord[1], 0.3125f);
            ++seen5;
        }
    }
    EXPECT_EQ(seen5, 4) << "a leaf has four vertices";
}

TEST_F(ShaderPathTest, UploadWritesTheMatricesIntoTheUsedRowsExactly)
{
    loadModel(shaderTreePath());
    for (int i = 0; i < 5; ++i)
        theTree->animate(timeStep);
    checkViewportContext();
    theTree->uploadMatrixTexture();
    const int w = theTree->matrixTexWidth, h = theTree->matrixTexHeight;
    std::vector<float> texels(size_t(w) * h * 4, -1.0f);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, theTree->matrixTexture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    GLint format = 0;
    glBindTexture(GL_TEXTURE_2D, theTree->matrixTexture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(format, GL_RGBA32F_ARB);
    // Matrix k, column c is texel 4k + c of the row-major texel array.
    for (int k = 0; k < int(theTree->matrixCount); ++k)
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(texels[16 * size_t(k) + i], theTree->matrices[16 * size_t(k) + i])
                << "matrix " << k << " entry " << i;
    // Matrix 5: texel (4, 2) holds its first column.
    EXPECT_EQ(texels[4 * (2 * w + 4)], theTree->matrices[16 * 5]);
    EXPECT_NE(theTree->matrices[16 * 5 + 12], 0.0f) << "the leaf is not at the origin";
}

TEST_F(ShaderPathTest, SwitchingPathsCreatesAndDeletesNoGlObject)
{
    loadModel(shaderTreePath());
    renderFrames(1);
    hardwareAcceleration = true;
    renderFrames(1);
    const ObjectCounts before = countAllObjects();
    for (int i = 0; i < 4; ++i) {
        toggleHardwareAcceleration();
        renderFrames(1);
    }
    EXPECT_TRUE(hardwareAcceleration);
    EXPECT_EQ(countAllObjects(), before);
    EXPECT_GE(before.buffers, 2);
    EXPECT_GE(before.programs, 1);
}

namespace {

// What differs between the two paths' pictures of the current pose.
struct PathComparison {
    int silhouette = 0;   // pixels of the fixed path's tree
    int differing = 0;    // pixels in one silhouette only
    int offEdge = 0;      // of those, pixels not next to the other's silhouette
    int compared = 0;     // pixels inside both silhouettes, away from edges
    double meanColourDiff = 0;
    int maxColourDiff = 0;
    int largeColourDiffs = 0;  // compared pixels differing by more than 6 levels
};

// Renders the current pose by the fixed-function path, then by the shader
// path, and compares the parts above the overlay text (whose frame rate
// changes). Silhouette: the pixels that are not background.
PathComparison comparePaths()
{
    hardwareAcceleration = false;
    ViewportImage fixed = renderFrames(1);
    hardwareAcceleration = true;
    ViewportImage shader = renderFrames(1);
    PathComparison r;
    EXPECT_EQ(fixed.width, shader.width);
    EXPECT_EQ(fixed.height, shader.height);
    if (fixed.width != shader.width || fixed.height != shader.height)
        return r;
    const int w = fixed.width, h = fixed.height, y0 = int(0.3 * h);
    auto tree = [&](const ViewportImage& image, int x, int y) {
        if (x < 0 || y < y0 || x >= w || y >= h)
            return false;
        const uint8_t* p = &image.rgb[3 * (size_t(y) * w + x)];
        return !isBackground({p[0], p[1], p[2]});
    };
    auto nearby = [&](const ViewportImage& image, int x, int y, bool inside) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (tree(image, x + dx, y + dy) == inside)
                    return true;
        return false;
    };
    long colourDiffSum = 0;
    for (int y = y0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool a = tree(fixed, x, y), b = tree(shader, x, y);
            r.silhouette += a ? 1 : 0;
            if (a != b) {
                ++r.differing;
                if (!nearby(a ? shader : fixed, x, y, true))
                    ++r.offEdge;
                continue;
            }
            if (!a || nearby(fixed, x, y, false) || nearby(shader, x, y, false))
                continue;
            const uint8_t* p = &fixed.rgb[3 * (size_t(y) * w + x)];
            const uint8_t* q = &shader.rgb[3 * (size_t(y) * w + x)];
            int d = 0;
            for (int c = 0; c < 3; ++c)
                d = std::max(d, std::abs(int(p[c]) - int(q[c])));
            ++r.compared;
            colourDiffSum += d;
            r.maxColourDiff = std::max(r.maxColourDiff, d);
            r.largeColourDiffs += d > 6 ? 1 : 0;
        }
    r.meanColourDiff = r.compared ? double(colourDiffSum) / r.compared : 0;
    return r;
}

// The pictures look alike: the silhouettes differ only along edges, by one
// pixel, and inside both the colours agree. Both paths evaluate the same
// per-vertex lighting of light 0 in single precision and the same texture
// modulation, so colours differ only where a rounding of the vertex
// positions moves a texture sample or an interpolated colour by a level:
// the mean difference stays under one level and at most one compared pixel
// in 200 differs by more than 6 levels.
::testing::AssertionResult alike(const PathComparison& r, int minSilhouette)
{
    std::ostringstream why;
    if (r.silhouette < minSilhouette)
        why << "only " << r.silhouette << " tree pixels; ";
    if (r.offEdge != 0)
        why << r.offEdge << " silhouette pixels differ away from edges; ";
    if (r.differing > r.silhouette / 50 + 10)
        why << r.differing << " silhouette pixels differ; ";
    if (r.meanColourDiff > 1.0)
        why << "mean colour difference " << r.meanColourDiff << "; ";
    if (r.largeColourDiffs > r.compared / 200)
        why << r.largeColourDiffs << " of " << r.compared << " pixels differ by more than 6 (max "
            << r.maxColourDiff << "); ";
    if (why.str().empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why.str();
}

}  // namespace

// The same bent pose of the test tree by both paths.
TEST_F(ShaderPathTest, BothPathsDrawTheSamePicture)
{
    loadModel(shaderTreePath());
    showSceneElements = 0;
    cameraDistance = 9.0;  // the tree fills the upper part of the viewport
    windVelocity = 40.0f;
    for (int i = 0; i < 40; ++i)
        theTree->animate(timeStep);  // a bent pose; frame-by-frame mode keeps it
    PathComparison r = comparePaths();
    EXPECT_TRUE(alike(r, 2000));
    EXPECT_LT(r.silhouette, 800 * 560 / 2) << "not the whole picture";
    EXPECT_GT(r.compared, 1000);
}

// The display options act alike on both paths.
TEST_F(ShaderPathTest, DisplayOptionsActAlikeOnBothPaths)
{
    loadModel(shaderTreePath());
    showSceneElements = 0;
    cameraDistance = 9.0;
    struct Option {
        const char* name;
        void (*set)();
        int minSilhouette;
    };
    const Option options[] = {
        {"textures off", [] { showDiffuseTextures = 0; }, 2000},
        {"leaves hidden", [] { showLeaves = 0; }, 2000},
        {"segments hidden", [] { showSegments = 0; }, 300},
        {"light intensity 0.4", [] { lightIntensity = 0.4f; }, 2000},
        {"light 0 off",
         [] {
             lightingEnabled = 0;
             glDisable(GL_LIGHT0);
         },
         2000},
    };
    for (const Option& option : options) {
        resetLiveParameters();
        frameByFrameMode = 1;
        showSceneElements = 0;
        checkViewportContext();
        glEnable(GL_LIGHT0);
        option.set();
        EXPECT_TRUE(alike(comparePaths(), option.minSilhouette)) << option.name;
    }
    checkViewportContext();
    glEnable(GL_LIGHT0);
}

// Pixels that differ between two pictures, above the frame-rate line of the
// overlay (at 10 % of the height, rows from the bottom), whose digits change.
int differingPixels(const ViewportImage& a, const ViewportImage& b)
{
    EXPECT_EQ(a.rgb.size(), b.rgb.size());
    if (a.rgb.size() != b.rgb.size())
        return -1;
    int n = 0;
    for (size_t i = size_t(a.height * 0.15) * a.width * 3; i + 2 < a.rgb.size(); i += 3)
        n += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2];
    return n;
}

// "Show face normals" adds the normals' lines on either path, about as many
// pixels on each (the lines are drawn by the processor on both).
TEST_F(ShaderPathTest, FaceNormalsShowOnBothPaths)
{
    loadModel(shaderTreePath());
    showSceneElements = 0;
    cameraDistance = 9.0;
    int added[2] = {0, 0};
    for (int path = 0; path < 2; ++path) {
        hardwareAcceleration = path == 1;
        showFaceNormals = 0;
        ViewportImage without = renderFrames(1);
        showFaceNormals = 1;
        ViewportImage with = renderFrames(1);
        added[path] = differingPixels(without, with);
        EXPECT_GT(added[path], 100) << (path ? "shader path" : "fixed-function path");
        showFaceNormals = 0;
        EXPECT_EQ(differingPixels(without, renderFrames(1)), 0) << "the lines are gone again";
    }
    EXPECT_LT(std::abs(added[0] - added[1]), added[0] / 2) << added[0] << " and " << added[1];
    // The shader path leaves texture unit 1 active, with or without the lines.
    hardwareAcceleration = true;
    showFaceNormals = 1;
    renderFrames(1);
    checkViewportContext();
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE1);
}

// A material whose PNG is missing has a texture without an image: the fixed
// path then draws it untextured, and so must the shader (not black).
TEST_F(ShaderPathTest, MissingTextureDrawsUntexturedOnBothPaths)
{
    std::string path = testDir() + "/missing_texture.tre";
    {
        char* text = readTextFile(shaderTreePath().c_str());
        ASSERT_NE(text, nullptr);
        std::string model = text;
        delete[] text;
        size_t at = model.find("shader_leaf.png");
        ASSERT_NE(at, std::string::npos);
        model.replace(at, 15, "no_such_leaf.png");
        std::ofstream(path) << model;
    }
    loadModel(path);
    showSceneElements = 0;
    cameraDistance = 9.0;
    EXPECT_TRUE(alike(comparePaths(), 2000));
}

TEST_F(ShaderPathTest, AMatrixTextureTooLargeFallsBackToTheFixedPath)
{
    loadModel(shaderTreePath());
    showSceneElements = 0;
    hardwareAcceleration = false;
    ViewportImage fixed = renderFrames(1);

    checkViewportContext();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    theTree->deleteMatrixTexture();
    const int width = theTree->matrixTexWidth;
    theTree->matrixTexWidth = 2 * maxSize;
    testing::internal::CaptureStdout();
    theTree->setupMatrixTexture();
    std::string out = testing::internal::GetCapturedStdout();
    theTree->matrixTexWidth = width;
    EXPECT_EQ(theTree->matrixTexture, 0u);
    EXPECT_NE(out.find("\nWARNING: "), std::string::npos) << out;

    hardwareAcceleration = true;
    ViewportImage fallback = renderFrames(1);
    int tree = 0, differing = 0;
    for (int y = int(0.3 * fixed.height); y < fixed.height; ++y)
        for (int x = 0; x < fixed.width; ++x) {
            const uint8_t* p = &fixed.rgb[3 * (size_t(y) * fixed.width + x)];
            const uint8_t* q = &fallback.rgb[3 * (size_t(y) * fixed.width + x)];
            tree += isBackground({p[0], p[1], p[2]}) ? 0 : 1;
            differing += std::memcmp(p, q, 3) != 0 ? 1 : 0;
        }
    EXPECT_GT(tree, 2000);
    EXPECT_EQ(differing, 0) << "the fixed-function path drew the frame";
    theTree->setupMatrixTexture();
    EXPECT_NE(theTree->matrixTexture, 0u);
}

TEST_F(ShaderPathTest, MissingShaderFileLeavesTheFixedPathWithTheButtonDisabled)
{
    theTree->cleanup();
    cleanUpGLSL();
    glslAvailable = hardwareAcceleration = false;  // as before the start-up's initGLSL

    // A working directory with the fragment shader only.
    std::string dir = testDir() + "/no_vertex_shader";
    mkdir(dir.c_str(), 0755);
    const std::string out = initGLSLWithFragmentShaderIn(dir);
    EXPECT_EQ(out,
              "initGLSL() .. \n"
              "ERROR: GLSL could not be initialized!\n"
              "ERROR: shader file \"MBS.vert\" is missing or empty\n");
    EXPECT_FALSE(glslAvailable);
    EXPECT_FALSE(hardwareAcceleration);
    EXPECT_FALSE(accelerationButtonEnabled());
    EXPECT_STREQ(accelerationButtonLabel(), "Activate hardware acceleration");
    toggleHardwareAcceleration();
    EXPECT_FALSE(hardwareAcceleration) << "the button does nothing";
    EXPECT_EQ(shaderProgram, 0u) << "the unusable program is released";

    // The loader makes no buffers and no matrix texture; the tree is drawn.
    loadModel(shaderTreePath());
    EXPECT_EQ(theTree->vertexBuffer, 0u);
    EXPECT_EQ(theTree->indexBuffer, 0u);
    EXPECT_EQ(theTree->matrixTexture, 0u);
    showSceneElements = 0;
    ViewportImage image = renderFrames(1);
    EXPECT_GT(image.count(0, 0.3, 1, 1, [](Pixel p) { return !isBackground(p); }), 2000);
}

TEST_F(ShaderPathTest, ShaderThatFailsToCompilePrintsItsLog)
{
    theTree->cleanup();
    cleanUpGLSL();
    glslAvailable = hardwareAcceleration = false;
    std::string dir = testDir() + "/broken_vertex_shader";
    mkdir(dir.c_str(), 0755);
    std::ofstream(dir + "/MBS.vert") << "#version 120\nvoid main() { gl_Position = nothing; }\n";
    const std::string out = initGLSLWithFragmentShaderIn(dir);
    EXPECT_EQ(out.rfind("initGLSL() .. \nERROR: GLSL could not be initialized!\n"
                        "ERROR: compile log of \"MBS.vert\":\n    ",
                        0),
              0u)
        << out;
    EXPECT_NE(out.find("nothing"), std::string::npos) << "the compiler names the fault:\n" << out;
    EXPECT_FALSE(glslAvailable);
    EXPECT_FALSE(accelerationButtonEnabled());

    // A later successful initialisation enables the button again.
    restoreShaderProgram();
    EXPECT_TRUE(accelerationButtonEnabled());
    EXPECT_TRUE(hardwareAcceleration);
}

// The default model and the model with its own mesh, in a swaying pose: the
// two paths look alike on thousands of overlapping leaves.
TEST_F(ShaderPathTest, ShippedModelsLookAlikeOnBothPaths)
{
    for (const char* model : {"prunus_cerasifera_nigra_reduced32.tre",
                              "prunus_cerasifera_nigra_mesh.tre"}) {
        loadModel(model);  // relative to assets/, the working directory
        showSceneElements = 0;
        for (int i = 0; i < 10; ++i)
            theTree->animate(timeStep);
        EXPECT_TRUE(alike(comparePaths(), 20000)) << model;
    }
}
