// addFileMesh: the mesh a "tre" file may carry, built from its elements in
// model space: a tapered open cylinder per segment and a textured card per
// leaf, every vertex bound to its element.
#pragma once

#include "tools/grow/tre_file.h"

// Replaces the file's mesh. `sides` (3 or more) per cylinder; the bark
// texture wraps once around each cylinder and repeats along it, the leaf
// texture covers each card with the leaf's base at t = 1 and its tip at t = 0.
// Returns false when the hierarchy is not valid (the mesh is then left empty).
bool addFileMesh(TreFile& file, int sides, int barkMaterial, int leafMaterial);
