// The mesh records shared by the loader, the mesh generation, both renderers
// and the vertex buffer (whose layout is Vertex's, stride 44 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Vertex {
    float position[3];        // element frame, display axes
    float normal[3];          // unit, element frame, display axes
    float texCoord[2];        // diffuse texture coordinate (unit 0)
    float matrixTexCoord[2];  // centre of the first texel of the element's matrix (unit 1)
    int32_t matrixIndex;      // owning element's slot in CTree::matrices
};
static_assert(sizeof(Vertex) == 44, "Vertex is the 44-byte vertex buffer layout");
static_assert(offsetof(Vertex, normal) == 12 && offsetof(Vertex, texCoord) == 24 &&
                  offsetof(Vertex, matrixTexCoord) == 32 && offsetof(Vertex, matrixIndex) == 40,
              "Vertex fields are packed without gaps");

struct Triangle {
    uint32_t vertex[3];  // positions in CTree::vertices
    int32_t material;    // position in CTree::materials
};

struct Material {
    std::string textureFile;  // PNG file, relative to the working directory
    float triples[4][3] = {}; // the block's four colour lines (not used for drawing)
    float scalar = 0.0f;      // the block's last line (not used for drawing)
};
