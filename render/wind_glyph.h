// The wind glyph: a small sphere at (1, 1, 1) in the scene with a white line
// along the current wind vector, at its full length.
#pragma once

class CWind;

void drawWindGlyph(const CWind& wind);
