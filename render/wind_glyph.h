// The wind glyph: a small sphere at (1, 1, 1) in the scene with a white line
// along the current wind vector, at its full length.
#pragma once

#include "elements/vector3.h"

class CWind;

// The vector the glyph draws (model axes): the uniform wind, or with the
// field on the field's wind at the glyph's place.
Vec3 windGlyphVector(CWind& wind);
void drawWindGlyph(CWind& wind);
