// The arcball of the "Wind" widget: its matrix layout as the wind source reads
// it, the mapping of the mouse onto the ball, dragging, and the damped spin.
#include <gtest/gtest.h>

#include <cmath>

#include "common/near.h"
#include "parameters/parameters.h"
#include "panel/rotation_widget.h"
#include "wind/wind.h"

namespace {

constexpr float PI = 3.14159265f;

Quat aboutAxis(Vec3 axis, float angle)
{
    float s = std::sin(0.5f * angle) / length(axis);
    return {std::cos(0.5f * angle), axis.x * s, axis.y * s, axis.z * s};
}

void expectVec(Vec3 a, Vec3 b, double tol = 1e-5)
{
    EXPECT_TRUE(near(a.x, b.x, tol));
    EXPECT_TRUE(near(a.y, b.y, tol));
    EXPECT_TRUE(near(a.z, b.z, tol));
}

void identity(float m[16])
{
    rotationToMatrix(Quat{}, m);
}

// The angle between the rotations held by two matrices.
float angleBetween(const float a[16], const float b[16])
{
    Quat qa = matrixToRotation(a), qb = matrixToRotation(b);
    return rotationAngle(qa * Quat{qb.w, -qb.x, -qb.y, -qb.z});
}

}  // namespace

TEST(RotationWidget, MatrixRowsTurnVectorsAsTheQuaternionDoes)
{
    // A quarter turn about the view's z axis takes x to y: read row by row,
    // as the wind source reads windRotation, the matrix must do the same.
    float m[16];
    rotationToMatrix(aboutAxis({0, 0, 1}, 0.5f * PI), m);
    expectVec(applyRows(m, {1, 0, 0}), {0, 1, 0});
    EXPECT_EQ(m[3], 0.0f);
    EXPECT_EQ(m[7], 0.0f);
    EXPECT_EQ(m[11], 0.0f);
    EXPECT_EQ(m[15], 1.0f);

    Quat q = normalized(aboutAxis({0.3f, -1.0f, 0.7f}, 2.1f));
    rotationToMatrix(q, m);
    for (Vec3 v : {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0.2f, -0.5f, 0.9f}})
        expectVec(applyRows(m, v), rotate(q, v));
}

TEST(RotationWidget, MatrixToRotationInvertsRotationToMatrix)
{
    // Angles up to a half turn, about axes that make each of the four
    // branches of the conversion the one taken.
    for (Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}, Vec3{1, 1, 1}, Vec3{-0.2f, 0.4f, -1}})
        for (float angle : {0.0f, 0.3f, 1.5f, 3.0f, PI}) {
            float m[16], back[16];
            rotationToMatrix(aboutAxis(axis, angle), m);
            rotationToMatrix(matrixToRotation(m), back);
            for (int i = 0; i < 16; ++i)
                EXPECT_TRUE(near(back[i], m[i], 1e-5)) << "axis angle " << angle << " element " << i;
        }
    // A matrix that is no rotation at all still gives a unit quaternion.
    float zero[16] = {};
    Quat q = matrixToRotation(zero);
    EXPECT_TRUE(near(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z, 1.0, 1e-6));
}

TEST(RotationWidget, RotationBetweenTakesOneDirectionToTheOther)
{
    expectVec(rotate(rotationBetween({1, 0, 0}, {0, 2, 0}), {1, 0, 0}), {0, 1, 0});
    expectVec(rotate(rotationBetween({0.6f, 0.8f, 0}, {0, 0.6f, 0.8f}), {0.6f, 0.8f, 0}), {0, 0.6f, 0.8f});
    // Opposite directions: half a turn, about an axis perpendicular to both.
    Quat half = rotationBetween({0, 0, 1}, {0, 0, -1});
    expectVec(rotate(half, {0, 0, 1}), {0, 0, -1});
    EXPECT_TRUE(near(rotationAngle(half), PI, 1e-5));
    // A zero vector has no direction: no turn.
    EXPECT_EQ(rotationAngle(rotationBetween({0, 0, 0}, {1, 0, 0})), 0.0f);
}

TEST(RotationWidget, ArcballPointMapsTheMouseOntoTheBall)
{
    // Centre (50, 50), radius 40; screen y grows downwards.
    expectVec(arcballPoint(50, 50, 50, 50, 40), {0, 0, 1});
    expectVec(arcballPoint(90, 50, 50, 50, 40), {1, 0, 0});
    expectVec(arcballPoint(50, 10, 50, 50, 40), {0, 1, 0});
    Vec3 p = arcballPoint(70, 70, 50, 50, 40);
    expectVec(p, {0.5f, -0.5f, std::sqrt(0.5f)});
    // Outside the outline: the nearest point of the outline.
    expectVec(arcballPoint(50, 250, 50, 50, 40), {0, -1, 0});
    expectVec(arcballPoint(10, 10, 50, 50, 0), {0, 0, 1});  // a ball without size
}

TEST(RotationWidget, DragTurnsThePointUnderTheMouseWithIt)
{
    float m[16];
    identity(m);
    RotationWidget w;
    // From the ball's right edge to its top, in several frames: what was at
    // the right edge (+x) ends under the mouse.
    rotationPress(w, arcballPoint(90, 50, 50, 50, 40));
    for (int k = 1; k <= 10; ++k) {
        float a = 0.5f * PI * k / 10;
        rotationDrag(w, arcballPoint(50 + 40 * std::cos(a), 50 - 40 * std::sin(a), 50, 50, 40), m);
    }
    expectVec(applyRows(m, {1, 0, 0}), {0, 1, 0}, 1e-4);
    expectVec(applyRows(m, {0, 0, 1}), {0, 0, 1}, 1e-4);  // the turn is about the view axis

    // The wind source reads the widget's matrix the same way: the default
    // base direction +x becomes the viewer's +y, the model's +z (up).
    resetLiveParameters();
    std::copy(m, m + 16, windRotation);
    CWind wind;
    Vec3 v = wind.windAt({0, 0, 0});
    expectVec(v, {0, 0, windVelocity}, 1e-3);
    resetLiveParameters();
}

TEST(RotationWidget, ManySmallTurnsKeepTheMatrixARotation)
{
    float m[16];
    identity(m);
    Quat step = aboutAxis({0.3f, 0.9f, -0.2f}, 0.01f);
    for (int i = 0; i < 5000; ++i)
        turnMatrix(m, step);
    for (int i = 0; i < 3; ++i) {
        Vec3 row{m[4 * i], m[4 * i + 1], m[4 * i + 2]};
        EXPECT_TRUE(near(length(row), 1.0, 1e-5)) << i;
        Vec3 next{m[4 * ((i + 1) % 3)], m[4 * ((i + 1) % 3) + 1], m[4 * ((i + 1) % 3) + 2]};
        EXPECT_TRUE(near(dot(row, next), 0.0, 1e-5)) << i;
    }
}

TEST(RotationWidget, ReleasedWhileMovingItSpinsWithDampingThenStops)
{
    float m[16];
    identity(m);
    RotationWidget w;  // damping 0.5
    rotationPress(w, arcballPoint(50, 50, 50, 50, 40));
    rotationDrag(w, arcballPoint(54, 50, 50, 50, 40), m);  // the latest frame's turn
    float last = rotationAngle(w.frameTurn);
    ASSERT_GT(last, 0.05f);
    rotationRelease(w);

    // Frame k after release turns by last * 0.5^k about the same axis.
    float expected = last;
    float total = 0;
    int frames = 0;
    float before[16];
    while (true) {
        std::copy(m, m + 16, before);
        if (!rotationSpinStep(w, m))
            break;
        expected *= 0.5f;
        EXPECT_TRUE(near(angleBetween(before, m), expected, 1e-3)) << "frame " << frames;
        total += angleBetween(before, m);
        ++frames;
        ASSERT_LT(frames, 100);
    }
    // The halvings add up to the last drag increment once more, and stop
    // once a frame's turn falls below SPIN_STOP_ANGLE.
    EXPECT_TRUE(near(total, last, 2e-3));
    EXPECT_GT(frames, 5);
    EXPECT_LT(expected * 0.5f, SPIN_STOP_ANGLE);
    std::copy(m, m + 16, before);
    EXPECT_FALSE(rotationSpinStep(w, m));
    EXPECT_EQ(angleBetween(before, m), 0.0f);
}

TEST(RotationWidget, ReleasedAtRestOrPressedAgainItStops)
{
    float m[16];
    identity(m);
    RotationWidget w;
    Vec3 p = arcballPoint(60, 45, 50, 50, 40);
    rotationPress(w, arcballPoint(50, 50, 50, 50, 40));
    rotationDrag(w, p, m);
    rotationDrag(w, p, m);  // the mouse stood still in the latest frame
    rotationRelease(w);
    EXPECT_FALSE(rotationSpinStep(w, m));

    // A spin in progress ends when the ball is grabbed again.
    rotationPress(w, p);
    rotationDrag(w, arcballPoint(70, 45, 50, 50, 40), m);
    rotationRelease(w);
    EXPECT_TRUE(rotationSpinStep(w, m));
    rotationPress(w, p);
    EXPECT_FALSE(rotationSpinStep(w, m));  // held: no spin
    rotationRelease(w);
    EXPECT_FALSE(rotationSpinStep(w, m));

    // Without damping the spin keeps its speed; with full damping none is left.
    RotationWidget keep;
    keep.damping = 0.0f;
    rotationPress(keep, p);
    rotationDrag(keep, arcballPoint(70, 45, 50, 50, 40), m);
    float a = rotationAngle(keep.frameTurn);
    rotationRelease(keep);
    for (int i = 0; i < 50; ++i) {
        float before[16];
        std::copy(m, m + 16, before);
        ASSERT_TRUE(rotationSpinStep(keep, m));
        EXPECT_TRUE(near(angleBetween(before, m), a, 1e-3));
    }
    RotationWidget stop;
    stop.damping = 1.0f;
    rotationPress(stop, p);
    rotationDrag(stop, arcballPoint(70, 45, 50, 50, 40), m);
    rotationRelease(stop);
    EXPECT_FALSE(rotationSpinStep(stop, m));
}
