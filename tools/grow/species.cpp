// The presets of the branching model: four contrasting trees sized for the
// viewer's default camera (6 to 10 units tall, crowns within the 8 x 8 ground
// square) and for the bending model's constants (diameters in tenths of a
// unit, so that the default wind of 4 sways them without folding them over).
#include "tools/grow/species.h"

static std::vector<CSpecies> makePresets()
{
    std::vector<CSpecies> presets;

    // A small cherry plum with dark purple leaves: short trunk, rounded crown.
    {
        CSpecies s;
        s.name = "prunus_cerasifera_nigra";
        s.description = "cherry plum with dark purple leaves, rounded crown, about 6.5 units tall";
        StemLevel trunk;
        trunk.length = 5.0; trunk.lengthVariation = 0.05; trunk.segments = 8;
        trunk.children = 7; trunk.childStart = 0.3; trunk.rotate = 137.5;
        trunk.curve = 0; trunk.curveVariation = 8; trunk.tropism = 0.0;
        StemLevel l1;
        l1.length = 0.6; l1.segments = 6; l1.children = 5; l1.childStart = 0.2;
        l1.downAngle = 50; l1.downAngleVariation = 12; l1.curve = 15; l1.curveVariation = 15;
        l1.tropism = 0.02;
        StemLevel l2;
        l2.length = 0.5; l2.segments = 4; l2.children = 4; l2.childStart = 0.15;
        l2.downAngle = 45; l2.downAngleVariation = 12; l2.curve = 0; l2.curveVariation = 20;
        StemLevel l3;
        l3.length = 0.45; l3.segments = 2; l3.downAngle = 40; l3.downAngleVariation = 12;
        l3.curveVariation = 15;
        s.levels = {trunk, l1, l2, l3};
        s.crown = CrownShape::Hemispherical;
        s.trunkDiameter = 0.36; s.taper = 0.75; s.childDiameterRatio = 0.6; s.minDiameter = 0.12; s.leavesPerSegment = 2;
        s.leafLevels = 1; s.leavesPerStem = 6; s.leafStart = 0.1; s.leafDownAngle = 55;
        s.leafLength = 0.28; s.leafWidth = 0.17; s.leafShape = LeafShape::Ovate;
        s.leafColour = {0.29, 0.07, 0.16}; s.leafVeinColour = {0.45, 0.15, 0.25};
        s.barkColour = {0.36, 0.22, 0.2}; s.barkFurrowColour = {0.14, 0.08, 0.07};
        s.barkFurrows = 3; s.barkHorizontal = 1.0;
        presets.push_back(s);
    }

    // An upright, columnar poplar: steep short branches along a tall trunk.
    {
        CSpecies s;
        s.name = "populus_nigra_italica";
        s.description = "upright columnar poplar, about 9.5 units tall";
        StemLevel trunk;
        trunk.length = 8.2; trunk.lengthVariation = 0.03; trunk.segments = 12;
        trunk.children = 16; trunk.childStart = 0.1; trunk.rotate = 137.5;
        trunk.curveVariation = 4;
        StemLevel l1;
        l1.length = 0.26; l1.segments = 4; l1.children = 5; l1.childStart = 0.15;
        l1.downAngle = 28; l1.downAngleVariation = 8; l1.curve = 20; l1.curveVariation = 10;
        l1.tropism = 0.06;
        StemLevel l2;
        l2.length = 0.45; l2.segments = 2; l2.downAngle = 35; l2.downAngleVariation = 10;
        l2.curve = 10; l2.tropism = 0.05;
        s.levels = {trunk, l1, l2};
        s.crown = CrownShape::Columnar;
        s.trunkDiameter = 0.42; s.taper = 0.8; s.childDiameterRatio = 0.55; s.minDiameter = 0.12; s.leavesPerSegment = 2;
        s.leafLevels = 2; s.leavesPerStem = 5; s.leafStart = 0.2; s.leafDownAngle = 45;
        s.leafLength = 0.26; s.leafWidth = 0.22; s.leafShape = LeafShape::Deltoid;
        s.leafColour = {0.22, 0.45, 0.12}; s.leafVeinColour = {0.45, 0.62, 0.3};
        s.barkColour = {0.5, 0.48, 0.42}; s.barkFurrowColour = {0.2, 0.19, 0.17};
        s.barkFurrows = 7; s.barkHorizontal = 0.0;
        presets.push_back(s);
    }

    // A weeping willow: arching main branches with long hanging whips.
    {
        CSpecies s;
        s.name = "salix_babylonica";
        s.description = "weeping willow with long hanging whips, about 7 units tall";
        StemLevel trunk;
        trunk.length = 3.8; trunk.lengthVariation = 0.05; trunk.segments = 5;
        trunk.children = 6; trunk.childStart = 0.55; trunk.rotate = 137.5;
        trunk.curveVariation = 6;
        StemLevel l1;
        l1.length = 1.15; l1.segments = 7; l1.children = 8; l1.childStart = 0.25;
        l1.downAngle = 35; l1.downAngleVariation = 10; l1.curve = 20; l1.curveVariation = 10;
        l1.tropism = -0.06;
        StemLevel l2;
        l2.length = 0.8; l2.lengthVariation = 0.2; l2.segments = 7; l2.rotate = 137.5;
        l2.downAngle = 60; l2.downAngleVariation = 15; l2.curve = -30; l2.curveVariation = 10;
        l2.tropism = -0.45;
        s.levels = {trunk, l1, l2};
        s.crown = CrownShape::Spherical;
        s.trunkDiameter = 0.45; s.taper = 0.7; s.childDiameterRatio = 0.55; s.minDiameter = 0.12; s.leavesPerSegment = 2;
        s.leafLevels = 1; s.leavesPerStem = 10; s.leafStart = 0.1; s.leafDownAngle = 35;
        s.leafLength = 0.3; s.leafWidth = 0.09; s.leafShape = LeafShape::Lanceolate;
        s.leafColour = {0.42, 0.6, 0.18}; s.leafVeinColour = {0.62, 0.75, 0.35};
        s.barkColour = {0.42, 0.36, 0.28}; s.barkFurrowColour = {0.16, 0.13, 0.1};
        s.barkFurrows = 8; s.barkHorizontal = 0.0;
        presets.push_back(s);
    }

    // A conifer: one straight leader with whorls of level branches, conical.
    {
        CSpecies s;
        s.name = "picea_abies";
        s.description = "conical spruce-like conifer with whorled branches, about 9 units tall";
        StemLevel trunk;
        trunk.length = 9.0; trunk.lengthVariation = 0.03; trunk.segments = 14;
        trunk.children = 36; trunk.childStart = 0.12; trunk.whorl = 4; trunk.rotate = 37;
        trunk.curveVariation = 2;
        StemLevel l1;
        l1.length = 0.36; l1.segments = 4; l1.children = 6; l1.childStart = 0.2;
        l1.downAngle = 78; l1.downAngleVariation = 6; l1.curve = 12; l1.curveVariation = 6;
        l1.rotate = 180; l1.tropism = -0.01;
        StemLevel l2;
        l2.length = 0.35; l2.segments = 2; l2.downAngle = 55; l2.downAngleVariation = 10;
        l2.curve = 0; l2.curveVariation = 10;
        s.levels = {trunk, l1, l2};
        s.crown = CrownShape::Conical;
        s.trunkDiameter = 0.38; s.taper = 0.85; s.childDiameterRatio = 0.5; s.minDiameter = 0.12; s.leavesPerSegment = 2;
        s.leafLevels = 2; s.leavesPerStem = 5; s.leafStart = 0.1; s.leafDownAngle = 60;
        s.leafLength = 0.22; s.leafWidth = 0.16; s.leafShape = LeafShape::Needles;
        s.leafColour = {0.08, 0.26, 0.12}; s.leafVeinColour = {0.16, 0.38, 0.2};
        s.barkColour = {0.38, 0.26, 0.2}; s.barkFurrowColour = {0.17, 0.11, 0.09};
        s.barkFurrows = 5; s.barkHorizontal = 0.4;
        presets.push_back(s);
    }
    return presets;
}

const std::vector<CSpecies>& speciesPresets()
{
    static const std::vector<CSpecies> presets = makePresets();
    return presets;
}

const CSpecies* findSpecies(const std::string& name)
{
    for (const CSpecies& s : speciesPresets())
        if (s.name == name)
            return &s;
    return nullptr;
}
