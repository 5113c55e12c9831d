// The viewer's GL implementation of the tree's graphics hooks.
#pragma once

// Points treeGraphics at the GL hooks (contexts through the viewport window,
// textures, buffers, glFinish) and glyphDrawing at the GL glyph lines.
// Called once the windows exist.
void installTreeGraphics();
