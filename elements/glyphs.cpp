// Debug glyphs of the elements: the vectors of the dynamics (wind, forces,
// velocity) as coloured lines starting at the element, and, on request, each
// segment's local axes. Drawn with lighting off under the tree's placement.
#include <GL/gl.h>

#include "elements/leaf.h"
#include "elements/segment.h"
#include "panel/parameters.h"

namespace {

// Vector v of the parent frame (model axes) as a line from the origin; model
// (x, y, z) is drawn at (x, z, -y).
void drawVector(int flag, Vec3 v)
{
    if (!flag)
        return;
    glBegin(GL_LINES);
    glVertex3f(0, 0, 0);
    glVertex3f(v.x, v.z, -v.y);
    glEnd();
}

// The element's origin: its attachment point on the parent, in the parent's
// current frame.
void placeAtAttachment(const CTreeElement& element)
{
    const CTreeElement& parent = *element.parent;
    double G[16];
    toDisplayMatrix(parent.modelTransform, G);
    double h = parent.length * element.attachPosition;
    glPushMatrix();
    glMultMatrixd(G);
    glTranslated(0.0, h, 0.0);  // h along the parent's Z axis, in display axes
}

// The segment's own frame: x red, y green, z blue, each half as long as the
// segment.
void drawLocalFrame(const CSegment& segment)
{
    double G[16];
    toDisplayMatrix(segment.modelTransform, G);
    float a = static_cast<float>(0.5 * segment.length);
    glPushMatrix();
    glMultMatrixd(G);
    glBegin(GL_LINES);
    glColor3f(1, 0, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(a, 0, 0);   // model x
    glColor3f(0, 1, 0);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, -a);  // model y
    glColor3f(0, 0, 1);
    glVertex3f(0, 0, 0);
    glVertex3f(0, a, 0);   // model z
    glEnd();
    glPopMatrix();
}

}  // namespace

void CSegment::drawGlyphs(int32_t arg)
{
    if (parent) {
        placeAtAttachment(*this);
        // The glyphs of a segment start at its tip.
        glPushMatrix();
        glTranslated(length * direction.x, length * direction.z, -length * direction.y);
        glColor3f(0.6f, 0.6f, 1.0f);
        drawVector(showWindGlyph, windVector);
        glColor3f(1, 1, 1);
        drawVector(showSegmentWindGlyphs, windForce);
        glColor3f(1, 0.5f, 0);
        drawVector(showDampingGlyphs, dampingForce);
        glColor3f(1, 0, 0);
        drawVector(showRestorationGlyphs, restorationForce);
        glColor3f(0, 1, 0);
        drawVector(showVelocity, velocity);
        glColor3f(0, 0, 0);
        drawVector(showBackpropGlyphs, backpropForce);
        glPopMatrix();
        glPopMatrix();
        if (showSegmentFrames)
            drawLocalFrame(*this);
    }
    for (uint32_t c = 0; children && c < childCount; ++c)
        if (children[c])
            children[c]->drawGlyphs(arg);
}

void CLeaf::drawGlyphs(int32_t)
{
    if (!parent)
        return;
    placeAtAttachment(*this);
    glColor3d(0.6, 0.6, 1.0);
    drawVector(showWindGlyph, windVector);
    glColor3d(1, 1, 1);
    drawVector(showLeafWindGlyphs, windForce);
    glColor3f(1, 0, 0);
    drawVector(showRestorationGlyphs, restorationForce);
    glPopMatrix();
}
