// The GL test harness: one start-up per process, frames, read-back, and the
// test model with its textures.
#include "gl/gl_harness.h"  // gtest before X11, whose macros clash with it

#include <GL/glew.h>  // before any other GL header

#include <GL/freeglut.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "app/startup.h"
#include "shell/startup_core.h"
#include "shell/statistics.h"
#include "app/viewport.h"
#include "app/windows.h"
#include "parameters/parameters.h"
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
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y)
        png_write_row(png, &rgba[size_t(y) * w * 4]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(file);
}

namespace {

// One quad of the test model: four 'V' records at model x from x0 to x1 and
// z from 1 to 9 (y = 0), bound to element e; its normals face the camera
// (model -y is display +z).
void quad(std::ofstream& out, double x0, double x1, int e)
{
    out << "V " << x0 << " 0 1 " << e << "\n"
        << "V " << x1 << " 0 1 " << e << "\n"
        << "V " << x1 << " 0 9 " << e << "\n"
        << "V " << x0 << " 0 9 " << e << "\n";
}

void material(std::ofstream& out, const std::string& name, const std::string& texture)
{
    out << "M " << name << "\n"
        << "tex " << texture << "\n"
        << "a 0.2 0.2 0.2\nb 0.8 0.8 0.8\nc 0 0 0\nd 0 0 0\ne 10\n";
}

}  // namespace

std::string writeTestModel(const std::string& name, const std::string& segmentTexture,
                           const std::string& leafTexture)
{
    std::string file = testDir() + "/" + name;
    std::ofstream out(file);
    out << "# two quads facing the camera: a segment's and a leaf's\nP 0 0 0\n";
    material(out, "segment", segmentTexture);
    material(out, "leaf", leafTexture);
    out << "S 10 0.5 0 0 1 1 1 1\n"
        << "L 0 0 1 1 2\n";
    quad(out, -4, -0.5, 1);
    quad(out, 0.5, 4, 2);
    for (int i = 0; i < 8; ++i)
        out << "N 0 -1 0\n";
    for (int i = 0; i < 2; ++i)  // t = 0 at the bottom (z = 1), 1 at the top
        out << "T 0 0\nT 1 0\nT 1 1\nT 0 1\n";
    out << "F 0 1 2 0\nF 0 2 3 0\nF 4 5 6 1\nF 4 6 7 1\n";
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
    GLint previousBuffer = 0, previousAlignment = 0;
    glGetIntegerv(GL_READ_BUFFER, &previousBuffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &previousAlignment);
    glReadBuffer(GL_BACK);  // the last frame: swapping copies and keeps it here
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, previousAlignment);
    glReadBuffer(GLenum(previousBuffer));
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
