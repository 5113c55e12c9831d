// CTree::loadMaterialTextures and deleteMaterialTextures: one GL texture per
// material that owns triangles, decoded from the PNG file it names.
#include <GL/glew.h>  // before any other GL header

#include <cstdio>
#include <vector>

#include "image/png_decoder.h"
#include "render/display_options.h"
#include "tree/tree.h"

void CTree::loadMaterialTextures()
{
    materialTextures.assign(materialCount, 0);
    for (uint32_t m = 0; m < materialCount; ++m) {
        materialTextures[m] = 0;
        if (m >= materialIndexCount.size() || materialIndexCount[m] == 0 || m >= materials.size())
            continue;  // no triangles: no texture object, no file read

        selectTextureUnit(GL_TEXTURE0);
        glGenTextures(1, &materialTextures[m]);
        glBindTexture(GL_TEXTURE_2D, materialTextures[m]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

        std::vector<unsigned char> bytes;
        std::vector<unsigned char> pixels;
        loadFileBytes(materials[m].textureFile.c_str(), bytes);
        decodePngImage(bytes, pixels);
        if (pngError() != 0) {
            // The texture object stays without an image; drawing binds it all
            // the same and the material shows untextured.
            printf("ERROR LoadPNG : %d\n", pngError());
        } else if (size_t(pngWidth()) * pngHeight() * 4 <= pixels.size()) {
            // First row of the file at t = 0; internal format 4 = RGBA.
            glTexImage2D(GL_TEXTURE_2D, 0, 4, GLsizei(pngWidth()), GLsizei(pngHeight()), 0,
                         GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        }
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void CTree::deleteMaterialTextures()
{
    selectTextureUnit(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    for (uint32_t& texture : materialTextures)
        if (texture != 0)
            glDeleteTextures(1, &texture);
}
