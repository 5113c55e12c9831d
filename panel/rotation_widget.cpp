// The arcball of the "Wind" rotation widget: quaternion helpers, the mapping
// of mouse positions onto the ball, and the drag and spin steps.
#include "panel/rotation_widget.h"

#include <algorithm>
#include <cmath>

Quat operator*(Quat a, Quat b)
{
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
            a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

Quat normalized(Quat q)
{
    float n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (!(n > 0.0f) || !std::isfinite(n))
        return Quat{};
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

float rotationAngle(Quat q)
{
    // atan2 of sin and cos of the half angle stays exact for small angles,
    // where acos(w) of a float w rounds to 0.
    float s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
    return 2.0f * std::atan2(s, std::fabs(q.w));
}

Vec3 rotate(Quat q, Vec3 v)
{
    Quat p = q * Quat{0.0f, v.x, v.y, v.z} * Quat{q.w, -q.x, -q.y, -q.z};
    return {p.x, p.y, p.z};
}

Quat rotationBetween(Vec3 a, Vec3 b)
{
    float la = length(a), lb = length(b);
    if (!(la > 0.0f) || !(lb > 0.0f))
        return Quat{};
    a = a * (1.0f / la);
    b = b * (1.0f / lb);
    float d = dot(a, b);
    if (d < -0.999999f) {
        // Opposite directions: half a turn about any axis perpendicular to a.
        Vec3 axis = cross(a, Vec3{1.0f, 0.0f, 0.0f});
        if (length(axis) < 1e-3f)
            axis = cross(a, Vec3{0.0f, 1.0f, 0.0f});
        axis = axis * (1.0f / length(axis));
        return {0.0f, axis.x, axis.y, axis.z};
    }
    // (1 + cos a, sin a · axis) is the half-angle quaternion up to its length.
    Vec3 c = cross(a, b);
    return normalized(Quat{1.0f + d, c.x, c.y, c.z});
}

Quat scaleAngle(Quat q, float factor)
{
    if (q.w < 0.0f)
        q = {-q.w, -q.x, -q.y, -q.z};
    float s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);  // sin(angle / 2)
    if (s < 1e-6f)  // tiny angle: the vector part scales linearly
        return normalized(Quat{1.0f, q.x * factor, q.y * factor, q.z * factor});
    float half = std::atan2(s, q.w) * factor;
    float k = std::sin(half) / s;
    return {std::cos(half), q.x * k, q.y * k, q.z * k};
}

void rotationToMatrix(Quat q, float m[16])
{
    q = normalized(q);
    float w = q.w, x = q.x, y = q.y, z = q.z;
    float r[16] = {1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y), 0,
                   2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x), 0,
                   2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y), 0,
                   0, 0, 0, 1};
    std::copy(r, r + 16, m);
}

Quat matrixToRotation(const float m[16])
{
    auto r = [m](int i, int j) { return m[4 * i + j]; };
    float trace = r(0, 0) + r(1, 1) + r(2, 2);
    Quat q;
    if (trace > 0.0f) {
        float s = std::sqrt(trace + 1.0f) * 2.0f;  // 4 w
        q = {0.25f * s, (r(2, 1) - r(1, 2)) / s, (r(0, 2) - r(2, 0)) / s, (r(1, 0) - r(0, 1)) / s};
    } else if (r(0, 0) > r(1, 1) && r(0, 0) > r(2, 2)) {
        float s = std::sqrt(1.0f + r(0, 0) - r(1, 1) - r(2, 2)) * 2.0f;  // 4 x
        if (!(s > 1e-6f))
            return Quat{};
        q = {(r(2, 1) - r(1, 2)) / s, 0.25f * s, (r(0, 1) + r(1, 0)) / s, (r(0, 2) + r(2, 0)) / s};
    } else if (r(1, 1) > r(2, 2)) {
        float s = std::sqrt(1.0f + r(1, 1) - r(0, 0) - r(2, 2)) * 2.0f;  // 4 y
        if (!(s > 1e-6f))
            return Quat{};
        q = {(r(0, 2) - r(2, 0)) / s, (r(0, 1) + r(1, 0)) / s, 0.25f * s, (r(1, 2) + r(2, 1)) / s};
    } else {
        float s = std::sqrt(1.0f + r(2, 2) - r(0, 0) - r(1, 1)) * 2.0f;  // 4 z
        if (!(s > 1e-6f))
            return Quat{};
        q = {(r(1, 0) - r(0, 1)) / s, (r(0, 2) + r(2, 0)) / s, (r(1, 2) + r(2, 1)) / s, 0.25f * s};
    }
    return normalized(q);
}

Vec3 applyRows(const float m[16], Vec3 v)
{
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3],
            m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7],
            m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11]};
}

void turnMatrix(float m[16], Quat dq)
{
    // Going through the quaternion keeps the matrix a rotation: rounding
    // errors of many small turns do not pile up into shear or scale.
    rotationToMatrix(normalized(dq * matrixToRotation(m)), m);
}

Vec3 arcballPoint(float x, float y, float centreX, float centreY, float radius)
{
    if (!(radius > 0.0f))
        return {0.0f, 0.0f, 1.0f};
    float px = (x - centreX) / radius;
    float py = (centreY - y) / radius;  // screen y grows downwards
    float d2 = px * px + py * py;
    if (d2 > 1.0f) {
        float k = 1.0f / std::sqrt(d2);
        return {px * k, py * k, 0.0f};
    }
    return {px, py, std::sqrt(1.0f - d2)};
}

void rotationPress(RotationWidget& widget, Vec3 point)
{
    widget.dragging = true;
    widget.lastPoint = point;
    widget.frameTurn = Quat{};
    widget.spin = Quat{};
}

void rotationDrag(RotationWidget& widget, Vec3 point, float m[16])
{
    if (!widget.dragging)
        return;
    widget.frameTurn = rotationBetween(widget.lastPoint, point);
    widget.lastPoint = point;
    if (rotationAngle(widget.frameTurn) > 0.0f)
        turnMatrix(m, widget.frameTurn);
}

void rotationRelease(RotationWidget& widget)
{
    if (!widget.dragging)
        return;
    widget.dragging = false;
    widget.spin = widget.frameTurn;
    widget.frameTurn = Quat{};
}

bool rotationSpinStep(RotationWidget& widget, float m[16])
{
    if (widget.dragging)
        return false;
    float damping = std::clamp(widget.damping, 0.0f, 1.0f);
    widget.spin = scaleAngle(widget.spin, 1.0f - damping);
    if (rotationAngle(widget.spin) < SPIN_STOP_ANGLE) {
        widget.spin = Quat{};
        return false;
    }
    turnMatrix(m, widget.spin);
    return true;
}
