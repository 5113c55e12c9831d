// CSpecies: the parameters of the recursive branching model for one kind of
// tree (stems per level, leaves, colours of its textures), and the presets.
#pragma once

#include <string>
#include <vector>

// Stems of one level: level 0 is the trunk, level k + 1 grows on level k.
struct StemLevel {
    double length = 1.0;            // trunk: model units; others: ratio to the parent stem's length
    double lengthVariation = 0.1;   // relative, +-
    int segments = 4;               // segments per stem
    double children = 0.0;          // stems of the next level per stem (scaled by the density)
    double childStart = 0.0;        // children grow beyond this fraction of the stem
    int whorl = 1;                  // children per node (conifer whorls)
    double rotate = 137.5;          // degrees about the stem between successive nodes
    double downAngle = 45.0;        // degrees between a stem of this level and its parent's axis
    double downAngleVariation = 10.0;
    double curve = 0.0;             // degrees of bend over the stem (positive: upward)
    double curveVariation = 10.0;
    double tropism = 0.0;           // per segment pull toward +Z (positive) or -Z (negative)
};

enum class LeafShape { Ovate, Deltoid, Lanceolate, Needles };
enum class CrownShape { Conical, Spherical, Columnar, Hemispherical };

struct Rgb {
    double r, g, b;  // 0..1
};

class CSpecies {
public:
    std::string name;                 // preset name
    std::string description;
    std::vector<StemLevel> levels;    // trunk first
    CrownShape crown = CrownShape::Spherical;  // length of level-1 stems along the trunk
    double trunkDiameter = 0.3;       // model units, at the base
    double taper = 0.8;               // tip diameter = base x (1 - taper)
    double childDiameterRatio = 0.6;  // child base / parent diameter where it grows
    double minDiameter = 0.05;        // no segment is thinner (the bending model needs some stiffness)
    int leafLevels = 1;               // the outermost levels that carry leaves
    double leavesPerStem = 6.0;       // per stem of a leaf-bearing level (scaled by the density)
    double leavesPerSegment = 2.0;    // at most, on average (leafy stems get more segments)
    double leafStart = 0.2;           // leaves grow beyond this fraction of the stem
    double leafDownAngle = 50.0;      // degrees from the stem's axis
    double leafLength = 0.3;          // blade length of the file mesh's leaf cards
    double leafWidth = 0.16;
    LeafShape leafShape = LeafShape::Ovate;
    Rgb leafColour{0.2, 0.5, 0.15};   // blade
    Rgb leafVeinColour{0.35, 0.6, 0.25};
    Rgb barkColour{0.4, 0.3, 0.25};   // ridges
    Rgb barkFurrowColour{0.15, 0.1, 0.08};
    double barkFurrows = 6.0;         // furrows around the trunk in one texture width
    double barkHorizontal = 0.0;      // 0: vertical furrows, 1: horizontal bands (cherry lenticels)
};

// The named presets, in a fixed order.
const std::vector<CSpecies>& speciesPresets();

// The preset called `name`, or null.
const CSpecies* findSpecies(const std::string& name);
