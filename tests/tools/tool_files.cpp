// Helpers of the tools' tests (see tool_files.h).
#include "tools/tool_files.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "elements/segment.h"
#include "parameters/parameters.h"

ScratchDir::ScratchDir()
{
    static int counter = 0;
    path = std::filesystem::temp_directory_path() /
           ("dor-tools-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

LoadedTree::LoadedTree(const std::string& fileName) : tree(std::make_unique<CTree>(&wind))
{
    status = tree->load(fileName.c_str());
}

std::string readText(const std::string& fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The angle in degrees between two directions.
static double degreesBetween(Vec3 a, Vec3 b)
{
    double c = double(dot(a, b)) / (double(length(a)) * double(length(b)));
    return std::acos(std::fmax(-1.0, std::fmin(1.0, c))) * 180.0 / 3.14159265358979;
}

// Every segment below `e`, the trunk's chain of first children followed to
// its end as `top`.
static void visit(CTreeElement* e, Sway& sway)
{
    auto* s = dynamic_cast<CSegment*>(e);
    if (!s)
        return;
    sway.largestBend = std::fmax(sway.largestBend, degreesBetween(s->direction, s->restDirection));
    for (uint32_t k = 0; k < s->childCount; ++k)
        visit(s->children[k], sway);
}

Sway measureSway(CTree& tree, int steps)
{
    resetLiveParameters();
    tree.reset();
    // The top of the trunk: follow each segment's first child while it is
    // the next segment of the stem (a segment attached at the very end).
    CTreeElement* top = tree.trunk();
    while (auto* s = dynamic_cast<CSegment*>(top)) {
        if (s->childCount == 0 || !dynamic_cast<CSegment*>(s->children[0]) ||
            s->children[0]->attachPosition != 1.0)
            break;
        top = s->children[0];
    }
    auto tipOf = [&](CTreeElement* e) {
        const Matrix4& m = e->modelTransform;
        return Vec3{float(m.m[0][3] + m.m[0][2] * e->length), float(m.m[1][3] + m.m[1][2] * e->length),
                    float(m.m[2][3] + m.m[2][2] * e->length)};
    };
    const Vec3 rest = tipOf(top);
    Sway sway;
    for (int i = 0; i < steps; ++i) {
        tree.animate(0.04f);  // the frame timer's first frame time
        sway.tipTravel = std::fmax(sway.tipTravel, double(length(tipOf(top) - rest)));
        visit(tree.trunk(), sway);
    }
    for (float v : tree.matrices)
        sway.finite = sway.finite && std::isfinite(v);
    resetLiveParameters();
    return sway;
}
