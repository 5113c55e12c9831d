// Debug glyphs of the elements: the vectors of the dynamics (wind, forces,
// velocity) as coloured lines starting at the element, and, on request, each
// segment's local axes. The lines are handed, in model space, to the drawing
// table the renderer installs.
#include "elements/glyph_drawing.h"
#include "elements/leaf.h"
#include "elements/segment.h"
#include "elements/subtree_walk.h"
#include "parameters/parameters.h"

const GlyphDrawing* glyphDrawing = nullptr;

namespace {

// A point given in the parent's current frame, in model space.
Vec3 inParentFrame(const CTreeElement& element, double x, double y, double z)
{
    return transformPoint(element.parent->modelTransform, {float(x), float(y), float(z)});
}

// Vector v of the parent frame as a line from the point `from` (parent frame).
void drawVector(const CTreeElement& element, int flag, Vec3 from, Vec3 v, float r, float g, float b)
{
    if (!flag)
        return;
    const Vec3 a = inParentFrame(element, from.x, from.y, from.z);
    const Vec3 tip = inParentFrame(element, double(from.x) + v.x, double(from.y) + v.y, double(from.z) + v.z);
    glyphDrawing->line(a, tip, r, g, b);
}

// The element's origin in its parent's frame: h = P.length attachPosition up
// the parent's axis.
Vec3 attachment(const CTreeElement& element)
{
    return {0.0f, 0.0f, float(element.parent->length * element.attachPosition)};
}

// The segment's own frame: x red, y green, z blue, each half as long as the
// segment.
void drawLocalFrame(const CSegment& segment)
{
    const float a = static_cast<float>(0.5 * segment.length);
    const Matrix4& T = segment.modelTransform;
    const Vec3 o = transformPoint(T, {0.0f, 0.0f, 0.0f});
    glyphDrawing->line(o, transformPoint(T, {a, 0.0f, 0.0f}), 1, 0, 0);
    glyphDrawing->line(o, transformPoint(T, {0.0f, a, 0.0f}), 0, 1, 0);
    glyphDrawing->line(o, transformPoint(T, {0.0f, 0.0f, a}), 0, 0, 1);
}

}  // namespace

void CSegment::drawOwnGlyphs()
{
    if (!parent || !glyphDrawing)
        return;
    // The glyphs of a segment start at its tip.
    const Vec3 h = attachment(*this);
    const float L = float(length);
    const Vec3 tip = {h.x + L * direction.x, h.y + L * direction.y, h.z + L * direction.z};
    drawVector(*this, showWindGlyph, tip, windVector, 0.6f, 0.6f, 1.0f);
    drawVector(*this, showSegmentWindGlyphs, tip, windForce, 1, 1, 1);
    drawVector(*this, showDampingGlyphs, tip, dampingForce, 1, 0.5f, 0);
    drawVector(*this, showRestorationGlyphs, tip, restorationForce, 1, 0, 0);
    drawVector(*this, showVelocity, tip, velocity, 0, 1, 0);
    drawVector(*this, showBackpropGlyphs, tip, backpropForce, 0, 0, 0);
    if (showSegmentFrames)
        drawLocalFrame(*this);
}

void CLeaf::drawOwnGlyphs()
{
    if (!parent || !glyphDrawing)
        return;
    const Vec3 h = attachment(*this);
    drawVector(*this, showWindGlyph, h, windVector, 0.6f, 0.6f, 1.0f);
    drawVector(*this, showLeafWindGlyphs, h, windForce, 1, 1, 1);
    drawVector(*this, showRestorationGlyphs, h, restorationForce, 1, 0, 0);
}

// The glyphs of the segment and everything it holds, parents first.
void CSegment::drawGlyphs(int32_t)
{
    forEachPreOrder(this, [](CTreeElement* e, CSegment*) { e->drawOwnGlyphs(); });
}

void CLeaf::drawGlyphs(int32_t) { drawOwnGlyphs(); }
