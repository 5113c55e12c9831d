// The shader path's GPU resources of one tree (static vertex and index
// buffers, the float matrix texture) and its per-frame drawing: upload the
// used rows of the matrix texture, draw each material with one glDrawElements.
#include <GL/glew.h>

#include <cstdio>

#include "app/windows.h"
#include "panel/parameters.h"
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
// untextured (an incomplete texture disables its unit).
static bool boundTextureHasImage() {
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    return width > 0;
}

bool drawMeshShaderPath(CTree& tree) {
    if (shaderProgram == 0 || tree.vertexBuffer == 0 || tree.indexBuffer == 0 ||
        tree.matrixTexture == 0)
        return false;
    tree.uploadMatrixTexture();
    glUseProgram(shaderProgram);
    tree.beginShaderDraw();
    GLint useDiffuseTexLocation = glGetUniformLocation(shaderProgram, "useDiffuseTex");
    for (uint32_t m = 0; m < tree.materialCount; ++m) {
        if (tree.materialIndexCount[m] == 0)
            continue;
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, tree.materialTextures[m]);
        glUniform1i(useDiffuseTexLocation,
                    showDiffuseTextures != 0 && tree.materialTextures[m] != 0 &&
                        boundTextureHasImage());
        checkViewportContext(true);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(tree.materialIndexCount[m]),
                       GL_UNSIGNED_INT,
                       bufferOffset(std::size_t(tree.materialFirstIndex[m]) * sizeof(uint32_t)));
    }
    glUseProgram(0);
    tree.endShaderDraw();
    return true;
}
