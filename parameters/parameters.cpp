// Definitions and defaults of the live parameters.
#include "parameters/parameters.h"

#include <cstring>

const char* const DEFAULT_TREE_FILE_NAME = "prunus_cerasifera_nigra_reduced32.tre";

char treeFileName[TREE_FILE_NAME_SIZE] = "prunus_cerasifera_nigra_reduced32.tre";
int frameByFrameMode = 0;
int showWindGlyph = 0;
float windVelocity = 4.0f;
float windRotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
int showDiffuseTextures = 1;
int lightingEnabled = 1;
float lightIntensity = 1.0f;
int showLeaves = 1;
int showSegments = 1;
int showFaceNormals = 0;
int showSegmentFrames = 0;
int showSceneElements = 1;
int projectionMode = 0;
float density = 1.0f;
float rigidity = 1.0f;
float leafSurface = 1.0f;
int leafWindApply = 1;
float leafWindScale = 1.0f;
int leafWindPropagate = 1;
int showLeafWindGlyphs = 0;
int shiverApply = 0;
float shiverSpeed = 1.0f;
float shiverIntensity = 1.0f;
int showVelocity = 0;
int segmentWindApply = 1;
float segmentWindScale = 1.0f;
int showSegmentWindGlyphs = 0;
int restorationApply = 1;
float restorationScale = 1.0f;
int showRestorationGlyphs = 0;
int backpropApply = 1;
float backpropScale = 1.0f;
int showBackpropGlyphs = 0;
int dampingApply = 1;
float dampingScale = 4.0f;
int showDampingGlyphs = 0;
int bendMinForward = 0;
int bendMaxForward = 200;
int bendMinReverse = 0;
int bendMaxReverse = 200;
int bendEveryNthForward = 1;
int bendEveryNthReverse = 1;
int assertBendMinForward = 0;
int assertBendMinReverse = 0;

void resetLiveParameters()
{
    std::strcpy(treeFileName, DEFAULT_TREE_FILE_NAME);
    frameByFrameMode = 0;
    showWindGlyph = 0;
    windVelocity = 4.0f;
    static const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::memcpy(windRotation, identity, sizeof windRotation);
    showDiffuseTextures = 1;
    lightingEnabled = 1;
    lightIntensity = 1.0f;
    showLeaves = 1;
    showSegments = 1;
    showFaceNormals = 0;
    showSegmentFrames = 0;
    showSceneElements = 1;
    projectionMode = 0;
    density = 1.0f;
    rigidity = 1.0f;
    leafSurface = 1.0f;
    leafWindApply = 1;
    leafWindScale = 1.0f;
    leafWindPropagate = 1;
    showLeafWindGlyphs = 0;
    shiverApply = 0;
    shiverSpeed = 1.0f;
    shiverIntensity = 1.0f;
    showVelocity = 0;
    segmentWindApply = 1;
    segmentWindScale = 1.0f;
    showSegmentWindGlyphs = 0;
    restorationApply = 1;
    restorationScale = 1.0f;
    showRestorationGlyphs = 0;
    backpropApply = 1;
    backpropScale = 1.0f;
    showBackpropGlyphs = 0;
    dampingApply = 1;
    dampingScale = 4.0f;
    showDampingGlyphs = 0;
    bendMinForward = 0;
    bendMaxForward = 200;
    bendMinReverse = 0;
    bendMaxReverse = 200;
    bendEveryNthForward = 1;
    bendEveryNthReverse = 1;
    assertBendMinForward = 0;
    assertBendMinReverse = 0;
}
