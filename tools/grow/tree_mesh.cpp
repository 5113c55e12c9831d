// The file mesh of a model (see tree_mesh.h).
#include "tools/grow/tree_mesh.h"

#include <algorithm>
#include <cmath>
#include <string>

bool addFileMesh(TreFile& file, int sides, int barkMaterial, int leafMaterial)
{
    file.vertices.clear();
    file.faces.clear();
    std::vector<int> parents;
    std::string error;
    if (!computeParents(file, parents, error))
        return false;
    sides = std::max(3, sides);
    const std::vector<ElementFrame> frames = elementFrames(file, parents);
    const double twoPi = 6.283185307179586;

    for (size_t k = 0; k < file.elements.size(); ++k) {
        const TreElement& e = file.elements[k];
        const int32_t element = int32_t(k + 1);
        const Vec3d d = frames[k].axis;
        const Vec3d o = frames[k].origin;
        const uint32_t first = uint32_t(file.vertices.size());
        if (e.leaf) {
            // A card in the plane of the leaf and the horizontal, facing up.
            Vec3d side = cross(d, Vec3d{0, 0, 1});
            side = length(side) > 1e-6 ? normalise(side) : anyPerpendicular(d);
            Vec3d normal = normalise(cross(side, d));
            Vec3d halfWidth = side * (0.5 * e.leafWidth);
            Vec3d tip = o + d * e.leafLength;
            file.vertices.push_back({o - halfWidth, normal, 0.0, 1.0, element});
            file.vertices.push_back({o + halfWidth, normal, 1.0, 1.0, element});
            file.vertices.push_back({tip + halfWidth, normal, 1.0, 0.0, element});
            file.vertices.push_back({tip - halfWidth, normal, 0.0, 0.0, element});
            // Counter-clockwise seen from the normal's side.
            file.faces.push_back({first, first + 1, first + 2, leafMaterial});
            file.faces.push_back({first, first + 2, first + 3, leafMaterial});
            continue;
        }
        // Tapered cylinder: rings of sides + 1 vertices (the seam vertex is
        // doubled so that s runs 0..1 around), u x w = d.
        const double r0 = 0.5 * e.diameter;
        const double r1 = 0.5 * (e.tipDiameter >= 0.0 ? e.tipDiameter : e.diameter);
        const Vec3d u = anyPerpendicular(d);
        const Vec3d w = cross(d, u);
        const Vec3d top = o + d * e.length;
        // Bark texels stay about square: one texture height is two
        // circumferences of the segment's mean diameter.
        const double tTop = e.length / (twoPi * std::max(1e-6, r0 + r1));
        // Outward normal of the cone: radial, tilted along the axis by the taper.
        const double slope = (r0 - r1) / std::max(1e-9, e.length);
        for (int ring = 0; ring < 2; ++ring) {
            for (int j = 0; j <= sides; ++j) {
                double a = twoPi * j / sides;
                Vec3d radial = u * std::cos(a) + w * std::sin(a);
                Vec3d position = (ring == 0 ? o : top) + radial * (ring == 0 ? r0 : r1);
                file.vertices.push_back({position, normalise(radial + d * slope), double(j) / sides,
                                         ring == 0 ? 0.0 : tTop, element});
            }
        }
        const uint32_t ringSize = uint32_t(sides + 1);
        for (uint32_t j = 0; j < uint32_t(sides); ++j) {
            uint32_t a0 = first + j, a1 = a0 + 1, b0 = a0 + ringSize, b1 = a1 + ringSize;
            file.faces.push_back({a0, a1, b0, barkMaterial});
            file.faces.push_back({a1, b1, b0, barkMaterial});
        }
    }
    return true;
}
