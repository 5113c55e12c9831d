// Vec3: the three-float vector of the elements, the wind and the forces.
#pragma once

#include <cmath>

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) { a = a + b; return a; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }

// Model space (right-handed, Z up) to display space (OpenGL's, Y up): the
// one axis change, (x, y, z) -> (x, z, -y). toDisplayMatrix (matrix4.h) is
// the same change applied to a frame.
inline Vec3 toDisplay(Vec3 v) { return {v.x, v.z, -v.y}; }
inline void toDisplay(const double model[3], double display[3])
{
    display[0] = model[0];
    display[1] = model[2];
    display[2] = -model[1];
}
