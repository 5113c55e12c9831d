// Matrix4: the elements' 4 x 4 double frames (row-major, acting on column
// vectors, translation in the fourth column) and the operations on them.
#pragma once

#include "elements/vector3.h"

struct Matrix4 {
    double m[4][4];  // m[row][column]
};

Matrix4 identityMatrix();
// Identity with the translation column (x, y, z).
Matrix4 Translate(double x, double y, double z);
// The shortest rotation taking +Z onto the unit vector d (no twist about d).
Matrix4 RotationZTo(Vec3 d);
Matrix4 operator*(const Matrix4& a, const Matrix4& b);
// a * b for two affine matrices (last rows (0, 0, 0, 1)): the same values as
// a * b with a third of the work; the frames of the elements are all affine.
Matrix4 affineProduct(const Matrix4& a, const Matrix4& b);
// Translate(0, 0, h) * a, without the product.
Matrix4 liftedAlongZ(const Matrix4& a, double h);
Matrix4 transpose(const Matrix4& a);
// M * (v, 1): rotation part plus the fourth column.
Vec3 transformPoint(const Matrix4& M, Vec3 v);

// Q M Q^T with Q the axis change model (x, y, z) -> display (x, z, -y), as 16
// column-major entries: the form kept in CTree::matrices and given to GL.
void toDisplayMatrix(const Matrix4& M, float G[16]);
void toDisplayMatrix(const Matrix4& M, double G[16]);
