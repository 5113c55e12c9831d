// Installs the hooks through which the window-less loader reaches GL: the
// viewport's context, the texture size limit, the material textures, the
// shader path's buffers and matrix texture, glFinish.
#include <GL/glew.h>  // before any other GL header

#include "render/tree_graphics_gl.h"

#include <GL/glx.h>

#include "app/windows.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"

namespace {

bool contextCurrent()
{
    return glXGetCurrentContext() != nullptr;
}

void makeViewportCurrent()
{
    checkViewportContext();
}

int maxTextureSize()
{
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

void loadMaterialTextures(CTree& tree) { tree.loadMaterialTextures(); }
void deleteMaterialTextures(CTree& tree) { tree.deleteMaterialTextures(); }
void setupStaticBuffers(CTree& tree) { tree.setupStaticBuffers(); }
void setupMatrixTexture(CTree& tree) { tree.setupMatrixTexture(); }
void deleteMatrixTexture(CTree& tree) { tree.deleteMatrixTexture(); }
void cleanupStaticBuffers(CTree& tree) { tree.cleanupStaticBuffers(); }
void finish() { glFinish(); }

const TreeGraphics glTreeGraphics = {
    contextCurrent,      makeViewportCurrent, maxTextureSize,       loadMaterialTextures,
    deleteMaterialTextures, setupStaticBuffers, setupMatrixTexture, deleteMatrixTexture,
    cleanupStaticBuffers, finish,
};

}  // namespace

void installTreeGraphics()
{
    treeGraphics = &glTreeGraphics;
}
