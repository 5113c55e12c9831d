// The shader path's GPU resources of one tree (static vertex and index
// buffers, the float matrix texture) and its per-frame drawing: upload the
// used rows of the matrix texture, draw each material with one glDrawElements.
#include <GL/glew.h>

#include <cstdio>
#include <vector>

#include "app/windows.h"
#include "render/display_options.h"
#include "render/shader_path.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"

static const GLsizei VERTEX_STRIDE = sizeof(Vertex);  // 44 bytes

// Byte offset into the bound buffer, in the pointer form the GL 1.x calls take.
static const void* bufferOffset(std::size_t bytes) {
    return reinterpret_cast<const void*>(bytes);
}

// Creates a buffer on target from bytes, returns its name; a short allocation
// prints failureMessage (no line break).
static GLuint createStaticBuffer(GLenum target, const void* data, std::size_t bytes,
                                 const char* failureMessage) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(target, buffer);
    glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
    GLint size = 0;
    glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
    if (static_cast<std::size_t>(size) != bytes) {
        std::printf("%s", failureMessage);
        std::fflush(stdout);
    }
    glBindBuffer(target, 0);
    return buffer;
}

void CTree::setupStaticBuffers() {
    std::printf("setupStaticBuffers() .. \n");
    vertexBuffer = 0;
    vertexBuffer = createStaticBuffer(GL_ARRAY_BUFFER, vertices.data(),
                                      std::size_t(vertexCount) * sizeof(Vertex),
                                      "glBufferData failed to allocate vert memory!");
    indexBuffer = 0;
    indexBuffer = createStaticBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.data(),
                                     std::size_t(indexCount) * sizeof(uint32_t),
                                     "glBufferData failed to allocate index memory!");
}

void CTree::cleanupStaticBuffers() {
    std::printf("cleanupStaticBuffers() .. \n");
    glDeleteBuffers(1, &vertexBuffer);
    vertexBuffer = 0;
    glDeleteBuffers(1, &indexBuffer);
    indexBuffer = 0;
}

// Whether the driver can hold a W x H RGBA32F texture: within the maximum
// size, and accepted by the proxy target (which also catches memory limits).
static bool matrixTextureFits(GLsizei width, GLsizei height) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (width < 1 || height < 1 || width > maxSize || height > maxSize)
        return false;
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, GL_RGBA32F_ARB, width, height, 0, GL_RGBA, GL_FLOAT,
                 nullptr);
    GLint proxyWidth = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &proxyWidth);
    return proxyWidth == width;
}

void CTree::setupMatrixTexture() {
    std::printf("setupMatrixTexture() .. \n");
    matrixTexture = 0;
    glActiveTexture(GL_TEXTURE1);
    if (!matrixTextureFits(matrixTexWidth, matrixTexHeight)) {
        // No texture: drawMesh draws this model with the fixed-function path.
        std::printf("WARNING: a %d x %d matrix texture cannot be created; the model is drawn "
                    "without hardware acceleration\n",
                    matrixTexWidth, matrixTexHeight);
        std::fflush(stdout);
        return;
    }
    glGenTextures(1, &matrixTexture);
    glBindTexture(GL_TEXTURE_2D, matrixTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // Storage only: every frame uploads the used rows before drawing.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F_ARB, matrixTexWidth, matrixTexHeight, 0, GL_RGBA,
                 GL_FLOAT, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void CTree::deleteMatrixTexture() {
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &matrixTexture);
    matrixTexture = 0;
}

void CTree::uploadMatrixTexture() {
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, matrixTexture);
    // Whole rows, the used ones only: matrixTexRows x matrixTexWidth texels of
    // 4 floats, which is exactly matrixCapacity matrices.
    if (matrices.size() < std::size_t(matrixTexRows) * std::size_t(matrixTexWidth) * 4)
        return;
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, matrixTexWidth, matrixTexRows, GL_RGBA, GL_FLOAT,
                    matrices.data());
}

void CTree::beginShaderDraw() {
    checkViewportContext();
    lightPosLocation = glGetUniformLocation(shaderProgram, "lightPos");
    glUniform3f(lightPosLocation, 10.0f, 10.0f, 20.0f);
    fXOffsetLocation = glGetUniformLocation(shaderProgram, "fXOffset");
    glUniform1f(fXOffsetLocation, texelStep);
    // Light 0 is switched by the "Lighting" option; GLSL cannot see that.
    glUniform1i(glGetUniformLocation(shaderProgram, "lightOn"), glIsEnabled(GL_LIGHT0) ? 1 : 0);

    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    glVertexPointer(3, GL_FLOAT, VERTEX_STRIDE, bufferOffset(offsetof(Vertex, position)));
    glNormalPointer(GL_FLOAT, VERTEX_STRIDE, bufferOffset(offsetof(Vertex, normal)));
    glClientActiveTexture(GL_TEXTURE0);
    glTexCoordPointer(2, GL_FLOAT, VERTEX_STRIDE, bufferOffset(offsetof(Vertex, texCoord)));
    glClientActiveTexture(GL_TEXTURE1);
    glTexCoordPointer(2, GL_FLOAT, VERTEX_STRIDE, bufferOffset(offsetof(Vertex, matrixTexCoord)));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);

    glActiveTexture(GL_TEXTURE0);
    diffuseTexLocation = glGetUniformLocation(shaderProgram, "diffuseTex");
    if (diffuseTexLocation >= 0)
        glUniform1i(diffuseTexLocation, 0);
    glActiveTexture(GL_TEXTURE1);
    matrixTexLocation = glGetUniformLocation(shaderProgram, "matrixTex");
    if (matrixTexLocation >= 0)
        glUniform1i(matrixTexLocation, 1);
    glBindTexture(GL_TEXTURE_2D, matrixTexture);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTexture(GL_TEXTURE1);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);

    // The same blending as the fixed-function path: the diffuse texture's
    // alpha cuts out the leaves.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void CTree::endShaderDraw() {
    glDisable(GL_BLEND);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glClientActiveTexture(GL_TEXTURE1);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

// Whether the texture bound to unit 0 has an image: a material whose PNG
// failed to decode has none, and the fixed-function path then draws it
// untextured (an incomplete texture disables its unit), while a shader
// sampling it would read black.
static bool boundTextureHasImage() {
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    return width > 0;
}

// One group of triangles: count entries of the index buffer from entry first,
// or, while "Show leaves" or "Show segments" is off, only its shown triangles
// from a client-side list (which needs the index buffer unbound).
static void drawGroup(const CTree& tree, const std::vector<uint8_t>& leafSlot, GLuint texture,
                      uint32_t material, uint32_t first, uint32_t count) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glUniform1i(glGetUniformLocation(shaderProgram, "useDiffuseTex"),
                texture != 0 && boundTextureHasImage());
    checkViewportContext(true);
    if (allTrianglesShown()) {
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT,
                       bufferOffset(std::size_t(first) * sizeof(uint32_t)));
        return;
    }
    std::vector<uint32_t> shown;
    if (material < tree.materialCount) {
        shown = shownIndices(tree, leafSlot, material);
    } else {
        for (uint32_t i = first; i + 2 < first + count && i + 2 < tree.indices.size(); i += 3) {
            uint32_t v = tree.indices[i];
            if (v < tree.vertices.size() && triangleShown(leafSlot, tree.vertices[v].matrixIndex))
                shown.insert(shown.end(), {v, tree.indices[i + 1], tree.indices[i + 2]});
        }
    }
    if (shown.empty())
        return;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(shown.size()), GL_UNSIGNED_INT,
                   shown.data());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, tree.indexBuffer);
}

bool shaderPathReady(const CTree& tree) {
    return shaderProgram != 0 && tree.vertexBuffer != 0 && tree.indexBuffer != 0 &&
           tree.matrixTexture != 0;
}

void drawShaderMaterials(CTree& tree) {
    glUseProgram(shaderProgram);
    tree.beginShaderDraw();
    std::vector<uint8_t> leafSlot;
    if (!allTrianglesShown())
        leafSlot = leafSlots(tree);
    for (uint32_t m = 0; m < tree.materialCount; ++m) {
        if (tree.materialIndexCount[m] != 0)
            drawGroup(tree, leafSlot, materialTextureShown(tree, m), m,
                      tree.materialFirstIndex[m], tree.materialIndexCount[m]);
    }
    // A model without materials: all its triangles, untextured.
    if (tree.materialCount == 0 && tree.untexturedIndexCount != 0)
        drawGroup(tree, leafSlot, 0, 0, 0, tree.untexturedIndexCount);
    glUseProgram(0);
    tree.endShaderDraw();
}

bool drawMeshShaderPath(CTree& tree) {
    if (!shaderPathReady(tree))
        return false;
    tree.uploadMatrixTexture();
    drawShaderMaterials(tree);
    return true;
}
