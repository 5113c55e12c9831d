// The live parameters: plain globals that the control panel writes and the
// model, the wind and the drawing read at the moment of use. No copies, no
// caching: a change takes effect at the next read.
#pragma once

#include <cstddef>

constexpr std::size_t TREE_FILE_NAME_SIZE = 300;  // treeFileName holds 299 characters + NUL
extern const char* const DEFAULT_TREE_FILE_NAME;  // "prunus_cerasifera_nigra_reduced32.tre"

// --- file
extern char treeFileName[TREE_FILE_NAME_SIZE];  // default DEFAULT_TREE_FILE_NAME; model file to load

// --- animation control
extern int frameByFrameMode;  // 0; flag: animate only on "Frame step"

// --- wind
extern int showWindGlyph;         // 0; flag: draw each element's sampled wind
extern float windVelocity;        // 4.0; wind speed, model units per second; panel 0..100
extern float windRotation[16];    // identity; wind turn, 4x4 read row by row by CWind::update

// --- display options
extern int showDiffuseTextures;   // 1; flag: texture the mesh
extern int lightingEnabled;       // 1; flag: light 0 on (GL_LIGHTING stays on)
extern float lightIntensity;      // 1.0; factor on light 0's colours; panel 0..100
extern int showLeaves;            // 1; flag: draw the leaves' triangles
extern int showSegments;          // 1; flag: draw the segments' triangles
extern int showFaceNormals;       // 0; flag: draw a 0.2 line along each vertex normal
extern int showSegmentFrames;     // 0; flag: draw each segment's local axes
extern int showSceneElements;     // 1; flag: draw the ground square

// --- camera control
extern int projectionMode;        // 0; 0 perspective, 1 orthographic

// --- bending model: material properties (read when an element is initialised)
extern float density;             // 1.0; factor of a segment's mass; panel 0..100
extern float rigidity;            // 1.0; factor of the restoration force; panel 0..100

// --- bending model: leaves
extern float leafSurface;         // 1.0; a leaf's wind area, model units^2, at load; panel 0..100
extern int leafWindApply;         // 1; flag: leaves feel the wind
extern float leafWindScale;       // 1.0; factor of the leaf wind force; panel 0..100
extern int leafWindPropagate;     // 1; flag: leaves hand their wind force to the parent
extern int showLeafWindGlyphs;    // 0; flag: draw leaf wind forces
extern int shiverApply;           // 0; flag: leaves tremble
extern float shiverSpeed;         // 1.0; factor of the shiver phase speed; panel 0..100
extern float shiverIntensity;     // 1.0; factor of the shiver amplitude; panel 0..100

// --- bending model: segments
extern int showVelocity;          // 0; flag: draw segment velocities
extern int segmentWindApply;      // 1; flag: wind force enters the total
extern float segmentWindScale;    // 1.0; factor of the segment wind force; panel 0..100
extern int showSegmentWindGlyphs; // 0; flag
extern int restorationApply;      // 1; flag: restoration force enters the total
extern float restorationScale;    // 1.0; factor of the restoration force; panel 0..100
extern int showRestorationGlyphs; // 0; flag
extern int backpropApply;         // 1; flag: backpropagated force enters the total
extern float backpropScale;       // 1.0; factor of the backpropagated force; panel 0..100
extern int showBackpropGlyphs;    // 0; flag
extern int dampingApply;          // 1; flag: damping force enters the total
extern float dampingScale;        // 4.0; factor of the damping force; panel 0..100
extern int showDampingGlyphs;     // 0; flag

// --- animation level of detail (depth counts from the root, height from the tips)
extern int bendMinForward;        // 0; smallest depth that bends; panel 0..200
extern int bendMaxForward;        // 200; largest depth that bends; panel 0..200
extern int bendMinReverse;        // 0; smallest height that bends; panel 0..200
extern int bendMaxReverse;        // 200; largest height that bends; panel 0..200
extern int bendEveryNthForward;   // 1; only depths divisible by it bend; panel 1..200
extern int bendEveryNthReverse;   // 1; only heights divisible by it bend; panel 1..200
extern int assertBendMinForward;  // 0; depths up to it always bend; panel 0..200
extern int assertBendMinReverse;  // 0; heights up to it always bend; panel 0..200

// Puts every live parameter back to its default (tests start from here).
void resetLiveParameters();
