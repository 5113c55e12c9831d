// Installs the hooks through which the window-less model reaches GL: the
// loader's (the viewport's context, the texture size limit, the material
// textures, the shader path's buffers and matrix texture, glFinish) and the
// elements' glyph lines.
#include <GL/glew.h>  // before any other GL header

#include "render/tree_graphics_gl.h"

#include "app/windows.h"
#include "elements/glyph_drawing.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"

namespace {

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
    glContextCurrent,      makeViewportCurrent, maxTextureSize,       loadMaterialTextures,
    deleteMaterialTextures, setupStaticBuffers, setupMatrixTexture, deleteMatrixTexture,
    cleanupStaticBuffers, finish,
};

// A glyph line: model space to display space, under the caller's
// modelview matrix (the tree's placement) and with lighting off.
void glyphLine(Vec3 a, Vec3 b, float red, float green, float blue)
{
    const Vec3 p = toDisplay(a), q = toDisplay(b);
    glColor3f(red, green, blue);
    glBegin(GL_LINES);
    glVertex3f(p.x, p.y, p.z);
    glVertex3f(q.x, q.y, q.z);
    glEnd();
}

const GlyphDrawing glGlyphDrawing = {glyphLine};

}  // namespace

void installTreeGraphics()
{
    treeGraphics = &glTreeGraphics;
    glyphDrawing = &glGlyphDrawing;
}
