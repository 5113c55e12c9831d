// Unit quaternions for the glTF rotations: from a rotation matrix, and the
// spherical interpolation between two of them.
#pragma once

struct Quaternion {
    double x = 0.0, y = 0.0, z = 0.0, w = 1.0;  // glTF's order: vector part, then scalar
};

inline double dot(const Quaternion& a, const Quaternion& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
inline Quaternion negated(const Quaternion& q) { return {-q.x, -q.y, -q.z, -q.w}; }

// The unit quaternion of the rotation R (R[row][column], acting on column
// vectors; R orthonormal with determinant 1).
Quaternion quaternionOf(const double R[3][3]);

// The rotation a fraction s (0 to 1) of the way from a to b along the
// shorter arc; unit.
Quaternion slerp(const Quaternion& a, Quaternion b, double s);
