// The recursive branching model behind dor-grow (see tree_generator.h).
#include "tools/grow/tree_generator.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/grow/random.h"
#include "tools/grow/tree_mesh.h"

static const double degrees = 3.14159265358979323846 / 180.0;

namespace {

struct GrowNode {
    TreElement element;
    std::vector<int> children;  // next segment of the stem first, then side stems and leaves
};

// A place on a stem where something grows: the segment, the fraction along
// it, and the segment's frame there.
struct StemPoint {
    int segment;        // node index
    double attach;      // fraction of the segment's length
    Vec3d origin;       // model space
    Vec3d axis;         // unit direction of the segment
    Vec3d reference;    // unit, perpendicular to axis: azimuth 0 around the stem
    double diameter;    // of the stem at that point
};

class CGrower {
public:
    CGrower(const CSpecies& s, uint64_t seed, double d, size_t limit)
        : species(s), random(seed), density(d), nodeLimit(limit) {}

    // Grows the stem of `level` starting at `origin` with `direction`.
    void growStem(int level, int parentNode, double attach, Vec3d origin, Vec3d direction,
                  Vec3d reference, double stemLength, double baseDiameter);

    const CSpecies& species;
    CRandom random;
    double density;
    size_t nodeLimit;             // growth stops once this many nodes exist
    std::vector<GrowNode> nodes;

private:
    int addNode(int parentNode, const TreElement& e);
    double crownFactor(double t) const;
};

// Keeps a direction away from straight down, where the viewer's rotation to
// the element axis has no defined turning axis.
Vec3d safeDirection(Vec3d d)
{
    d = normalise(d);
    const double lowest = -0.995;  // about 5.7 degrees from straight down
    if (d.z < lowest) {
        Vec3d horizontal{d.x, d.y, 0.0};
        horizontal = length(horizontal) > 1e-9 ? normalise(horizontal) : Vec3d{1, 0, 0};
        d = horizontal * std::sqrt(1.0 - lowest * lowest) + Vec3d{0, 0, lowest};
    }
    return d;
}

int CGrower::addNode(int parentNode, const TreElement& e)
{
    nodes.push_back({e, {}});
    int index = int(nodes.size()) - 1;
    if (parentNode >= 0)
        nodes[size_t(parentNode)].children.push_back(index);
    return index;
}

// Relative length of a level-1 stem growing at fraction t of the crown
// (0 at its lowest branch, 1 at the top of the trunk).
double CGrower::crownFactor(double t) const
{
    switch (species.crown) {
    case CrownShape::Conical: return 0.15 + 0.85 * (1.0 - t);
    case CrownShape::Spherical: return 0.25 + 0.75 * std::sin(3.14159265 * std::clamp(t, 0.0, 1.0));
    case CrownShape::Columnar: return 0.6 + 0.4 * std::sin(3.14159265 * std::clamp(t, 0.0, 1.0));
    case CrownShape::Hemispherical: return 0.35 + 0.65 * std::cos(1.5707963 * std::clamp(t, 0.0, 1.0));
    }
    return 1.0;
}

void CGrower::growStem(int level, int parentNode, double attach, Vec3d origin, Vec3d direction,
                       Vec3d reference, double stemLength, double baseDiameter)
{
    if (nodes.size() > nodeLimit)
        return;
    const StemLevel& p = species.levels[size_t(level)];
    // Leaves are spread so that no segment carries more than
    // leavesPerSegment of them: a leafy stem gets more segments. (Each leaf
    // pushes its segment with the full wind on its surface, while a segment
    // resists in proportion to its diameter squared.)
    const bool leafy = level >= int(species.levels.size()) - species.leafLevels;
    const int leafCount = leafy ? random.roundStochastic(species.leavesPerStem * density) : 0;
    const double leafSpan = std::max(0.1, 1.0 - species.leafStart);
    const int n = std::max({1, p.segments,
                            int(std::ceil(leafCount / std::max(0.5, species.leavesPerSegment) / leafSpan))});
    const double segmentLength = stemLength / n;
    auto diameterAt = [&](double t) {
        return std::max(species.minDiameter, baseDiameter * (1.0 - species.taper * t));
    };

    // The chain of segments. The stem bends by `curve` in the plane of its
    // direction and the vertical, and tropism pulls each segment up or down.
    const double bend = random.vary(p.curve, p.curveVariation) * degrees / n;
    std::vector<StemPoint> segments;
    Vec3d d = safeDirection(direction);
    Vec3d ref = normalise(reference - d * dot(reference, d));
    Vec3d base = origin;
    int previous = parentNode;
    for (int i = 0; i < n; ++i) {
        if (i > 0) {
            Vec3d axis = cross(d, Vec3d{0, 0, 1});
            axis = length(axis) > 1e-6 ? normalise(axis) : ref;
            Vec3d turned = rotateAbout(d, axis, bend + 0.15 * bend * random.symmetric());
            turned = safeDirection(turned + Vec3d{0, 0, p.tropism});
            // Carry the azimuth reference along with the smallest turn.
            Vec3d turnAxis = cross(d, turned);
            if (length(turnAxis) > 1e-12)
                ref = rotateAbout(ref, normalise(turnAxis), std::acos(std::clamp(dot(d, turned), -1.0, 1.0)));
            d = turned;
            ref = normalise(ref - d * dot(ref, d));
        }
        TreElement e;
        e.leaf = false;
        e.length = segmentLength;
        e.diameter = diameterAt(double(i) / n);
        e.tipDiameter = diameterAt(double(i + 1) / n);
        e.direction = d;
        e.attach = i == 0 ? attach : 1.0;
        int node = addNode(previous, e);
        segments.push_back({node, 0.0, base, d, ref, e.diameter});
        base = base + d * segmentLength;
        previous = node;
    }

    // The point at fraction t of the whole stem.
    auto pointAt = [&](double t) {
        double x = std::clamp(t, 0.0, 1.0) * n;
        int k = std::min(n - 1, int(x));
        StemPoint sp = segments[size_t(k)];
        sp.attach = std::clamp(x - k, 0.0, 1.0);
        sp.origin = sp.origin + sp.axis * (sp.attach * segmentLength);
        sp.diameter = diameterAt(std::clamp(t, 0.0, 1.0));
        return sp;
    };
    auto directionAround = [](const StemPoint& sp, double azimuth, double down) {
        Vec3d side = cross(sp.axis, sp.reference);
        Vec3d radial = sp.reference * std::cos(azimuth) + side * std::sin(azimuth);
        return safeDirection(sp.axis * std::cos(down) + radial * std::sin(down));
    };

    // Side stems of the next level, in nodes (whorls) spread over the stem.
    double azimuth = random.uniform() * 360.0;
    if (level + 1 < int(species.levels.size())) {
        const StemLevel& c = species.levels[size_t(level + 1)];
        const int whorl = std::max(1, p.whorl);
        const int count = random.roundStochastic(p.children * density / whorl);
        for (int j = 0; j < count; ++j) {
            double t = p.childStart + (1.0 - p.childStart) * (j + 0.5 + 0.35 * random.symmetric()) / count;
            t = std::clamp(t, p.childStart, 0.98);
            StemPoint sp = pointAt(t);
            azimuth += random.vary(p.rotate, 10.0);
            for (int w = 0; w < whorl; ++w) {
                double az = (azimuth + 360.0 * w / whorl + random.vary(0.0, 8.0)) * degrees;
                double down = std::clamp(random.vary(c.downAngle, c.downAngleVariation), 5.0, 150.0) * degrees;
                Vec3d childDirection = directionAround(sp, az, down);
                double childLength = stemLength * c.length * std::max(0.2, random.vary(1.0, c.lengthVariation));
                if (level == 0) {
                    double crownT = (t - p.childStart) / std::max(1e-6, 1.0 - p.childStart);
                    childLength *= crownFactor(crownT);
                }
                double childDiameter = std::max(species.minDiameter, sp.diameter * species.childDiameterRatio);
                // The child's azimuth reference: the parent's axis, made
                // perpendicular to the child (its "upper side").
                Vec3d childReference = sp.axis - childDirection * dot(sp.axis, childDirection);
                if (length(childReference) < 1e-6)
                    childReference = anyPerpendicular(childDirection);
                growStem(level + 1, sp.segment, sp.attach, sp.origin, childDirection, childReference,
                         childLength, childDiameter);
            }
        }
    }

    // Leaves on the outer levels.
    if (leafy) {
        // Leaf j on segment first + j m / count of the m leafy segments, so
        // that the segments share the leaves evenly.
        const int first = std::min(n - 1, int(species.leafStart * n));
        const int m = n - first;
        for (int j = 0; j < leafCount && nodes.size() <= nodeLimit; ++j) {
            int k = first + int(int64_t(j) * m / leafCount);
            double t = (k + 0.1 + 0.85 * random.uniform()) / n;
            StemPoint sp = pointAt(t);
            azimuth += random.vary(137.5, 15.0);
            double down = std::clamp(random.vary(species.leafDownAngle, 12.0), 5.0, 150.0) * degrees;
            TreElement leaf;
            leaf.leaf = true;
            leaf.direction = directionAround(sp, azimuth * degrees, down);
            leaf.attach = sp.attach;
            double size = random.vary(1.0, 0.15);
            leaf.leafLength = species.leafLength * size;
            leaf.leafWidth = species.leafWidth * size;
            addNode(sp.segment, leaf);
        }
    }
}

}  // namespace

TreFile growAtDensity(const CSpecies& species, uint64_t seed, double density, size_t limit)
{
    CGrower grower(species, seed, density, limit);
    const StemLevel& trunk = species.levels.front();
    double trunkLength = trunk.length * std::max(0.5, grower.random.vary(1.0, trunk.lengthVariation));
    Vec3d lean = normalise(Vec3d{0.03 * grower.random.symmetric(), 0.03 * grower.random.symmetric(), 1.0});
    // The trunk starts at the end of the viewer's root frame (attach 1.0),
    // which is the ground point (0, 0, 0).
    grower.growStem(0, -1, 1.0, Vec3d{0, 0, 0}, lean, Vec3d{1, 0, 0}, trunkLength, species.trunkDiameter);

    // Pre-order, children in their order, without recursion.
    TreFile file;
    file.elements.reserve(grower.nodes.size());
    std::vector<int> stack{0};
    while (!stack.empty()) {
        int k = stack.back();
        stack.pop_back();
        GrowNode& node = grower.nodes[size_t(k)];
        node.element.childCount = uint32_t(node.children.size());
        file.elements.push_back(node.element);
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            stack.push_back(*it);
    }
    return file;
}

TreFile growTree(const CSpecies& species, const GrowOptions& options)
{
    // The element count grows steadily (in expectation) with the density:
    // bisect its logarithm until the count is within 1 % of the target.
    const double target = std::max(1, options.targetElements);
    // Trials that overshoot four times the target stop growing early.
    const size_t limit = size_t(4 * target) + 1000;
    double lo = std::log(1e-3), hi = std::log(1e3);
    TreFile best = growAtDensity(species, options.seed, 1.0, limit);
    auto error = [&](const TreFile& f) { return std::fabs(double(f.elements.size()) - target); };
    for (int iteration = 0; iteration < 40 && error(best) > 0.01 * target; ++iteration) {
        double mid = 0.5 * (lo + hi);
        TreFile trial = growAtDensity(species, options.seed, std::exp(mid), limit);
        if (double(trial.elements.size()) < target)
            lo = mid;
        else
            hi = mid;
        if (error(trial) < error(best))
            best = std::move(trial);
        if (hi - lo < 1e-4)
            break;
    }

    best.comments = {species.name + ": " + species.description,
                     "grown by dor-grow, seed " + std::to_string(options.seed) + ", " +
                         std::to_string(best.elements.size()) + " elements"};
    best.materials = barkAndLeafMaterials(
        options.barkTexture.empty() ? species.name + "_bark.png" : options.barkTexture,
        options.leafTexture.empty() ? species.name + "_leaf.png" : options.leafTexture);
    if (options.mesh)
        addFileMesh(best, options.meshSides, 0, 1);
    return best;
}
