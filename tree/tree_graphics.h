// The tree's GL work (material textures, static buffers, matrix texture) lives
// in the renderer. The window-less model reaches it through these hooks, which
// the viewer installs at start-up and which stay null in programs without a
// window (dor-info, the model tests): the loader then skips its GL work.
#pragma once

class CTree;

struct TreeGraphics {
    bool (*contextCurrent)();        // a GL context is current on this thread
    void (*makeViewportCurrent)();   // the viewport window and its context
    int (*maxTextureSize)();         // GL_MAX_TEXTURE_SIZE
    void (*loadMaterialTextures)(CTree& tree);
    void (*deleteMaterialTextures)(CTree& tree);
    void (*setupStaticBuffers)(CTree& tree);
    void (*setupMatrixTexture)(CTree& tree);
    void (*deleteMatrixTexture)(CTree& tree);
    void (*cleanupStaticBuffers)(CTree& tree);
    void (*finish)();                // glFinish
};

extern const TreeGraphics* treeGraphics;  // null: no GL in this program

// The shader path's flags (set by initGLSL, toggled by the panel). They live
// here because the loader and the clean-up read glslAvailable.
extern bool glslAvailable;         // false; the shader program linked
extern bool hardwareAcceleration;  // false; drawMesh takes the shader path
