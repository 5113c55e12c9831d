// The live parameters: plain globals that the control panel writes and the
// model, the wind and the drawing read at the moment of use. No copies, no
// caching: a change takes effect at the next read.
//
// Every parameter is described once, in the table below (name, type,
// default, panel range, unit, meaning): the globals, their initial values,
// resetLiveParameters, the panel's resets and ranges and the tools'
// --set NAME=VALUE all come from it.
#pragma once

#include <cstddef>

constexpr std::size_t TREE_FILE_NAME_SIZE = 300;  // treeFileName holds 299 characters + NUL
extern const char* const DEFAULT_TREE_FILE_NAME;  // "prunus_cerasifera_nigra_reduced32.tre"

// Flags are 32-bit ints holding 0 or 1, counts 32-bit ints, scales 32-bit
// floats; the camera's state is double.
#define DOR_PARAMETER_TYPE_Flag int
#define DOR_PARAMETER_TYPE_Int int
#define DOR_PARAMETER_TYPE_Float float
#define DOR_PARAMETER_TYPE_Double double

// The numeric live parameters, one row each:
//   X(name, type, default, panel minimum, panel maximum, unit, meaning)
// "units" are the tree file's length units.
#define DOR_NUMERIC_PARAMETERS(X)                                                                     \
    /* animation control */                                                                          \
    X(frameByFrameMode, Flag, 0, 0, 1, "", "animate only on \"Frame step\"")                          \
    /* wind */                                                                                       \
    X(showWindGlyph, Flag, 0, 0, 1, "", "draw each element's sampled wind")                           \
    X(windVelocity, Float, 4.0, 0, 100, "units/s", "wind speed")                                       \
    /* wind field: turbulence and gusts on the mean wind (off: one uniform wind) */                    \
    X(windTurbulence, Flag, 0, 0, 1, "", "turbulence on")                                              \
    X(turbulenceIntensity, Float, 0.2, 0, 2, "", "each component's standard deviation / mean speed")   \
    X(turbulenceScale, Float, 5.0, 0.1, 1000, "m", "integral length scale of the turbulence")          \
    X(windGusts, Flag, 0, 0, 1, "", "gust fronts on")                                                  \
    X(gustStrength, Float, 0.5, 0, 10, "", "an average gust's added speed at its peak / mean speed")   \
    X(gustInterval, Float, 20.0, 1, 3600, "s", "mean time between gusts")                              \
    X(gustRiseTime, Float, 2.0, 0.05, 600, "s", "a gust's rise from calm to its peak")                 \
    X(gustFallTime, Float, 4.0, 0.05, 600, "s", "a gust's fall from its peak to calm")                 \
    X(gustRandomness, Float, 0.5, 0, 1, "", "spread of the gusts' times and strengths (0 alike)")      \
    X(windSeed, Int, 1, 0, 2147483647, "", "seed of the turbulence and the gusts")                     \
    X(windResponseTime, Float, 1.0, 0, 60, "s", "lag of the field's mean wind behind speed and direction edits (0 immediate)") \
    /* display options */                                                                            \
    X(showDiffuseTextures, Flag, 1, 0, 1, "", "texture the mesh")                                     \
    X(lightingEnabled, Flag, 1, 0, 1, "", "light 0 on (GL_LIGHTING stays on)")                        \
    X(lightIntensity, Float, 1.0, 0, 100, "", "factor on light 0's colours")                          \
    X(showLeaves, Flag, 1, 0, 1, "", "draw the leaves' triangles")                                    \
    X(showSegments, Flag, 1, 0, 1, "", "draw the segments' triangles")                                \
    X(showFaceNormals, Flag, 0, 0, 1, "", "draw a 0.2 line along each vertex normal")                 \
    X(showSegmentFrames, Flag, 0, 0, 1, "", "draw each segment's local axes")                         \
    X(showSceneElements, Flag, 1, 0, 1, "", "draw the ground square")                                 \
    /* camera control */                                                                             \
    X(projectionMode, Int, 0, 0, 1, "", "0 perspective, 1 orthographic")                              \
    X(cameraRotX, Double, 0.0, -1e9, 1e9, "drag", "accumulated vertical drag (x 0.0174532925 = degrees)") \
    X(cameraRotY, Double, 0.0, -1e9, 1e9, "drag", "accumulated horizontal drag (x 0.0174532925 = degrees)") \
    X(cameraDistance, Double, 16.0, -1e9, 1e9, "units", "scene distance from the eye along -z")       \
    X(cameraHeight, Double, 5.0, -1e9, 1e9, "units", "the scene is moved down by this")                \
    /* bending model: material properties (read when an element is initialised) */                   \
    X(density, Float, 1.0, 0, 100, "", "factor of a segment's mass")                                  \
    X(rigidity, Float, 1.0, 0, 100, "", "factor of the restoration force")                            \
    /* bending model: leaves */                                                                      \
    X(leafSurface, Float, 1.0, 0, 100, "units^2", "a leaf's wind area, at load")                      \
    X(leafWindApply, Flag, 1, 0, 1, "", "leaves feel the wind")                                       \
    X(leafWindScale, Float, 1.0, 0, 100, "", "factor of the leaf wind force")                         \
    X(leafWindPropagate, Flag, 1, 0, 1, "", "leaves hand their wind force to the parent")             \
    X(showLeafWindGlyphs, Flag, 0, 0, 1, "", "draw leaf wind forces")                                 \
    X(shiverApply, Flag, 0, 0, 1, "", "leaves tremble")                                               \
    X(shiverSpeed, Float, 1.0, 0, 100, "", "factor of the shiver phase speed")                        \
    X(shiverIntensity, Float, 1.0, 0, 100, "", "factor of the shiver amplitude")                      \
    /* bending model: segments */                                                                    \
    X(showVelocity, Flag, 0, 0, 1, "", "draw segment velocities")                                     \
    X(segmentWindApply, Flag, 1, 0, 1, "", "wind force enters the total")                             \
    X(segmentWindScale, Float, 1.0, 0, 100, "", "factor of the segment wind force")                   \
    X(showSegmentWindGlyphs, Flag, 0, 0, 1, "", "draw segment wind forces")                           \
    X(restorationApply, Flag, 1, 0, 1, "", "restoration force enters the total")                      \
    X(restorationScale, Float, 1.0, 0, 100, "", "factor of the restoration force")                    \
    X(showRestorationGlyphs, Flag, 0, 0, 1, "", "draw restoration forces")                            \
    X(backpropApply, Flag, 1, 0, 1, "", "backpropagated force enters the total")                      \
    X(backpropScale, Float, 1.0, 0, 100, "", "factor of the backpropagated force")                    \
    X(showBackpropGlyphs, Flag, 0, 0, 1, "", "draw backpropagated forces")                            \
    X(dampingApply, Flag, 1, 0, 1, "", "damping force enters the total")                              \
    X(dampingScale, Float, 4.0, 0, 100, "", "factor of the damping force")                            \
    X(showDampingGlyphs, Flag, 0, 0, 1, "", "draw damping forces")                                    \
    /* bending model: which one, and the fixed-rate option of the classic one */                    \
    X(bendingModel, Int, 0, 0, 1, "", "0 classic, 1 physical (switching resets the tree)")            \
    X(fixedRate, Float, 0.0, 0, 1000, "Hz", "classic model stepped at this fixed rate (0 off: one step per frame)") \
    /* physical model (tree-file units are metres): wood, air, leaves, time */                       \
    X(youngModulus, Float, 6.0, 0.1, 50, "GPa", "Young's modulus of the wood (green wood 5-12)")      \
    X(woodDensity, Float, 800.0, 100, 2000, "kg/m^3", "density of the green wood")                    \
    X(dragCoefficient, Float, 1.2, 0, 5, "", "drag coefficient of segments and leaves (a cylinder 1.2)") \
    X(airDensity, Float, 1.2, 0, 5, "kg/m^3", "density of the air")                                   \
    X(leafMass, Float, 0.004, 0.0001, 1, "kg", "mass of one leaf of the file (a cluster of leaves)")  \
    X(leafArea, Float, 0.015, 0, 1, "m^2", "drag area of one leaf of the file (a cluster of leaves)") \
    X(structuralDamping, Float, 0.15, 0, 1, "", "damping ratio aimed at for each branch's first mode") \
    X(gravityApply, Flag, 0, 0, 1, "", "gravity loads the tree (the file pose is the unloaded one)")  \
    X(physicsRate, Float, 120.0, 30, 2000, "Hz", "fixed step rate of the physical model")             \
    /* animation level of detail (depth counts from the root, height from the tips) */               \
    X(bendMinForward, Int, 0, 0, 200, "levels", "smallest depth that bends")                          \
    X(bendMaxForward, Int, 200, 0, 200, "levels", "largest depth that bends")                         \
    X(bendMinReverse, Int, 0, 0, 200, "levels", "smallest height that bends")                         \
    X(bendMaxReverse, Int, 200, 0, 200, "levels", "largest height that bends")                        \
    X(bendEveryNthForward, Int, 1, 1, 200, "", "only depths divisible by it bend")                    \
    X(bendEveryNthReverse, Int, 1, 1, 200, "", "only heights divisible by it bend")                   \
    X(assertBendMinForward, Int, 0, 0, 200, "levels", "depths up to it always bend")                  \
    X(assertBendMinReverse, Int, 0, 0, 200, "levels", "heights up to it always bend")

#define DOR_DECLARE_PARAMETER(name, type, ...) extern DOR_PARAMETER_TYPE_##type name;
DOR_NUMERIC_PARAMETERS(DOR_DECLARE_PARAMETER)
#undef DOR_DECLARE_PARAMETER

// The two parameters that are not numbers (rows of the table too):
extern char treeFileName[TREE_FILE_NAME_SIZE];  // default DEFAULT_TREE_FILE_NAME; model file to load
extern float windRotation[16];  // identity; wind turn, 4x4 read row by row by CWind::update

enum class ParameterType { Flag, Int, Float, Double, Text, Rotation };

// One row of the table, with the address of its global.
struct LiveParameter {
    const char* name;
    ParameterType type;
    void* value;
    double defaultValue;      // numbers; Text and Rotation have their own
    double minimum, maximum;  // numbers: the panel's range, also --set's
    const char* unit;         // "" for flags, factors and counts
    const char* meaning;
};

extern const LiveParameter liveParameters[];
extern const std::size_t liveParameterCount;

// The row of the parameter with this name, or null.
const LiveParameter* findLiveParameter(const char* name);
// The row of the parameter whose global lies at value, or null.
const LiveParameter* liveParameterAt(const void* value);
// Sets the parameter from text: a flag 0 or 1, an integer, a number (all
// within the range), a file name shorter than TREE_FILE_NAME_SIZE, or a
// rotation of 16 numbers separated by commas. Returns false, the parameter
// unchanged, for anything else.
bool setLiveParameter(const LiveParameter& parameter, const char* text);
// Puts one parameter back to its default.
void resetLiveParameter(const LiveParameter& parameter);
// Puts every live parameter back to its default (tests start from here).
void resetLiveParameters();
