// Fast forms of the frame operations used by the animation step. They give
// the same numbers as the general 4 x 4 helpers of matrix4.h but skip the
// terms that are exact zeros and ones in rotations (fourth row and column)
// and in translations along Z.
#pragma once

#include <cmath>

#include "elements/matrix4.h"
#include "elements/tree_element.h"
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

// G := toDisplayMatrix(M) for a rigid M: the display form Q M Q^T with Q the
// axis change (x, y, z) -> (x, z, -y), as 16 column-major floats.
inline void setDisplayMatrix(float G[16], const Matrix4& M)
{
    G[0] = float(M.m[0][0]);  G[1] = float(M.m[2][0]);  G[2] = float(-M.m[1][0]);  G[3] = 0.0f;
    G[4] = float(M.m[0][2]);  G[5] = float(M.m[2][2]);  G[6] = float(-M.m[1][2]);  G[7] = 0.0f;
    G[8] = float(-M.m[0][1]); G[9] = float(-M.m[2][1]); G[10] = float(M.m[1][1]);  G[11] = 0.0f;
    G[12] = float(M.m[0][3]); G[13] = float(M.m[2][3]); G[14] = float(-M.m[1][3]); G[15] = 1.0f;
}

// Frame propagation for an element whose localRotation (and its transpose
// localRotationInverse) is final for this step, on its parent's current
// frames (already rebuilt this step):
//   modelRotation        = P.modelRotation localRotation
//   modelRotationInverse = localRotationInverse P.modelRotationInverse
//   localTransform       = Translate(0, 0, h) localRotation, h = P.length attachPosition
//   modelTransform       = P.modelTransform localTransform
// and the display form of modelTransform into modelMatrix. All frames are
// rigid, so: the inverse product is exactly the transpose of modelRotation
// (the same products summed in the same order); P.modelTransform's rotation
// block is P.modelRotation (built by the same products down the chain), so
// modelTransform's is modelRotation; and its translation is P's plus h times
// P's Z column.
inline void propagateRigidFrames(CTreeElement& e)
{
    const CTreeElement& P = *e.parent;
    const double h = float(P.length * e.attachPosition);
    const Matrix4& L = e.localRotation;
    const Matrix4& PR = P.modelRotation;
    const Matrix4& PT = P.modelTransform;
    Matrix4& R = e.modelRotation;
    Matrix4& Ri = e.modelRotationInverse;
    Matrix4& T = e.modelTransform;
    Matrix4& LT = e.localTransform;
    for (int r = 0; r < 3; ++r) {
        const double a0 = PR.m[r][0], a1 = PR.m[r][1], a2 = PR.m[r][2];
        for (int c = 0; c < 3; ++c) {
            const double v = a0 * L.m[0][c] + a1 * L.m[1][c] + a2 * L.m[2][c];
            R.m[r][c] = v;
            Ri.m[c][r] = v;
            T.m[r][c] = v;
        }
        R.m[r][3] = 0.0;
        Ri.m[3][r] = 0.0;
        T.m[r][3] = PT.m[r][2] * h + PT.m[r][3];
    }
    R.m[3][0] = R.m[3][1] = R.m[3][2] = 0.0;
    Ri.m[0][3] = Ri.m[1][3] = Ri.m[2][3] = 0.0;
    T.m[3][0] = T.m[3][1] = T.m[3][2] = 0.0;
    R.m[3][3] = Ri.m[3][3] = T.m[3][3] = 1.0;
    LT = L;
    LT.m[2][3] = h;
    if (e.modelMatrix)
        setDisplayMatrix(e.modelMatrix, T);
}
