// The display switches shared by the fixed-function and the shader path.
#include "render/display_options.h"

#include <GL/glew.h>

#include "app/windows.h"
#include "elements/leaf.h"
#include "elements/segment.h"
#include "parameters/parameters.h"
#include "tree/tree.h"

namespace {

GLuint whiteTextureName = 0;

}  // namespace

std::vector<uint8_t> leafSlots(const CTree& tree)
{
    // Every element of the current hierarchy, without a walk down it.
    std::vector<uint8_t> slots(tree.matrices.size() / 16, 0);
    for (const CTreeElement* element : tree.elementOrder) {
        const int32_t slot = element->matrixIndex;
        if (!dynamic_cast<const CSegment*>(element) && slot > 0 && static_cast<size_t>(slot) < slots.size())
            slots[slot] = 1;
    }
    return slots;
}

bool allTrianglesShown()
{
    return showLeaves && showSegments;
}

bool triangleShown(const std::vector<uint8_t>& leafSlot, int32_t matrixIndex)
{
    bool leaf = matrixIndex > 0 && static_cast<size_t>(matrixIndex) < leafSlot.size() &&
                leafSlot[matrixIndex];
    return leaf ? showLeaves != 0 : showSegments != 0;
}

std::vector<uint32_t> shownIndices(const CTree& tree, const std::vector<uint8_t>& leafSlot,
                                   uint32_t material)
{
    std::vector<uint32_t> shown;
    if (material >= tree.materialFirstIndex.size() || material >= tree.materialIndexCount.size())
        return shown;
    size_t first = tree.materialFirstIndex[material];
    size_t end = first + tree.materialIndexCount[material];
    for (size_t i = first; i + 2 < end && i + 2 < tree.indices.size(); i += 3) {
        uint32_t v = tree.indices[i];
        if (v < tree.vertices.size() && triangleShown(leafSlot, tree.vertices[v].matrixIndex))
            shown.insert(shown.end(), {tree.indices[i], tree.indices[i + 1], tree.indices[i + 2]});
    }
    return shown;
}

uint32_t materialTextureShown(const CTree& tree, uint32_t material)
{
    if (!showDiffuseTextures)
        return whiteTexture();
    return material < tree.materialTextures.size() ? tree.materialTextures[material] : 0;
}

uint32_t whiteTexture()
{
    if (whiteTextureName == 0) {
        const GLubyte white[4] = {255, 255, 255, 255};
        GLint previous = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
        glGenTextures(1, &whiteTextureName);
        glBindTexture(GL_TEXTURE_2D, whiteTextureName);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    }
    return whiteTextureName;
}

void releaseWhiteTexture()
{
    if (whiteTextureName != 0) {
        glDeleteTextures(1, &whiteTextureName);
        whiteTextureName = 0;
    }
}

void applyLightIntensity()
{
    float ambient[4], diffuse[4];
    for (int i = 0; i < 3; ++i) {
        ambient[i] = lightAmbient[i] * lightIntensity;
        diffuse[i] = lightDiffuse[i] * lightIntensity;
    }
    ambient[3] = lightAmbient[3];
    diffuse[3] = lightDiffuse[3];
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
}

void selectTextureUnit(unsigned int unit)
{
    if (glActiveTexture)
        glActiveTexture(unit);
}
