// The harness of the GL tests: the real start-up of the viewer, once per
// process, on a small test model, then a fixed number of frames and the
// viewport read back for assertions on its pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct Pixel {
    int r = 0, g = 0, b = 0;
};

// The viewport's pixels, rows from the bottom (as glReadPixels gives them).
struct ViewportImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    // Pixel at fractions of the width and height from the lower left corner
    // (the overlay's percent coordinates divided by 100).
    Pixel at(double fx, double fy) const;
    // Pixels in the rectangle [x0, x1] x [y0, y1] (fractions) satisfying pred.
    int count(double x0, double y0, double x1, double y1, bool (*pred)(Pixel)) const;
};

// A directory of its own for this process's files, made on first use.
const std::string& testDir();

// Writes a PNG of w x h pixels of one RGBA colour.
void writeSolidPng(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b,
                   uint8_t a = 255);

// Writes a PNG of w x h pixels, RGBA, rows from the first in the file.
void writePng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba);

// Writes the test model described below to testDir()/name with the given
// texture file names for its two materials; returns its path.
std::string writeTestModel(const std::string& name, const std::string& segmentTexture,
                           const std::string& leafTexture);

// The test model "two_quads.tre" in testDir(): a trunk segment (index 1, length
// 10, straight up) and a leaf at its tip (index 2), with a file mesh of two
// quads facing the camera: the segment's quad left of the trunk (model x from
// -4 to -0.5, z from 1 to 9, material 0, "red.png") and the leaf's quad right
// of it (x from 0.5 to 4, material 1, "blue.png"). Written with its textures
// on first use; returns its path.
const std::string& testModelPath();

// The viewer started once: startDor on testModelPath() with assets/ as the
// working directory (the shader sources live there).
void startViewer();
// Displays n frames of the viewport and reads it back.
ViewportImage renderFrames(int n = 2);

// Every GL test starts from the defaults: live parameters, camera, the test
// model loaded and at rest, frame-by-frame mode on (nothing moves), the
// fixed-function path.
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override;
};
