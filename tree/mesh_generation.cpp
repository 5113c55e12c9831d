// The generated mesh: an open eight-sided cylinder per branch segment and a
// flat rhombus per leaf, stored in the element's own frame (display axes),
// plus the three display matrices every element writes at load time.
#include <cmath>

#include "elements/leaf.h"
#include "elements/segment.h"
#include "tree/tree.h"

// Matrix e starts at texel 4e mod W of row floor(4e / W); (s, t) is that
// texel's centre.
void CTree::matrixTexCoordOf(int32_t e, float st[2]) const
{
    const int64_t texel = 4 * static_cast<int64_t>(e);
    const int64_t W = matrixTexWidth, H = matrixTexHeight;
    st[0] = static_cast<float>((static_cast<double>(texel % W) + 0.5) / static_cast<double>(W));
    st[1] = static_cast<float>((static_cast<double>(texel / W) + 0.5) / static_cast<double>(H));
}

void CTree::setVertex(uint32_t i, const float p[3], const float n[3], const float st[2],
                      int32_t e)
{
    Vertex& v = vertices[i];
    for (int k = 0; k < 3; ++k) {
        v.position[k] = restPositions[3 * i + k] = p[k];
        v.normal[k] = normals[3 * i + k] = n[k];
    }
    v.texCoord[0] = texCoords[2 * i] = st[0];
    v.texCoord[1] = texCoords[2 * i + 1] = st[1];
    v.matrixIndex = e;
    matrixTexCoordOf(e, v.matrixTexCoord);
}

void CTree::addTriangle(uint32_t a, uint32_t b, uint32_t c, int32_t material)
{
    triangles[nextTriangle++] = Triangle{{a, b, c}, material};
    indices[nextIndex++] = a;
    indices[nextIndex++] = b;
    indices[nextIndex++] = c;
}

// The element's rest pose into its matrices slot, and the display forms of
// the rest inverse transform and rotation into the load-time slots.
static void writeRestMatrices(const CTreeElement& element)
{
    toDisplayMatrix(element.restModelTransform, element.modelMatrix);
    toDisplayMatrix(element.restModelTransformInverse, element.restInverseMatrix);
    toDisplayMatrix(element.restModelRotationInverse, element.restNormalMatrix);
}

void CTree::generateSegmentMesh(CSegment* segment)
{
    if (!useFileMesh) {
        const uint32_t v = nextVertex;
        const int32_t e = segment->matrixIndex;
        for (uint32_t k = 0; k < 8; ++k) {
            const uint32_t a = k, b = (k + 1) % 8;
            addTriangle(v + a, v + b, v + a + 8, segmentMaterial);
            addTriangle(v + b, v + b + 8, v + a + 8, segmentMaterial);
        }
        const double r = 0.5 * segment->diameter;
        const float L = static_cast<float>(segment->length);
        for (uint32_t j = 0; j < 8; ++j) {
            // The ring angle uses this constant for 2 pi; there is no seam vertex.
            const double s = j * 0.125;
            const double theta = s * 6.2831853;
            const double c = std::cos(theta), sn = std::sin(theta);
            const float normal[3] = {static_cast<float>(c), 0.0f, static_cast<float>(-sn)};
            const float x = static_cast<float>(r * c), z = static_cast<float>(-r * sn);
            const float lower[3] = {x, 0.0f, z};
            const float upper[3] = {x, L, z};
            const float lowerTex[2] = {static_cast<float>(s), 0.0f};
            const float upperTex[2] = {static_cast<float>(s), 1.0f};
            setVertex(v + j, lower, normal, lowerTex, e);
            setVertex(v + j + 8, upper, normal, upperTex, e);
        }
        nextVertex += 16;
    }
    writeRestMatrices(*segment);
}

void CTree::generateLeafMesh(CTreeElement* leaf)
{
    if (!useFileMesh) {
        const uint32_t v = nextVertex;
        const int32_t e = leaf->matrixIndex;
        addTriangle(v, v + 1, v + 2, leafMaterial);
        addTriangle(v, v + 2, v + 3, leafMaterial);
        // A rhombus 0.4 long along the axis (display +Y) and 0.4 wide.
        static const float position[4][3] = {
            {0.0f, 0.0f, 0.0f}, {0.2f, 0.2f, 0.0f}, {0.0f, 0.4f, 0.0f}, {-0.2f, 0.2f, 0.0f}};
        static const float texCoord[4][2] = {{0.5f, 1.0f}, {1.0f, 0.5f}, {0.5f, 0.0f}, {0.0f, 0.5f}};
        static const float normal[3] = {0.0f, 0.0f, 1.0f};
        for (uint32_t j = 0; j < 4; ++j)
            setVertex(v + j, position[j], normal, texCoord[j], e);
        nextVertex += 4;
    }
    writeRestMatrices(*leaf);
}
