// growTree: the recursive parametric branching model. Stems per level carry
// the next level's stems and, on the outer levels, leaves; each stem is a
// chain of segments, and a segment's children are the next segment of its
// stem (attached at 1.0) followed by the stems and leaves that grow on it.
#pragma once

#include <cstdint>
#include <string>

#include "tools/grow/species.h"
#include "tools/grow/tre_file.h"

struct GrowOptions {
    int targetElements = 5000;   // segments + leaves wanted (met within a few percent)
    uint64_t seed = 1;
    bool mesh = false;           // also write a file mesh (tapered cylinders, leaf cards)
    int meshSides = 12;          // sides of the file mesh's cylinders
    std::string barkTexture;     // texture file names; empty: <preset>_bark.png, <preset>_leaf.png
    std::string leafTexture;
};

// The tree for `species` with about `targetElements` elements, the same for
// the same options on every platform.
TreFile growTree(const CSpecies& species, const GrowOptions& options);

// The elements grown at branch density `density` (1 = the preset's counts),
// without materials or mesh; growTree searches the density for its target.
// Growth stops early, leaving an incomplete tree of more than `limit`
// elements, once `limit` is passed.
TreFile growAtDensity(const CSpecies& species, uint64_t seed, double density, size_t limit);
