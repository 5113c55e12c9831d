// The arcball of the panel's "Wind" rotation widget: a virtual ball under the
// mouse that turns with the drag and, released while moving, goes on turning
// with damping. Plain functions on plain data; the panel feeds them the mouse.
//
// Axes are the viewer's (x right, y up, z towards the eye). A rotation is kept
// as 16 floats in the layout that CWind::update reads: element 4 * i + j is
// row i, column j of the 3 x 3 rotation R that acts on column vectors
// (v' = R v), elements 3, 7, 11, 12, 13, 14 are 0 and element 15 is 1.
#pragma once

#include "elements/vector3.h"

// A unit quaternion w + xi + yj + zk: the rotation by angle a about unit axis
// u is (cos a/2, u sin a/2).
struct Quat {
    float w = 1.0f, x = 0.0f, y = 0.0f, z = 0.0f;
};

Quat operator*(Quat a, Quat b);  // first b, then a
Quat normalized(Quat q);
float rotationAngle(Quat q);     // radians, 0..pi
Vec3 rotate(Quat q, Vec3 v);
// The shortest rotation that takes the direction of a to the direction of b.
Quat rotationBetween(Vec3 a, Vec3 b);
// The rotation about the same axis by factor times the angle.
Quat scaleAngle(Quat q, float factor);

void rotationToMatrix(Quat q, float m[16]);
Quat matrixToRotation(const float m[16]);
// v turned by m, reading m row by row as CWind::update does.
Vec3 applyRows(const float m[16], Vec3 v);
// m := dq R(m): turns the rotation held in m further by dq (in view axes).
void turnMatrix(float m[16], Quat dq);

// The point of the unit ball under the mouse at (x, y) (pixels, y down) for a
// ball of the given radius centred at (centreX, centreY). Outside the ball's
// outline the point is the nearest one on the outline (z = 0).
Vec3 arcballPoint(float x, float y, float centreX, float centreY, float radius);

// The arcball's interaction state.
struct RotationWidget {
    float damping = 0.5f;  // fraction of the spin lost per frame after release
    bool dragging = false;
    Vec3 lastPoint;        // ball point under the mouse at the previous frame
    Quat frameTurn;        // the turn dragged during the latest frame
    Quat spin;             // the turn applied on the next frame after release
};

// Spin stops once its angle per frame is below this (radians).
constexpr float SPIN_STOP_ANGLE = 1e-4f;

// The mouse button goes down on the ball at point: any spin stops.
void rotationPress(RotationWidget& widget, Vec3 point);
// Once per frame while the button is held, with the ball point now under the
// mouse: turns m by the drag since the previous frame.
void rotationDrag(RotationWidget& widget, Vec3 point, float m[16]);
// The button is released: the turn of the latest frame becomes the spin.
void rotationRelease(RotationWidget& widget);
// Once per frame while not dragging: the spin loses the fraction damping of its
// angle and then turns m. Returns whether m was turned.
bool rotationSpinStep(RotationWidget& widget, float m[16]);
