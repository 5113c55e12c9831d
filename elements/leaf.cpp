// CLeaf: construction, initialisation with the leaf constants, height and
// reset. A leaf's motion is in leaf_dynamics.cpp.
#include "elements/leaf.h"

#include "parameters/parameters.h"

long CLeaf::createdCount = 0;

CLeaf::CLeaf(CWind* w)
{
    wind = w;
    ++createdCount;
}

void CLeaf::initialise()
{
    thicknessRatio = 1.0;
    windArea = leafSurface;
    mass = 0.1;
    initialiseFrames();
}

uint32_t CLeaf::computeHeight()
{
    height = 0;
    return 0;
}

void CLeaf::applyAnimationLod() { frozen = false; }

void CLeaf::resetToRest() { copyRestState(); }
