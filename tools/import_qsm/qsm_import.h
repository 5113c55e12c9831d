// Import of quantitative structure models (a laser-scanned tree as a list of
// cylinders) into "tre" models: the TreeQSM text export and the SimpleForest
// CSV export are read into cylinders, checked, and turned into segments.
#pragma once

#include <string>
#include <vector>

#include "tools/grow/tre_file.h"

// Limits of the input, in metres: sizes of cylinders from micrometre twigs to
// kilometres, coordinates (start, end, axis components) as large as a
// projected or geocentric frame needs. Rows beyond them are refused.
constexpr double qsmMinSize = 1e-6;        // radius and length
constexpr double qsmMaxSize = 1e4;
constexpr double qsmMaxCoordinate = 1e8;
// Limits of the written model's lengths and diameters, in model units, after
// scaling (the viewer's loader refuses element values beyond 1e9).
constexpr double qsmMinModelSize = 1e-12;
constexpr double qsmMaxModelSize = 1e6;

// One cylinder, in metres, Z up.
struct QsmCylinder {
    Vec3d start;
    Vec3d axis;             // unit
    double radius = 0.0;
    double length = 0.0;
    int parent = -1;        // row of the parent cylinder, -1 for the root
    int extension = -1;     // row of the child that continues this cylinder's axis, -1 for none
    int line = 0;           // line of the input file, for messages
};

// TreeQSM text export: tab-separated, no header, 15 columns (radius, length,
// start x y z, axis x y z, parent, extension, added, unmodified radius,
// branch, branch order, position in branch); parent and extension are
// 1-based rows, 0 for none.
bool parseTreeQsm(const std::string& text, std::vector<QsmCylinder>& cylinders, std::string& error);

// SimpleForest CSV export: a header row naming the columns (ID, parentID,
// startX, startY, startZ, endX, endY, endZ, radius, length, ..., segmentID,
// ...); the root's parentID is -1. The extension of a cylinder is its child
// in the same segment.
bool parseSimpleForest(const std::string& text, std::vector<QsmCylinder>& cylinders, std::string& error);

struct QsmImportOptions {
    double height = 8.0;          // scale the tree to this height (model units); 0: keep metres
    double minDiameter = 0.12;    // thinner segments are thickened (the bending model needs stiffness)
    int leavesPerTip = 2;         // leaves on every cylinder without children
    double leafSize = 0.3;        // leaf card length of the file mesh (model units)
    bool mesh = false;            // write a file mesh
    int meshSides = 12;
    std::string barkTexture = "populus_nigra_italica_bark.png";
    std::string leafTexture = "populus_nigra_italica_leaf.png";
};

// The model of checked cylinders: a segment per cylinder (length, diameter
// = 2 x radius, direction = axis), children the cylinders naming it as parent
// with the extension first, attached where the child's start projects onto
// the parent's axis (a fraction of its length, clamped to 0..1).
bool convertQsm(const std::vector<QsmCylinder>& cylinders, const QsmImportOptions& options, TreFile& model,
                std::string& error);

// Reads `input` ("treeqsm", "simpleforest", or "" to choose by the file
// name: .csv is SimpleForest), converts it and writes `output`; nothing is
// written unless everything succeeds.
bool importQsmFile(const std::string& input, const std::string& format, const QsmImportOptions& options,
                   const std::string& output, std::string& error);
