// CTree::draw and CTree::drawMesh: the element glyphs, then the mesh, either
// on the shader path or transformed on the processor by the element matrices
// and sent in immediate mode (the fixed-function path).
#include <GL/glew.h>  // before any other GL header

#include <algorithm>
#include <vector>

#include "app/windows.h"
#include "elements/tree_element.h"
#include "parameters/parameters.h"
#include "render/display_options.h"
#include "render/shader_path.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"

namespace {

// The triangles of one index group drawn with one texture: entries
// first .. first + count - 1 of tree.indices, three per triangle, each after
// its vertex normals' lines when "Show face normals" is on. Without
// triangles, the lines alone.
void drawTriangleGroup(const CTree& tree, uint32_t first, uint32_t count, GLuint texture,
                       const std::vector<uint8_t>& leafSlot, bool triangles)
{
    if (count == 0)
        return;  // nothing drawn, nothing bound
    const size_t slots = tree.matrices.size() / 16;
    const size_t end = std::min<size_t>(size_t(first) + count, tree.indices.size());
    const bool filter = !allTrianglesShown();

    selectTextureUnit(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushMatrix();
    for (size_t i = first; i + 2 < end; i += 3) {
        float p[3][3];
        const float* n[3];
        const float* st[3];
        bool valid = true;
        for (int k = 0; k < 3 && valid; ++k) {
            uint32_t v = tree.indices[i + k];
            if (v >= tree.vertices.size() || 3 * size_t(v) + 2 >= tree.normals.size() ||
                2 * size_t(v) + 1 >= tree.texCoords.size()) {
                valid = false;
                break;
            }
            const Vertex& vertex = tree.vertices[v];
            if (vertex.matrixIndex < 0 || size_t(vertex.matrixIndex) >= slots) {
                valid = false;
                break;
            }
            // p' = M (p, 1), M column-major, its fourth row ignored.
            const float* M = &tree.matrices[size_t(vertex.matrixIndex) * 16];
            const float* q = vertex.position;
            p[k][0] = M[0] * q[0] + M[4] * q[1] + M[8] * q[2] + M[12];
            p[k][1] = M[1] * q[0] + M[5] * q[1] + M[9] * q[2] + M[13];
            p[k][2] = M[2] * q[0] + M[6] * q[1] + M[10] * q[2] + M[14];
            // Normals stay in the element's frame: not turned by M.
            n[k] = &tree.normals[3 * size_t(v)];
            st[k] = &tree.texCoords[2 * size_t(v)];
        }
        if (!valid)
            continue;  // a vertex or matrix outside the model: not drawn
        if (filter && !triangleShown(leafSlot, tree.vertices[tree.indices[i]].matrixIndex))
            continue;

        if (showFaceNormals) {
            // One white line of length 0.2 along each vertex normal.
            glColor4d(1, 1, 1, 1);
            glBegin(GL_LINES);
            for (int k = 0; k < 3; ++k) {
                glVertex3d(p[k][0], p[k][1], p[k][2]);
                glVertex3d(p[k][0] + 0.2 * n[k][0], p[k][1] + 0.2 * n[k][1],
                           p[k][2] + 0.2 * n[k][2]);
            }
            glEnd();
        }
        if (!triangles)
            continue;
        glColor4d(0.8, 1, 1, 1);
        glBegin(GL_TRIANGLES);
        for (int k = 0; k < 3; ++k) {
            glTexCoord2f(st[k][0], st[k][1]);
            glNormal3d(n[k][0], n[k][1], n[k][2]);
            glVertex3d(p[k][0], p[k][1], p[k][2]);
        }
        glEnd();
    }
    glPopMatrix();
}

// The mesh on the processor; without triangles only the normals' lines
// (the shader path's "Show face normals").
void drawMeshFixedFunction(const CTree& tree, bool triangles)
{
    std::vector<uint8_t> leafSlot;
    if (!allTrianglesShown())
        leafSlot = leafSlots(tree);

    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_BLEND);  // the leaf textures' alpha cuts out the leaf shapes
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const uint32_t materials = std::min<uint32_t>(
        tree.materialCount,
        uint32_t(std::min(tree.materialFirstIndex.size(), tree.materialIndexCount.size())));
    for (uint32_t m = 0; m < materials; ++m)
        drawTriangleGroup(tree, tree.materialFirstIndex[m], tree.materialIndexCount[m],
                          materialTextureShown(tree, m), leafSlot, triangles);
    // A model without materials: its whole index list, untextured.
    if (tree.materialCount == 0)
        drawTriangleGroup(tree, 0, tree.untexturedIndexCount, 0, leafSlot, triangles);

    glDisable(GL_BLEND);
    selectTextureUnit(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace

void CTree::draw(int arg)
{
    if (noModel)
        return;
    // The glyphs stand where the 'P' record puts the tree. Every element's
    // own glyphs, in file order (parents first), without a walk down the
    // hierarchy: a scanned stem can be thousands of levels deep.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    const Vec3 origin = toDisplay({position[0], position[1], position[2]});
    glTranslated(origin.x, origin.y, origin.z);
    if (elementCount > 1 && trunk()) {
        glDisable(GL_LIGHTING);
        for (CTreeElement* e : elementOrder)
            e->drawOwnGlyphs();
        glEnable(GL_LIGHTING);
    }
    glPopMatrix();
    // The mesh is placed by its vertices and the element matrices alone.
    drawMesh(arg);
}

void CTree::drawMesh(int)
{
    checkViewportContext();
    if (hardwareAcceleration && drawMeshShaderPath(*this)) {
        // The normals' lines are a debug display: drawn on the processor,
        // as on the fixed-function path, from the same matrices. The shader
        // path's state is left as without them (texture unit 1 active).
        if (showFaceNormals) {
            drawMeshFixedFunction(*this, false);
            selectTextureUnit(GL_TEXTURE1);
        }
        return;
    }
    drawMeshFixedFunction(*this, true);
}
