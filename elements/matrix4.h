// Matrix4: the elements' 4 x 4 double frames (row-major, acting on column
// vectors, translation in the fourth column) and the operations on them.
#pragma once

#include "elements/vector3.h"

// Every frame of the elements is rigid (a rotation, a translation or their
// product), so its fourth row is exactly (0, 0, 0, 1). Only the three top rows
// are stored; the fourth is implicit. The operations below give the same
// values as the full 4 x 4 formulas: the terms they leave out are products
// with the implicit row's exact zeros and one.
struct Matrix4 {
    double m[3][4];  // m[row][column], rows 0 to 2

    // Entry (r, c) of the full matrix, r and c in 0..3.
    double at(int r, int c) const { return r < 3 ? m[r][c] : (c == 3 ? 1.0 : 0.0); }
};

Matrix4 identityMatrix();
// Identity with the translation column (x, y, z).
Matrix4 Translate(double x, double y, double z);
// The shortest rotation taking +Z onto the unit vector d (no twist about d).
Matrix4 RotationZTo(Vec3 d);
// a * b.
Matrix4 operator*(const Matrix4& a, const Matrix4& b);
// Translate(0, 0, h) * a, without the product.
Matrix4 liftedAlongZ(const Matrix4& a, double h);
// The transpose of a rotation. (The frames transpose only rotations; the
// translation column of the result is zero.)
Matrix4 transpose(const Matrix4& a);
// M * (v, 1): rotation part plus the fourth column.
Vec3 transformPoint(const Matrix4& M, Vec3 v);

// Q M Q^T with Q the axis change model (x, y, z) -> display (x, z, -y), as 16
// column-major entries: the form kept in CTree::matrices and given to GL.
void toDisplayMatrix(const Matrix4& M, float G[16]);
void toDisplayMatrix(const Matrix4& M, double G[16]);
