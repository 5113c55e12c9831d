// Helpers of the physical model's tests: trees written as files and loaded
// quietly, runs of the animation at a frame rate, and tip positions.
#pragma once

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "elements/tree_element.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "tree/tree_files.h"
#include "wind/wind.h"

// A tree loaded from text (or a file of assets/), with its wind.
struct LoadedTree {
    CWind wind;
    CTree tree{&wind};
    bool load(const std::string& path)
    {
        ::testing::internal::CaptureStdout();
        const int status = tree.load(path.c_str());
        ::testing::internal::GetCapturedStdout();
        tree.reset();
        return status == 0;
    }
    bool loadText(const std::string& text) { return load(writeTreeFile(text)); }
};

inline std::string assetPath(const std::string& name) { return std::string(DOR_SOURCE_DIR) + "/assets/" + name; }

// A straight cantilever of n segments along direction (dx, dy, dz), total
// length L and diameter D (metres), no leaves; a one-triangle file mesh.
inline std::string cantileverFile(int n, double L, double D, double dx = 0, double dy = 0, double dz = 1)
{
    std::string text = "P 0 0 0\n";
    char line[200];
    for (int i = 1; i <= n; ++i) {
        std::snprintf(line, sizeof line, "S %.17g %.17g %g %g %g 1 %d %d\n", L / n, D, dx, dy, dz, i < n ? 1 : 0, i);
        text += line;
    }
    return text + "V 0 0 0 1\nN 0 0 1\nT 0 0\nF 0 0 0 0\n";
}

// An element's tip: its origin plus its length along its axis, model space.
inline Vec3 tipOf(const CTreeElement& e)
{
    const Matrix4& M = e.modelTransform;
    return {float(M.m[0][3] + M.m[0][2] * e.length), float(M.m[1][3] + M.m[1][2] * e.length),
            float(M.m[2][3] + M.m[2][2] * e.length)};
}

// The element with the highest tip in the current pose (the stem top at rest).
inline const CTreeElement* topElement(const CTree& tree)
{
    const CTreeElement* top = nullptr;
    for (const CTreeElement* e : tree.elementOrder)
        if (!top || tipOf(*e).z > tipOf(*top).z)
            top = e;
    return top;
}

// Animates for seconds at fps frames per second, calling after(t) after
// every frame with the time reached.
inline void run(CTree& tree, double seconds, double fps, const std::function<void(double)>& after = nullptr)
{
    const long frames = std::lround(seconds * fps);
    for (long f = 1; f <= frames; ++f) {
        tree.animate(float(1.0 / fps));
        if (after)
            after(double(f) / fps);
    }
}

// The physical model with everything else at its defaults.
inline void usePhysicalModel()
{
    resetLiveParameters();
    bendingModel = 1;
}
