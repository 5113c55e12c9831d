// The bark and leaf textures of a species, synthesised from its colours and
// shapes: bark with furrows (or cherry-like bands) and noise that tiles in
// both directions, leaves whose alpha channel cuts out the blade.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/grow/species.h"

struct TextureImage {
    uint32_t width = 0, height = 0;
    int channels = 4;               // 3: RGB, 4: RGBA
    std::vector<uint8_t> pixels;    // rows from the top
};

// 128 x 256 RGB: s runs around the branch, t along it; tiles both ways.
TextureImage makeBarkTexture(const CSpecies& species, uint64_t seed);

// 128 x 128 RGBA: the leaf's base at the bottom row (t = 1), its tip at the
// top (t = 0), centred on s = 0.5, transparent around the blade. Outside the
// blade the colour is the blade's darkened edge, so that a renderer that
// ignores alpha still shows a leaf-coloured card.
TextureImage makeLeafTexture(const CSpecies& species, uint64_t seed);
