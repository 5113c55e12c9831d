// (being written) Debug glyphs of the elements.
#include "elements/leaf.h"
#include "elements/segment.h"
void CSegment::drawGlyphs(int32_t) {}
void CLeaf::drawGlyphs(int32_t) {}
