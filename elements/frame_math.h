// Fast forms of the frame operations used by the animation step. They give
// the same numbers as the general 4 x 4 helpers of matrix4.h but skip the
// terms that are exact zeros and ones in rotations (fourth row and column)
// and in translations along Z.
#pragma once

#include <cmath>

#include "elements/matrix4.h"
#include "elements/tree_element.h"
#include "elements/vector3.h"

// The rotation block of a rigid frame, held in registers while a step
// builds the element's frames from it.
struct Rotation3 {
    double m[3][3];
};

inline Rotation3 rotationBlock(const Matrix4& M)
{
    return {{{M.m[0][0], M.m[0][1], M.m[0][2]},
             {M.m[1][0], M.m[1][1], M.m[1][2]},
             {M.m[2][0], M.m[2][1], M.m[2][2]}}};
}

// The shortest rotation taking +Z onto the unit vector d, as RotationZTo:
// axis a = normalise(Z x d) = (-dy, dx, 0) / |(dx, dy)| rounded to float,
// c = cos(acos(dz)) = dz, s = sin(acos(dz)) = sqrt(1 - dz^2), t = 1 - c.
// Where RotationZTo's axis is undefined: d on +Z (no horizontal part, dz > 0)
// gives the identity, d on -Z the half turn about X.
inline Rotation3 rotationZTo3(Vec3 d)
{
    const double dx = d.x, dy = d.y;
    double dz = d.z;
    if ((dx == 0.0 && dy == 0.0) || dz >= 1.0) {
        const double z = (dz < 0.0 && dx == 0.0 && dy == 0.0) ? -1.0 : 1.0;
        return {{{1.0, 0.0, 0.0}, {0.0, z, 0.0}, {0.0, 0.0, z}}};
    }
    if (dz < -1.0)
        dz = -1.0;
    const double horizontal = std::sqrt(dx * dx + dy * dy);
    const double ax = float(-dy / horizontal), ay = float(dx / horizontal);
    const double c = dz, s = std::sqrt(1.0 - dz * dz), t = 1.0 - c;
    const double txy = t * ax * ay;
    return {{{c + t * ax * ax, txy, ay * s}, {txy, c + t * ay * ay, -ax * s}, {-ay * s, ax * s, c}}};
}

// A B of two rotation blocks (the same sums as the 4 x 4 product of the
// rotations: the dropped terms are exact zeros).
inline Rotation3 operator*(const Rotation3& A, const Rotation3& B)
{
    const double b00 = B.m[0][0], b01 = B.m[0][1], b02 = B.m[0][2];
    const double b10 = B.m[1][0], b11 = B.m[1][1], b12 = B.m[1][2];
    const double b20 = B.m[2][0], b21 = B.m[2][1], b22 = B.m[2][2];
    Rotation3 C;
    // Written out: the compiler keeps B in registers and pairs the rows.
#define DOR_ROW(r)                                                        \
    {                                                                     \
        const double a0 = A.m[r][0], a1 = A.m[r][1], a2 = A.m[r][2];      \
        C.m[r][0] = a0 * b00 + a1 * b10 + a2 * b20;                       \
        C.m[r][1] = a0 * b01 + a1 * b11 + a2 * b21;                       \
        C.m[r][2] = a0 * b02 + a1 * b12 + a2 * b22;                       \
    }
    DOR_ROW(0) DOR_ROW(1) DOR_ROW(2)
#undef DOR_ROW
    return C;
}

// M := the rotation R (fourth column zero).
inline void storeRotation(Matrix4& M, const Rotation3& R)
{
    M = {{{R.m[0][0], R.m[0][1], R.m[0][2], 0.0},
          {R.m[1][0], R.m[1][1], R.m[1][2], 0.0},
          {R.m[2][0], R.m[2][1], R.m[2][2], 0.0}}};
}

// Rotation part of M applied to v: M (v, 0), in double precision.
inline void rotateVector(const Matrix4& M, double x, double y, double z, double out[3])
{
    out[0] = M.m[0][0] * x + M.m[0][1] * y + M.m[0][2] * z;
    out[1] = M.m[1][0] * x + M.m[1][1] * y + M.m[1][2] * z;
    out[2] = M.m[2][0] * x + M.m[2][1] * y + M.m[2][2] * z;
}

// The transpose of M's rotation part applied to v: the inverse rotation,
// the same sums as rotateVector(transpose(M), ...).
inline void rotateVectorBack(const Matrix4& M, double x, double y, double z, double out[3])
{
    out[0] = M.m[0][0] * x + M.m[1][0] * y + M.m[2][0] * z;
    out[1] = M.m[0][1] * x + M.m[1][1] * y + M.m[2][1] * z;
    out[2] = M.m[0][2] * x + M.m[1][2] * y + M.m[2][2] * z;
}

// G := toDisplayMatrix(M) for a rigid M: the display form Q M Q^T with Q the
// axis change (x, y, z) -> (x, z, -y), as 16 column-major floats.
inline void setDisplayMatrix(float G[16], const Matrix4& M)
{
    G[0] = float(M.m[0][0]);  G[1] = float(M.m[2][0]);  G[2] = float(-M.m[1][0]);  G[3] = 0.0f;
    G[4] = float(M.m[0][2]);  G[5] = float(M.m[2][2]);  G[6] = float(-M.m[1][2]);  G[7] = 0.0f;
    G[8] = float(-M.m[0][1]); G[9] = float(-M.m[2][1]); G[10] = float(M.m[1][1]);  G[11] = 0.0f;
    G[12] = float(M.m[0][3]); G[13] = float(M.m[2][3]); G[14] = float(-M.m[1][3]); G[15] = 1.0f;
}

// Sets the element's local rotation to L and rebuilds its model frame on its
// parent's current one (already rebuilt this step):
//   modelRotation  = P.modelRotation localRotation
//   localTransform = Translate(0, 0, h) localRotation, h = P.length attachPosition (a float)
//   modelTransform = P.modelTransform localTransform
// then writes the display form of modelTransform into modelMatrix. All frames
// are rigid, so the rotation block of modelTransform is modelRotation (the
// rotation block of P.modelTransform is P.modelRotation, built by the same
// products down the chain) and its translation is P's plus h times P's Z
// column.
inline void setFrames(CTreeElement& e, const Rotation3& L)
{
    const Matrix4& PT = e.parent->modelTransform;
    const double h = float(e.parent->length * e.attachPosition);
    storeRotation(e.localRotation, L);
    for (int r = 0; r < 3; ++r) {
        const double a0 = PT.m[r][0], a1 = PT.m[r][1], a2 = PT.m[r][2];
        e.modelTransform.m[r][0] = a0 * L.m[0][0] + a1 * L.m[1][0] + a2 * L.m[2][0];
        e.modelTransform.m[r][1] = a0 * L.m[0][1] + a1 * L.m[1][1] + a2 * L.m[2][1];
        e.modelTransform.m[r][2] = a0 * L.m[0][2] + a1 * L.m[1][2] + a2 * L.m[2][2];
        e.modelTransform.m[r][3] = a2 * h + PT.m[r][3];
    }
    if (e.modelMatrix)
        setDisplayMatrix(e.modelMatrix, e.modelTransform);
}
