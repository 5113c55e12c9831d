// The 4 x 4 double matrices of the element frames: products, transposes,
// translations, the shortest rotation from +Z to a direction, and the
// conversion to the column-major display form that GL and the matrix texture
// take.
#include "elements/matrix4.h"

#include <algorithm>
#include <cmath>

Matrix4 identityMatrix()
{
    Matrix4 r{};
    for (int i = 0; i < 3; ++i)
        r.m[i][i] = 1.0;
    return r;
}

Matrix4 Translate(double x, double y, double z)
{
    Matrix4 r = identityMatrix();
    r.m[0][3] = x;
    r.m[1][3] = y;
    r.m[2][3] = z;
    return r;
}

// theta = acos(d . Z); axis a = normalise(Z x d) = -normalise(d x Z), its
// components rounded to float; with c = cos theta, s = sin theta,
// t = 1 - c the right-handed rotation by theta about a is
//   | c + t ax^2       t ax ay - az s   t ax az + ay s |
//   | t ax ay + az s   c + t ay^2       t ay az - ax s |
//   | t ax az - ay s   t ay az + ax s   c + t az^2     |
// A direction opposite to +Z has no such axis: it gets the rotation by pi
// about X. A zero direction (Z x d = 0 with d . Z = 0) gives the identity.
Matrix4 RotationZTo(Vec3 d)
{
    const double cosTheta = std::clamp(static_cast<double>(d.z), -1.0, 1.0);
    const double theta = std::acos(cosTheta);
    if (theta == 0.0)
        return identityMatrix();
    // Z x d = (-d.y, d.x, 0), in double so that tiny components still normalise.
    const double cx = -static_cast<double>(d.y), cy = static_cast<double>(d.x);
    const double crossLength = std::sqrt(cx * cx + cy * cy);
    if (crossLength == 0.0) {
        if (d.z < 0.0f) {
            Matrix4 r = identityMatrix();
            r.m[1][1] = -1.0;
            r.m[2][2] = -1.0;
            return r;
        }
        return identityMatrix();
    }
    const double ax = static_cast<float>(cx / crossLength);
    const double ay = static_cast<float>(cy / crossLength);
    const double az = 0.0;
    const double c = std::cos(theta), s = std::sin(theta), t = 1.0 - c;
    Matrix4 r = identityMatrix();
    r.m[0][0] = c + t * ax * ax;
    r.m[0][1] = t * ax * ay - az * s;
    r.m[0][2] = t * ax * az + ay * s;
    r.m[1][0] = t * ax * ay + az * s;
    r.m[1][1] = c + t * ay * ay;
    r.m[1][2] = t * ay * az - ax * s;
    r.m[2][0] = t * ax * az - ay * s;
    r.m[2][1] = t * ay * az + ax * s;
    r.m[2][2] = c + t * az * az;
    return r;
}

// (a b)[i][j] = sum over k of a[i][k] b[k][j]; with the fourth rows
// (0, 0, 0, 1) the fourth term is 0 in the rotation columns and a[i][3] in
// the translation column.
Matrix4 operator*(const Matrix4& a, const Matrix4& b)
{
    Matrix4 r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
        r.m[i][3] = a.m[i][0] * b.m[0][3] + a.m[i][1] * b.m[1][3] + a.m[i][2] * b.m[2][3] + a.m[i][3];
    }
    return r;
}

// Translate(0, 0, h) a adds h times a's fourth row (0, 0, 0, 1) to its third.
Matrix4 liftedAlongZ(const Matrix4& a, double h)
{
    Matrix4 r = a;
    r.m[2][3] += h;
    return r;
}

Matrix4 transpose(const Matrix4& a)
{
    Matrix4 r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[j][i];
        r.m[i][3] = 0.0;
    }
    return r;
}

Vec3 transformPoint(const Matrix4& M, Vec3 v)
{
    const double x = v.x, y = v.y, z = v.z;
    return {static_cast<float>(M.m[0][0] * x + M.m[0][1] * y + M.m[0][2] * z + M.m[0][3]),
            static_cast<float>(M.m[1][0] * x + M.m[1][1] * y + M.m[1][2] * z + M.m[1][3]),
            static_cast<float>(M.m[2][0] * x + M.m[2][1] * y + M.m[2][2] * z + M.m[2][3])};
}

// G = Q M Q^T, Q: model (x, y, z) -> display (x, z, -y). Display row/column 0
// is model 0, display 1 is model 2, display 2 is minus model 1, 3 stays 3.
template <typename T>
static void displayForm(const Matrix4& M, T G[16])
{
    static const int axis[4] = {0, 2, 1, 3};
    static const double sign[4] = {1.0, 1.0, -1.0, 1.0};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            G[4 * c + r] = static_cast<T>(sign[r] * sign[c] * M.at(axis[r], axis[c]));
}

void toDisplayMatrix(const Matrix4& M, float G[16]) { displayForm(M, G); }
void toDisplayMatrix(const Matrix4& M, double G[16]) { displayForm(M, G); }
