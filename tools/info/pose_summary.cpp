// dor-info's pose summary: N animation steps of a fixed time step on the
// loaded tree, then the trunk's and the deepest tip's display matrices (as
// kept in CTree::matrices: column-major, display axes, printed row by row)
// and the largest bend of a segment from its rest direction.
#include "tools/info/pose_summary.h"

#include <cmath>
#include <cstdio>

#include "elements/segment.h"
#include "tree/tree.h"

namespace {

void printDisplayMatrix(const float* G)
{
    for (int r = 0; r < 4; ++r)
        std::printf("  %12.6f %12.6f %12.6f %12.6f\n", G[r], G[4 + r], G[8 + r], G[12 + r]);
}

struct PoseWalk {
    const CTreeElement* tip = nullptr;    // first element of the greatest depth
    const CTreeElement* bent = nullptr;   // segment bent furthest from rest
    double bend = -1.0;                   // radians

    void visit(const CTreeElement* e)
    {
        if (!e)
            return;
        if (!tip || e->depth > tip->depth)
            tip = e;
        const auto* s = dynamic_cast<const CSegment*>(e);
        if (!s)
            return;
        const double c = double(dot(s->direction, s->restDirection)) /
                         (double(length(s->direction)) * double(length(s->restDirection)));
        const double angle = std::acos(std::fmax(-1.0, std::fmin(1.0, c)));
        if (angle > bend) {
            bend = angle;
            bent = s;
        }
    }
};

}  // namespace

void printPoseAfterSteps(CTree& tree, long steps, double dt)
{
    const CTreeElement* trunk = tree.noModel ? nullptr : tree.trunk();
    if (!trunk) {
        std::printf("no model loaded: nothing to animate\n");
        return;
    }
    for (long i = 0; i < steps; ++i)
        tree.animate(float(dt));
    // Every element in file order (parents first), without a walk down the
    // hierarchy: the tip is the first element of the greatest depth.
    PoseWalk walk;
    for (const CTreeElement* e : tree.elementOrder)
        walk.visit(e);
    std::printf("pose after %ld steps of %g s:\n", steps, dt);
    std::printf("trunk (element %d) display matrix:\n", trunk->matrixIndex);
    printDisplayMatrix(&tree.matrices[16 * size_t(trunk->matrixIndex)]);
    std::printf("tip (element %d, depth %u) display matrix:\n", walk.tip->matrixIndex, walk.tip->depth);
    printDisplayMatrix(&tree.matrices[16 * size_t(walk.tip->matrixIndex)]);
    if (walk.bent)
        std::printf("max bend angle: %.4f degrees (element %d, from its rest direction)\n",
                    walk.bend * 180.0 / M_PI, walk.bent->matrixIndex);
}
