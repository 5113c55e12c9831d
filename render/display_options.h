// The panel's display switches that both drawing paths honour: which
// triangles are shown (leaves, segments), diffuse texturing on or off, and the
// intensity of light 0.
#pragma once

#include <cstdint>
#include <vector>

class CTree;

// Per slot of CTree::matrices, 1 where the element with that matrixIndex is a
// leaf, 0 for segments, the root (slot 0) and unused slots.
std::vector<uint8_t> leafSlots(const CTree& tree);

// True when "Show leaves" and "Show segments" are both on: every triangle is
// drawn and no per-triangle test is needed.
bool allTrianglesShown();

// Whether a triangle is drawn under "Show leaves" / "Show segments". A
// triangle belongs to the element of its first vertex (matrixIndex).
bool triangleShown(const std::vector<uint8_t>& leafSlot, int32_t matrixIndex);

// The indices of material m that are drawn under the two switches, three per
// triangle, in index order (used when not allTrianglesShown()).
std::vector<uint32_t> shownIndices(const CTree& tree, const std::vector<uint8_t>& leafSlot,
                                   uint32_t material);

// The texture to bind on unit 0 while material m is drawn: its own texture,
// or, with "diffuse texturess" off, a 1 x 1 white texture, so that the
// modulated colour is the untextured lit colour on either path.
uint32_t materialTextureShown(const CTree& tree, uint32_t material);

// The 1 x 1 white texture (made on first use on the current context).
uint32_t whiteTexture();
void releaseWhiteTexture();

// Light 0's ambient and diffuse colours: lightAmbient and lightDiffuse
// scaled by lightIntensity (alpha kept at 1). Called once per frame.
void applyLightIntensity();

// glActiveTexture when the driver has it (OpenGL 1.3); without it the one
// texture unit there is stays selected.
void selectTextureUnit(unsigned int unit);
