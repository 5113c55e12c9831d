// Vec3d: a double-precision 3-vector for the model tools' geometry (model
// space, Z up), with the few operations the generator and importer need.
#pragma once

#include <cmath>

struct Vec3d {
    double x = 0.0, y = 0.0, z = 0.0;
};

inline Vec3d operator+(Vec3d a, Vec3d b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3d operator-(Vec3d a, Vec3d b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3d operator-(Vec3d a) { return {-a.x, -a.y, -a.z}; }
inline Vec3d operator*(Vec3d a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(Vec3d a, Vec3d b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3d cross(Vec3d a, Vec3d b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(Vec3d a) { return std::sqrt(dot(a, a)); }
inline Vec3d normalise(Vec3d a)
{
    double l = length(a);
    return l > 0.0 ? a * (1.0 / l) : Vec3d{0.0, 0.0, 1.0};
}

// Some unit vector perpendicular to the unit vector d.
inline Vec3d anyPerpendicular(Vec3d d)
{
    Vec3d helper = std::fabs(d.z) < 0.9 ? Vec3d{0, 0, 1} : Vec3d{1, 0, 0};
    return normalise(cross(helper, d));
}

// v turned by angle (radians) about the unit axis a, right-handed (Rodrigues).
inline Vec3d rotateAbout(Vec3d v, Vec3d a, double angle)
{
    double c = std::cos(angle), s = std::sin(angle);
    return v * c + cross(a, v) * s + a * (dot(a, v) * (1.0 - c));
}
