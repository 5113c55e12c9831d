// The debug glyphs' drawing table: the elements describe their glyphs as
// coloured lines in model space and the renderer, which installs this table,
// draws them. Without a table (programs without a window) nothing is drawn.
#pragma once

#include "elements/vector3.h"

struct GlyphDrawing {
    // A line from a to b, model space relative to the tree's 'P' position;
    // colour r, g, b in 0..1.
    void (*line)(Vec3 a, Vec3 b, float r, float g, float b_);
};

extern const GlyphDrawing* glyphDrawing;  // null: glyphs are not drawn
