// Fast forms of the frame operations used by the animation step. They give
// the same numbers as the general 4 x 4 helpers of matrix4.h but skip the
// terms that are exact zeros and ones in rotations (fourth row and column)
// and in translations along Z.
#pragma once

#include <cmath>

#include "elements/matrix4.h"
#include "elements/vector3.h"

// R := the shortest rotation taking +Z onto the unit vector d (as RotationZTo),
// with the axis a = normalise(Z x d) = (-dy, dx, 0) / |(dx, dy)| rounded to
// float, c = cos(acos(dz)) = dz and s = sin(acos(dz)) = sqrt(1 - dz^2).
// Where RotationZTo is undefined it gives: d on +Z (no horizontal part, dz > 0)
// the identity; d on -Z the half turn about X.
inline void setRotationZTo(Matrix4& R, Vec3 d)
{
    R.m[0][3] = R.m[1][3] = R.m[2][3] = 0.0;
    R.m[3][0] = R.m[3][1] = R.m[3][2] = 0.0;
    R.m[3][3] = 1.0;
    const double dx = d.x, dy = d.y;
    double dz = d.z;
    if ((dx == 0.0 && dy == 0.0) || dz >= 1.0) {
        const double z = (dz < 0.0 && dx == 0.0 && dy == 0.0) ? -1.0 : 1.0;
        R.m[0][0] = 1.0; R.m[0][1] = 0.0; R.m[0][2] = 0.0;
        R.m[1][0] = 0.0; R.m[1][1] = z;   R.m[1][2] = 0.0;
        R.m[2][0] = 0.0; R.m[2][1] = 0.0; R.m[2][2] = z;
        return;
    }
    if (dz < -1.0)
        dz = -1.0;
    const double horizontal = std::sqrt(dx * dx + dy * dy);
    const double ax = float(-dy / horizontal), ay = float(dx / horizontal);
    const double c = dz, s = std::sqrt(1.0 - dz * dz), t = 1.0 - c;
    R.m[0][0] = c + t * ax * ax; R.m[0][1] = t * ax * ay;     R.m[0][2] = ay * s;
    R.m[1][0] = t * ax * ay;     R.m[1][1] = c + t * ay * ay; R.m[1][2] = -ax * s;
    R.m[2][0] = -ay * s;         R.m[2][1] = ax * s;          R.m[2][2] = c;
}

// T := the transpose of the rotation R (rotation block only; the fourth row
// and column of T are set to those of a rotation).
inline void setTransposedRotation(Matrix4& T, const Matrix4& R)
{
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            T.m[r][c] = R.m[c][r];
        T.m[r][3] = 0.0;
        T.m[3][r] = 0.0;
    }
    T.m[3][3] = 1.0;
}

// C := A * B for A, B with fourth rows (0, 0, 0, 1): the rotation blocks
// multiply, C's fourth column is A's rotation block times B's fourth column
// plus A's. Products with the exact zeros and ones are left out, which
// changes no result.
inline void multiplyRigid(Matrix4& C, const Matrix4& A, const Matrix4& B)
{
    for (int r = 0; r < 3; ++r) {
        const double a0 = A.m[r][0], a1 = A.m[r][1], a2 = A.m[r][2];
        for (int c = 0; c < 4; ++c)
            C.m[r][c] = a0 * B.m[0][c] + a1 * B.m[1][c] + a2 * B.m[2][c];
        C.m[r][3] += A.m[r][3];
    }
    C.m[3][0] = C.m[3][1] = C.m[3][2] = 0.0;
    C.m[3][3] = 1.0;
}

// Rotation part of M applied to v: M * (v, 0), in double precision.
inline void rotateVector(const Matrix4& M, double x, double y, double z, double out[3])
{
    for (int r = 0; r < 3; ++r)
        out[r] = M.m[r][0] * x + M.m[r][1] * y + M.m[r][2] * z;
}
