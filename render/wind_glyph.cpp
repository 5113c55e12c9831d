// The wind glyph: a small sphere at (1, 1, 1) in the scene with a white line
// along the current wind vector, at its full length. With the wind field on
// it shows the field's wind at the sphere, as it changes.
#include <GL/glew.h>  // before any other GL header

#include <GL/freeglut.h>

#include "render/wind_glyph.h"
#include "wind/wind.h"

// The sphere's place in model space: display (1, 1, 1) is model (1, -1, 1).
static const Vec3 GLYPH_PLACE = {1.0f, -1.0f, 1.0f};

Vec3 windGlyphVector(CWind& wind)
{
    return wind.isUniform() ? wind.direction : wind.windAt(GLYPH_PLACE);
}

void drawWindGlyph(CWind& wind)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(1, 1, 1);
    glutSolidSphere(0.2, 8, 4);  // lit, with the current colour and material

    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    glPushAttrib(GL_LINE_BIT);
    glLineWidth(4.0f);
    const Vec3 w = toDisplay(windGlyphVector(wind));  // the wind is in model axes
    glBegin(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3f(w.x, w.y, w.z);
    glEnd();
    glPopAttrib();
    glPopMatrix();
    glEnable(GL_LIGHTING);
}
