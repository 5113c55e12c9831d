// The viewer's GL implementation of the tree's graphics hooks.
#pragma once

// Points treeGraphics at the GL hooks (contexts through GLX and the viewport
// window, textures, buffers, glFinish). Called once the windows exist.
void installTreeGraphics();
