// TreFile: a plant model as the "tre" text format holds it (position,
// materials, the elements in pre-order, an optional mesh bound to the
// elements), shared by the generator and the importer, with its writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/grow/vec3d.h"

// One 'S' (segment) or 'L' (leaf) record. Lengths in model units.
struct TreElement {
    bool leaf = false;
    double length = 1.0;        // segment only
    double diameter = 0.1;      // segment only: the record's diameter
    Vec3d direction{0, 0, 1};   // model space, unit
    double attach = 1.0;        // fraction of the parent's length where it starts
    uint32_t childCount = 0;    // segment only: children that follow in pre-order
    // Not written to the record; used to build a file mesh.
    double tipDiameter = -1.0;  // segment: diameter at the tip (< 0: same as diameter)
    double leafLength = 0.3;    // leaf: blade length
    double leafWidth = 0.15;    // leaf: blade width
};

struct TreMaterial {
    std::string label = "material";  // word after 'M'
    std::string textureFile;         // PNG, relative to the viewer's working directory
    float triples[4][3] = {{0.2f, 0.2f, 0.2f}, {0.8f, 0.8f, 0.8f}, {0, 0, 0}, {0, 0, 0}};
    float scalar = 10.0f;
};

// A mesh vertex in model space (Z up), bound to element `element` (1..N,
// 0 = the root frame).
struct TreVertex {
    Vec3d position;
    Vec3d normal;
    double s = 0.0, t = 0.0;
    int32_t element = 0;
};

struct TreFace {
    uint32_t a = 0, b = 0, c = 0;
    int32_t material = 0;
};

struct TreFile {
    std::vector<std::string> comments;   // written as '#' lines at the top
    Vec3d position;                      // 'P' record
    std::vector<TreMaterial> materials;
    std::vector<TreElement> elements;    // pre-order; element k has index k + 1
    std::vector<TreVertex> vertices;     // empty: the viewer generates a mesh
    std::vector<TreFace> faces;
};

// The two materials of the tools' models: 0 "bark" and 1 "leaves", naming
// the given texture files.
std::vector<TreMaterial> barkAndLeafMaterials(const std::string& barkTexture, const std::string& leafTexture);

// Position of element k's parent in `elements`, -1 for the top-level element;
// false (with a message in `error`) when the child counts do not describe
// exactly one pre-order hierarchy under a single top-level element.
bool computeParents(const TreFile& file, std::vector<int>& parents, std::string& error);

// Where the viewer puts every element in the rest pose, in model space: the
// root frame at (0, 0, -1) with length 1 along +Z; an element starts
// attach x parent length up its parent's axis and points along its file
// direction. A file mesh built on these frames lies on the elements.
struct ElementFrame {
    Vec3d origin;
    Vec3d axis;  // unit: the element's +Z
};
std::vector<ElementFrame> elementFrames(const TreFile& file, const std::vector<int>& parents);

// Height of the top of the model above z = 0 (largest z of any segment tip).
double modelTop(const TreFile& file, const std::vector<int>& parents);

// Writes the model as "tre" text.
bool writeTre(const TreFile& file, std::FILE* out);

// Writes the model to `path` through a temporary file renamed on success, so
// that no half-written model is ever left under the final name.
bool saveTre(const TreFile& file, const std::string& path, std::string& error);
