// CSegment: construction, initialisation of a branch segment's derived
// quantities and rest frames, and the walks over its subtree: height,
// animation level of detail, reset to rest, forces and step. The bending
// model itself (each segment's own forces and step) is in
// segment_dynamics.cpp.
#include "elements/segment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "elements/subtree_walk.h"
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

// The walks below run over the segment's subtree with an explicit stack
// (subtree_walk.h) and apply each element's own share of the operation: a
// leaf's operations are its own share already.

void CSegment::setUpAsRoot(CTreeElement** trunkSlot)
{
    *trunkSlot = nullptr;
    children = trunkSlot;
    childCount = 1;
    attachedCount = 0;
    depth = 0;
    matrixIndex = 0;
    parent = nullptr;
    length = 1.0;
    diameter = 10.0;
    modelDirection = restDirection = direction = Vec3{0.0f, 0.0f, 1.0f};
    const Matrix4 I = identityMatrix();
    restLocalRotation = restModelRotation = I;
    restLocalRotationInverse = restModelRotationInverse = I;
    localRotation = I;
    restModelTransform = restLocalTransform = modelTransform = Translate(0.0, 0.0, -1.0);
    restModelTransformInverse = restLocalTransformInverse = Translate(0.0, 0.0, 1.0);
}

uint32_t CSegment::computeHeight()
{
    forEachPostOrder(this, [](CTreeElement* element, CSegment* segment) {
        if (!segment) {
            element->computeHeight();
            return;
        }
        uint32_t height = 1;
        for (uint32_t i = 0; i < segment->childCount; ++i)
            if (const CTreeElement* child = segment->children[i])
                height = std::max(height, child->height + 1);
        segment->height = height;
    });
    return height;
}

// A segment bends when its depth D (levels from the root) and its height H
// (levels from the tips) lie in the windows [bendMin, bendMax] and are
// multiples of the every-n-th divisors; the assert values make every segment
// within that many levels of the root or the tips bend whatever the window.
// A divisor of 0 counts as 1.
static void setFrozenByLod(CSegment& s)
{
    const uint32_t D = s.depth, H = s.height;
    const uint32_t nthForward = std::max<uint32_t>(static_cast<uint32_t>(bendEveryNthForward), 1);
    const uint32_t nthReverse = std::max<uint32_t>(static_cast<uint32_t>(bendEveryNthReverse), 1);
    const bool inWindow = static_cast<uint32_t>(bendMinForward) <= D &&
                          D <= static_cast<uint32_t>(bendMaxForward) &&
                          static_cast<uint32_t>(bendMinReverse) <= H &&
                          H <= static_cast<uint32_t>(bendMaxReverse) && D % nthForward == 0 &&
                          H % nthReverse == 0;
    s.frozen = !inWindow && D > static_cast<uint32_t>(assertBendMinForward) &&
               H > static_cast<uint32_t>(assertBendMinReverse);
}

void CSegment::applyAnimationLod()
{
    forEachPreOrder(this, [](CTreeElement* element, CSegment* segment) {
        if (segment)
            setFrozenByLod(*segment);
        else
            element->applyAnimationLod();
    });
}

void CSegment::resetToRest()
{
    forEachPreOrder(this, [](CTreeElement* element, CSegment* segment) {
        if (!segment) {
            element->resetToRest();
            return;
        }
        segment->copyRestState();
        segment->velocity = Vec3{};
    });
}

// Children first: a segment's backpropagated force reads its children's
// forces of this step.
void CSegment::computeForces(const float treeOrigin[3])
{
    forEachPostOrder(this, [treeOrigin](CTreeElement* element, CSegment* segment) {
        if (segment)
            segment->computeOwnForces(segment->sampleWind(treeOrigin));
        else
            element->computeForces(treeOrigin);
    });
}

// Parents first: an element's frames are built on its parent's new ones.
void CSegment::step(float dt)
{
    forEachPreOrder(this, [dt](CTreeElement* element, CSegment*) { element->stepOwn(dt); });
}
