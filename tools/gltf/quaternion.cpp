// quaternionOf picks the largest of the four squared components to divide
// by (Shepperd's method), so it keeps full precision near every angle.
#include "tools/gltf/quaternion.h"

#include <cmath>

namespace {

Quaternion normalised(const Quaternion& q)
{
    const double n = std::sqrt(dot(q, q));
    return {q.x / n, q.y / n, q.z / n, q.w / n};
}

}  // namespace

Quaternion quaternionOf(const double R[3][3])
{
    const double trace = R[0][0] + R[1][1] + R[2][2];
    Quaternion q;
    if (trace >= R[0][0] && trace >= R[1][1] && trace >= R[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + trace);  // 4 w
        q = {(R[2][1] - R[1][2]) / s, (R[0][2] - R[2][0]) / s, (R[1][0] - R[0][1]) / s, 0.25 * s};
    } else if (R[0][0] >= R[1][1] && R[0][0] >= R[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + R[0][0] - R[1][1] - R[2][2]);  // 4 x
        q = {0.25 * s, (R[0][1] + R[1][0]) / s, (R[0][2] + R[2][0]) / s, (R[2][1] - R[1][2]) / s};
    } else if (R[1][1] >= R[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + R[1][1] - R[0][0] - R[2][2]);  // 4 y
        q = {(R[0][1] + R[1][0]) / s, 0.25 * s, (R[1][2] + R[2][1]) / s, (R[0][2] - R[2][0]) / s};
    } else {
        const double s = 2.0 * std::sqrt(1.0 + R[2][2] - R[0][0] - R[1][1]);  // 4 z
        q = {(R[0][2] + R[2][0]) / s, (R[1][2] + R[2][1]) / s, 0.25 * s, (R[1][0] - R[0][1]) / s};
    }
    return normalised(q);
}

Quaternion slerp(const Quaternion& a, Quaternion b, double s)
{
    double c = dot(a, b);
    if (c < 0.0) {
        b = negated(b);
        c = -c;
    }
    // Nearly the same rotation: the arc is a straight line to double precision.
    double wa = 1.0 - s, wb = s;
    if (c < 0.9999) {
        const double angle = std::acos(c), sine = std::sin(angle);
        wa = std::sin((1.0 - s) * angle) / sine;
        wb = std::sin(s * angle) / sine;
    }
    return normalised({wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w});
}
