// The GL test harness: one start-up per process, frames, read-back, and the
// test model with its textures.
#include "gl/gl_harness.h"  // gtest before X11, whose macros clash with it

#include <GL/glew.h>  // before any other GL header

#include <GL/freeglut.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/startup.h"
#include "shell/startup_core.h"
#include "shell/statistics.h"
#include "app/viewport.h"
#include "app/viewport_readback.h"
#include "app/windows.h"
#include "parameters/parameters.h"
#include "image/png_writer.h"
#include "tools/grow/tre_file.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"

Pixel ViewportImage::at(double fx, double fy) const
{
    int x = std::min(width - 1, std::max(0, int(fx * width)));
    int y = std::min(height - 1, std::max(0, int(fy * height)));
    const uint8_t* p = &rgb[3 * (size_t(y) * width + x)];
    return {p[0], p[1], p[2]};
}

int ViewportImage::count(double x0, double y0, double x1, double y1, bool (*pred)(Pixel)) const
{
    int n = 0;
    for (int y = int(y0 * height); y <= int(y1 * height) && y < height; ++y)
        for (int x = int(x0 * width); x <= int(x1 * width) && x < width; ++x) {
            const uint8_t* p = &rgb[3 * (size_t(y) * width + x)];
            if (pred({p[0], p[1], p[2]}))
                ++n;
        }
    return n;
}

const std::string& testDir()
{
    static std::string dir = [] {
        char pattern[] = "/tmp/dor-gl-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
}

void writeSolidPng(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b,
                   uint8_t a)
{
    std::vector<uint8_t> rgba;
    for (int i = 0; i < w * h; ++i)
        rgba.insert(rgba.end(), {r, g, b, a});
    writePng(path, w, h, rgba);
}

void writePng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba)
{
    ASSERT_EQ(rgba.size(), size_t(w) * h * 4);
    std::string error;
    ASSERT_TRUE(savePng(path, uint32_t(w), uint32_t(h), 4, rgba, error)) << error;
}

namespace {

// One quad of the test model: four vertices at model x from x0 to x1 and
// z from 1 to 9 (y = 0), bound to element e, with normals facing the camera
// (model -y is display +z) and t = 0 at the bottom (z = 1), 1 at the top.
void quad(TreFile& model, double x0, double x1, int e, int material)
{
    const uint32_t first = uint32_t(model.vertices.size());
    const double corners[4][4] = {{x0, 1, 0, 0}, {x1, 1, 1, 0}, {x1, 9, 1, 1}, {x0, 9, 0, 1}};  // x z s t
    for (const auto& c : corners) {
        TreVertex v;
        v.position = {c[0], 0, c[1]};
        v.normal = {0, -1, 0};
        v.s = c[2];
        v.t = c[3];
        v.element = e;
        model.vertices.push_back(v);
    }
    model.faces.push_back({first, first + 1, first + 2, material});
    model.faces.push_back({first, first + 2, first + 3, material});
}

}  // namespace

std::string writeTestModel(const std::string& name, const std::string& segmentTexture,
                           const std::string& leafTexture)
{
    std::string file = testDir() + "/" + name;
    TreFile model;
    model.comments = {"two quads facing the camera: a segment's and a leaf's"};
    model.materials = barkAndLeafMaterials(segmentTexture, leafTexture);
    TreElement trunk;
    trunk.length = 10;
    trunk.diameter = 0.5;
    trunk.childCount = 1;
    TreElement leaf;
    leaf.leaf = true;
    model.elements = {trunk, leaf};
    quad(model, -4, -0.5, 1, 0);
    quad(model, 0.5, 4, 2, 1);
    std::string error;
    EXPECT_TRUE(saveTre(model, file, error)) << error;
    return file;
}

const std::string& testModelPath()
{
    static std::string path = [] {
        std::string dir = testDir();
        writeSolidPng(dir + "/red.png", 4, 4, 255, 0, 0);
        writeSolidPng(dir + "/blue.png", 4, 4, 0, 0, 255);
        return writeTestModel("two_quads.tre", dir + "/red.png", dir + "/blue.png");
    }();
    return path;
}

void startViewer()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    std::string model = testModelPath();
    ASSERT_EQ(chdir(DOR_SOURCE_DIR "/assets"), 0);
    static char program[] = "dor";
    static std::string argument = model;
    char* argv[] = {program, argument.data(), nullptr};
    startDor(2, argv);
    ASSERT_TRUE(runFrames(3));
}

ViewportImage renderFrames(int n)
{
    ViewportImage image;
    EXPECT_TRUE(runFrames(n));
    checkViewportContext();
    glFinish();
    image.width = glutGet(GLUT_WINDOW_WIDTH);
    image.height = glutGet(GLUT_WINDOW_HEIGHT);
    image.rgb.resize(size_t(image.width) * image.height * 3);
    // The last frame: swapping copies and keeps it in the back buffer.
    readViewportPixels(0, 0, image.width, image.height, image.rgb.data());
    return image;
}

void ViewerTest::SetUp()
{
    startViewer();
    resetLiveParameters();
    resetCamera();
    frameByFrameMode = 1;
    hardwareAcceleration = false;
    if (theTree->noModel || strcmp(treeFileName, testModelPath().c_str()) != 0) {
        snprintf(treeFileName, sizeof treeFileName, "%s", testModelPath().c_str());
        theTree->load(treeFileName);
        formatStatistics();
    }
    theTree->reset();
}
