// The hooks through which the loader reaches GL, and the shader path's two
// flags. Programs without a window leave the hooks null.
#include "tree/tree_graphics.h"

const TreeGraphics* treeGraphics = nullptr;
bool glslAvailable = false;
bool hardwareAcceleration = false;
