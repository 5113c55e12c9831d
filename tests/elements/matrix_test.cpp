// The matrix helpers: RotationZTo, products, transposes and the display form.
#include <cmath>

#include <gtest/gtest.h>

#include "common/near.h"
#include "elements/matrix4.h"

static bool isFinite(const Matrix4& m)
{
    for (auto& row : m.m)
        for (double v : row)
            if (!std::isfinite(v))
                return false;
    return true;
}

static void expectMatrixNear(const Matrix4& a, const Matrix4& b, double tol)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(near(a.at(r, c), b.at(r, c), tol)) << "entry " << r << "," << c;
}

static Vec3 unit(float x, float y, float z)
{
    const float l = std::sqrt(x * x + y * y + z * z);
    return {x / l, y / l, z / l};
}

TEST(RotationZTo, PlusZIsExactlyTheIdentity)
{
    const Matrix4 r = RotationZTo({0, 0, 1});
    const Matrix4 I = identityMatrix();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(r.at(i, j), I.at(i, j));
}

TEST(RotationZTo, TakesZOntoTheDirectionWithoutTwist)
{
    const Vec3 directions[] = {unit(1, 0, 0), unit(0, 1, 0), unit(1, 2, 3), unit(-1, 0.5f, -2),
                               unit(0.001f, 0, -1), unit(0, -1, 0.0001f), unit(3, -4, 0)};
    for (Vec3 d : directions) {
        const Matrix4 r = RotationZTo(d);
        // theta comes from the float d.z alone: near -Z its rounding shows.
        const Vec3 z = transformPoint(r, {0, 0, 1});
        EXPECT_TRUE(near(z.x, d.x, 5e-5) && near(z.y, d.y, 5e-5) && near(z.z, d.z, 1e-6))
            << d.x << " " << d.y << " " << d.z;
        // Orthonormal and right-handed.
        expectMatrixNear(r * transpose(r), identityMatrix(), 1e-6);
        const double det = r.m[0][0] * (r.m[1][1] * r.m[2][2] - r.m[1][2] * r.m[2][1]) -
                           r.m[0][1] * (r.m[1][0] * r.m[2][2] - r.m[1][2] * r.m[2][0]) +
                           r.m[0][2] * (r.m[1][0] * r.m[2][1] - r.m[1][1] * r.m[2][0]);
        EXPECT_TRUE(near(det, 1.0, 1e-6));
        // No twist: the axis Z x d, perpendicular to both, stays where it is.
        const Vec3 axis = cross({0, 0, 1}, d);
        const Vec3 turned = transformPoint(r, axis);
        EXPECT_TRUE(near(turned.x, axis.x, 1e-6) && near(turned.y, axis.y, 1e-6) &&
                    near(turned.z, axis.z, 1e-6));
    }
}

TEST(RotationZTo, OppositeDirectionTurnsByPiAboutX)
{
    const Matrix4 r = RotationZTo({0, 0, -1});
    Matrix4 expected = identityMatrix();
    expected.m[1][1] = expected.m[2][2] = -1.0;
    expectMatrixNear(r, expected, 0.0);
}

TEST(RotationZTo, DegenerateDirectionsStayFinite)
{
    // A zero vector, a direction a hair off -Z, and one with a component
    // slightly above 1 (rounding) must give finite rotations.
    const Vec3 cases[] = {{0, 0, 0}, {1e-30f, 0, -1}, {0, 1e-38f, -1}, {0, 0, 1.0000001f}};
    for (Vec3 d : cases)
        EXPECT_TRUE(isFinite(RotationZTo(d)));
    expectMatrixNear(RotationZTo({0, 0, 0}), identityMatrix(), 0.0);
}

TEST(Matrix4, TranslateProductsAndTranspose)
{
    const Matrix4 t = Translate(1, 2, 3);
    const Vec3 p = transformPoint(t, {1, 1, 1});
    EXPECT_EQ(p.x, 2.0f);
    EXPECT_EQ(p.y, 3.0f);
    EXPECT_EQ(p.z, 4.0f);
    expectMatrixNear(t * Translate(-1, -2, -3), identityMatrix(), 0.0);

    const Matrix4 r = RotationZTo(unit(1, 2, 3));
    const Matrix4 a = Translate(0.5, -1, 2) * r;
    const Matrix4 b = RotationZTo(unit(-2, 1, 0.5f)) * Translate(0, 0, 1.5);
    // The product equals the full 4 x 4 formula with the implicit fourth rows.
    const Matrix4 ab = a * b;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double full = 0.0;
            for (int k = 0; k < 4; ++k)
                full += a.at(i, k) * b.at(k, j);
            EXPECT_EQ(ab.at(i, j), full) << i << "," << j;
        }
    expectMatrixNear(liftedAlongZ(r, 2.5), Translate(0, 0, 2.5) * r, 0);
    const Matrix4 rt = transpose(r);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(rt.at(i, j), r.at(j, i));
}

TEST(ToDisplayMatrix, EntryTable)
{
    Matrix4 M;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            M.m[r][c] = 10 * r + c + 1;  // distinct entries; the fourth row is (0, 0, 0, 1)
    // G index -> (sign, row, column) of M.
    const struct { int sign, row, col; } table[16] = {
        {1, 0, 0}, {1, 2, 0}, {-1, 1, 0}, {1, 3, 0},  {1, 0, 2},  {1, 2, 2},  {-1, 1, 2}, {1, 3, 2},
        {-1, 0, 1}, {-1, 2, 1}, {1, 1, 1}, {-1, 3, 1}, {1, 0, 3}, {1, 2, 3}, {-1, 1, 3}, {1, 3, 3}};
    float G[16];
    double Gd[16];
    toDisplayMatrix(M, G);
    toDisplayMatrix(M, Gd);
    for (int i = 0; i < 16; ++i) {
        const double expected = table[i].sign * M.at(table[i].row, table[i].col);
        EXPECT_EQ(G[i], static_cast<float>(expected)) << "G[" << i << "]";
        EXPECT_EQ(Gd[i], expected) << "G[" << i << "]";
    }
}

TEST(ToDisplayMatrix, MapsTheDisplayFormOfAPoint)
{
    // G applied to the display form (x, z, -y) of p gives the display form of M p.
    const Matrix4 M = Translate(1, -2, 3) * RotationZTo(unit(1, 2, 3));
    float G[16];
    toDisplayMatrix(M, G);
    const Vec3 p{0.3f, -0.7f, 1.1f};
    const Vec3 q = transformPoint(M, p);
    const float d[3] = {p.x, p.z, -p.y};
    float out[3];
    for (int r = 0; r < 3; ++r)
        out[r] = G[r] * d[0] + G[4 + r] * d[1] + G[8 + r] * d[2] + G[12 + r];
    EXPECT_TRUE(near(out[0], q.x, 1e-5));
    EXPECT_TRUE(near(out[1], q.z, 1e-5));
    EXPECT_TRUE(near(out[2], -q.y, 1e-5));
}
