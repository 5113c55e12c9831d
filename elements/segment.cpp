// CSegment: construction, initialisation of a branch segment's derived
// quantities and rest frames, its height, the animation level of detail and
// the reset to rest. The bending model itself is in segment_dynamics.cpp.
#include "elements/segment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "parameters/parameters.h"

long CSegment::liveCount = 0;

CSegment::CSegment() { ++liveCount; }

CSegment::CSegment(CWind* w)
{
    wind = w;
    ++liveCount;
}

// The children array belongs to the tree (one slot table per load), so there
// is nothing to free here.
CSegment::~CSegment() { --liveCount; }

void CSegment::initialise()
{
    CSegment& P = *static_cast<CSegment*>(parent);
    // A parent of diameter 0 (or less) gives no meaningful ratio: 0.
    const double ratio = P.diameter > 0.0 ? diameter / P.diameter : 0.0;
    thicknessRatio = ratio > 0.0 ? std::sqrt(ratio) : 0.0;
    windArea = length * diameter;
    sectionVolume = (diameter * 0.5) * (diameter * 0.5) * length;
    mass = density * sectionVolume * 10000.0;
    // The root's diameter follows its latest child: every later depth-1
    // segment is measured against twice this one's diameter.
    if (depth == 1)
        P.diameter = 2.0 * diameter;
    initialiseFrames();
    velocity = Vec3{};
}

uint32_t CSegment::computeHeight()
{
    height = 1;
    for (uint32_t i = 0; i < childCount; ++i)
        if (children[i])
            height = std::max(height, children[i]->computeHeight() + 1);
    return height;
}

// A segment bends when its depth D (levels from the root) and its height H
// (levels from the tips) lie in the windows [bendMin, bendMax] and are
// multiples of the every-n-th divisors; the assert values make every segment
// within that many levels of the root or the tips bend whatever the window.
// A divisor of 0 counts as 1.
void CSegment::applyAnimationLod()
{
    const uint32_t D = depth, H = height;
    const uint32_t nthForward = std::max<uint32_t>(static_cast<uint32_t>(bendEveryNthForward), 1);
    const uint32_t nthReverse = std::max<uint32_t>(static_cast<uint32_t>(bendEveryNthReverse), 1);
    const bool inWindow = static_cast<uint32_t>(bendMinForward) <= D &&
                          D <= static_cast<uint32_t>(bendMaxForward) &&
                          static_cast<uint32_t>(bendMinReverse) <= H &&
                          H <= static_cast<uint32_t>(bendMaxReverse) && D % nthForward == 0 &&
                          H % nthReverse == 0;
    frozen = !inWindow && D > static_cast<uint32_t>(assertBendMinForward) &&
             H > static_cast<uint32_t>(assertBendMinReverse);
    for (uint32_t i = 0; i < childCount; ++i)
        if (children[i])
            children[i]->applyAnimationLod();
}

void CSegment::resetToRest()
{
    copyRestState();
    velocity = Vec3{};
    for (uint32_t i = 0; i < childCount; ++i)
        if (children[i])
            children[i]->resetToRest();
}
