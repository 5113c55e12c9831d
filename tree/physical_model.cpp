// The physical bending model: the tree as an articulated body, stepped by
// Featherstone's articulated-body algorithm with implicit joint springs.
//
// Why this method. The load of a twig must reach the trunk, and a joint's
// motion must carry everything outboard of it: the coupled dynamics of the
// whole tree, not one oscillator per joint. The articulated-body algorithm
// gives exactly that in O(n) per step with walks over elementOrder (parents
// before children and back; no recursion, so chains of any depth work), at
// any deflection (proper rotations), where a modal model would hold only
// for small ones. Its one difficulty, the stiff joints of thin short
// segments, is met by treating the springs and dampers implicitly in the
// joint's own equation, which makes the step unconditionally stable for
// them.
//
// Bodies. Segment i: a solid cylinder of diameter D and length L, mass
//   m = rho_wood pi D^2 / 4 L, centre of mass at L/2 up its axis,
//   I_x = m (D^2/16 + L^2/12) (across), I_z = m D^2 / 8 (along).
// Leaf: the leaves of the models stand for clusters of leaves; each is a
// plate of mass leafMass and drag area leafArea whose centre lies
// s = sqrt(leafArea) from its petiole joint (at least 2 cm), I = m s^2/12.
//
// Joints. Every body hangs on a ball joint at its attachment point on its
// parent (the element frame's origin). q: the joint rotation, a unit
// quaternion from the rest local frame to the current one (local rotation =
// restLocalRotation R(q)); theta = log q its rotation vector; omega the
// joint's angular velocity in the body's frame: dq/dt = q (0, omega) / 2.
//
// Springs. A segment's joint stands for the beam between the middle of its
// parent and its own middle, two compliances in series:
//   1/k = L / (2 E I) + L_p / (2 E I_p),   I = pi D^4 / 64,
// the parent's half counted only at the one child that continues it (the
// thickest child segment at its end; the trunk's parent is the ground). So
// the curvature M/(EI) of the beam is summed over the chain by the
// trapezoid rule (half weight at the clamped base, the tip's own half
// carries no moment), and a static cantilever's tip deflection converges
// as 1 + O(1/n^2) to w L^4 / (8 E I) (n = 8: 1.6 % stiff is 1/n^2 high).
// Splitting a segment into two halves keeps the total compliance and puts
// its middle half at the new joint: it changes nothing to first order.
// Torsion the same with G J, J = pi D^4 / 32 and G = E / 16 (the shear
// modulus along the grain of wood is about a sixteenth of E). A leaf's
// petiole: k = J_leaf (2 pi f_p)^2, f_p = 3 Hz, J_leaf = m s^2 + I.
// Springs act on theta, in the body's frame: K = diag(k_b, k_b, k_t).
//
// Dampers: stiffness-proportional, C = 2 zeta k / omega_s per joint axis,
// zeta = structuralDamping, omega_s the first natural frequency of the
// branch the joint carries, from Dunkerley's formula along the chain that
// continues it (the joint, its continuing child, that one's, to the tip):
//   1 / omega_s^2 = sum over the chain of J_j / k_j,
// J_j the rest moment of inertia about joint j of everything outboard of it
// (the subtree rigid). Each term is 1/omega_j^2 of one joint with its
// subtree rigid; the sum is the trace of the chain's flexibility times its
// mass, 1/omega_1^2 + 1/omega_2^2 + ... over the chain's modes, which for a
// cantilever is within 4 % of its first mode's 1/omega_1^2 alone (omega_s
// 3.46 against 3.52 sqrt(EI / mu L^4)). So a
// branch's first mode is damped near zeta however finely it is cut into
// segments (a damper from the joint's own frequency, sqrt(k_j / J_j), would
// damp a chain of n segments as zeta / sqrt(n) or so), and its higher,
// faster modes more; a leaf's chain is its petiole.
//
// Loads, on each body from the wind u at its sampling point (the element's
// own sample: a segment's midpoint, a leaf's origin) and its velocity v at
// the drag point (a segment's midpoint, a leaf's centre):
//   F = 1/2 rho_air C_d A |w| w,
// segment: A = D L, w the part of u - v across the axis; leaf: A =
// leafArea, w = u - v. The drag's dependence on v is taken implicitly: with
// B = dF/dv = -1/2 rho C A |w| (P + w w^T / |w|^2) (P the projection across
// the axis, 1 for a leaf) the force at the end of the step is F - h B a,
// which is an added point inertia h B at the drag point (so even a light
// leaf in a 100 m/s wind stays stable). Gravity (gravityApply): the ground
// accelerates upward at g = 9.81 m/s^2, which loads every body with its
// weight; the file's pose is then the unloaded one, and the tree sags to
// its loaded rest pose.
//
// The articulated-body algorithm (Featherstone, Rigid Body Dynamics
// Algorithms, 2008, ch. 7), spatial vectors in each body's frame at its
// joint, X_i the transform from the parent's frame, S = [1; 0] (3 angular
// degrees of freedom), h the step:
//   1. forwards: v_i = X_i v_p + S omega_i, c_i = v_i x S omega_i,
//      I^A_i = I_i + I_drag, p^A_i = v_i x* I_i v_i - f_ext,i
//   2. backwards: U = I^A S, D = S^T U + h C + h^2 K,
//      u = -K (theta + h omega) - C omega - S^T p^A,
//      I^a = I^A - U D^-1 U^T, p^a = p^A + I^a c + U D^-1 u,
//      I^A_p += X^T I^a X, p^A_p += X^T p^a
//   3. forwards: a' = X_i a_p + c_i, qdd = D^-1 (u - U^T a'), a_i = a' + S qdd,
//      a_ground = (0, 0, 0; 0, 0, g gravityApply)
//   then semi-implicit Euler: omega += h qdd, q := q exp(h omega) (the
//   quaternion of the rotation vector h omega, in the body's frame).
// Walk 1 of the next step runs at the end of walk 3, body by body, while the
// new frames are at hand (the wind is then sampled one step early, the same
// at every frame rate): a step walks the bodies twice.
// The h C and h^2 K in D with the h omega in u are backward Euler for the
// linear spring and damper: the step solves
//   (M + h C + h^2 K) qdd = tau - K (theta + h omega) - C omega - bias
// exactly, K and C being per joint (block diagonal).
// A joint turns at most 90 degrees from rest (a stop), whatever the wind,
// so an element that stands out from its parent is never bent back into it.
#include "tree/physical_model.h"

#include <cassert>
#include <cmath>
#include <unordered_map>

#include "elements/frame_math.h"
#include "elements/segment.h"
#include "elements/tree_element.h"
#include "parameters/parameters.h"
#include "tree/tree.h"
#include "wind/wind.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kGravity = 9.81;             // m/s^2
const double kShearOverYoung = 1.0 / 16.0;  // G / E of wood along the grain
const double kPetioleFrequency = 3.0;     // Hz: a leaf's own sway at rest
const double kLeafMinOffset = 0.02;       // m: least distance of a leaf's centre from its joint
const double kContinuation = 0.99;        // attachPosition at which a child continues its parent
const double kJointStop = 0.5 * kPi;      // rad: the largest turn of a joint from rest
const double kStopCosine = 0.70710678118654752;  // cos(kJointStop / 2)
// Elements asked for ahead of the forward walk: they differ in size, so the
// hardware prefetcher cannot follow the walk through them.
const size_t kAhead = 8;
// The least effective inertia of a joint (kg m^2): a body without mass or
// stiffness (a segment of diameter 0 at a tip) still has an invertible D.
const double kArmature = 1e-12;

struct D3 {
    double x, y, z;
};
inline D3 operator+(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline D3 operator-(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 operator*(D3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(D3 a, D3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline D3 cross(D3 a, D3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline D3 load(const double* v) { return {v[0], v[1], v[2]}; }
inline void store(double* v, D3 a) { v[0] = a.x; v[1] = a.y; v[2] = a.z; }

using M3 = double[3][3];

inline D3 mul(const M3& m, D3 v)
{
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}
// m^T v.
inline D3 mulT(const M3& m, D3 v)
{
    return {m[0][0] * v.x + m[1][0] * v.y + m[2][0] * v.z, m[0][1] * v.x + m[1][1] * v.y + m[2][1] * v.z,
            m[0][2] * v.x + m[1][2] * v.y + m[2][2] * v.z};
}
inline D3 mul(const Rotation3& m, D3 v)
{
    return {m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z, m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z,
            m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z};
}
inline D3 mulT(const Rotation3& m, D3 v)
{
    return {m.m[0][0] * v.x + m.m[1][0] * v.y + m.m[2][0] * v.z, m.m[0][1] * v.x + m.m[1][1] * v.y + m.m[2][1] * v.z,
            m.m[0][2] * v.x + m.m[1][2] * v.y + m.m[2][2] * v.z};
}
// c = a b.
inline void mul(const M3& a, const M3& b, M3& c)
{
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            c[r][k] = a[r][0] * b[0][k] + a[r][1] * b[1][k] + a[r][2] * b[2][k];
}
// c = L a L^T with L a rotation.
inline void rotate(const Rotation3& L, const M3& a, M3& c)
{
    M3 t;
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            t[r][k] = L.m[r][0] * a[0][k] + L.m[r][1] * a[1][k] + L.m[r][2] * a[2][k];
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            c[r][k] = t[r][0] * L.m[k][0] + t[r][1] * L.m[k][1] + t[r][2] * L.m[k][2];
}

// The inverse of a symmetric positive definite 3 x 3 matrix (cofactors).
inline Symmetric3 inverse(const Symmetric3& d)
{
    const double c00 = d.yy * d.zz - d.yz * d.yz;
    const double c01 = d.yz * d.xz - d.xy * d.zz;
    const double c02 = d.xy * d.yz - d.yy * d.xz;
    const double s = 1.0 / (d.xx * c00 + d.xy * c01 + d.xz * c02);
    return {c00 * s, (d.xx * d.zz - d.xz * d.xz) * s, (d.xx * d.yy - d.xy * d.xy) * s, c01 * s, c02 * s,
            (d.xz * d.xy - d.xx * d.yz) * s};
}

// The rotation vector of a unit quaternion (w >= 0 kept by the caller):
// 2 atan2(s, w) / s times its vector part, s = |vector part|. Most joints
// turn little, so for s < w / 10 the series of atan(x) / x, x = s / w, to
// x^8 (relative error below 1e-10) takes the place of atan2.
inline D3 logOf(const double q[4])
{
    const D3 v = {q[1], q[2], q[3]};
    const double s2 = dot(v, v), w = q[0];
    if (s2 < 0.01 * w * w) {
        const double x2 = s2 / (w * w);
        const double series = 1.0 - x2 * (1.0 / 3.0 - x2 * (1.0 / 5.0 - x2 * (1.0 / 7.0 - x2 / 9.0)));
        return v * (2.0 / w * series);
    }
    const double s = std::sqrt(s2);
    return v * (2.0 * std::atan2(s, w) / s);
}

// The unit quaternion of the rotation vector t: (cos(a/2), sin(a/2) t / a),
// a = |t|. A step's turn is small: below a = 0.05 the series to a^4
// (error below 1e-12) take the place of sin and cos.
inline void expOf(D3 t, double q[4])
{
    const double a2 = dot(t, t);
    double c, f;
    if (a2 < 0.0025) {
        c = 1.0 - a2 / 8.0 + a2 * a2 / 384.0;
        f = 0.5 - a2 / 48.0 + a2 * a2 / 3840.0;
    } else {
        const double angle = std::sqrt(a2);
        c = std::cos(0.5 * angle);
        f = std::sin(0.5 * angle) / angle;
    }
    q[0] = c;
    q[1] = t.x * f;
    q[2] = t.y * f;
    q[3] = t.z * f;
}

// a b of quaternions.
inline void quaternionProduct(const double a[4], const double b[4], double c[4])
{
    c[0] = a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3];
    c[1] = a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2];
    c[2] = a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1];
    c[3] = a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0];
}

// The unit quaternion (w >= 0) of a rotation matrix (Shepperd's method:
// the largest of w, x, y, z from the diagonal, the others from it).
inline void quaternionOf(const Matrix4& R, double q[4])
{
    const double m00 = R.m[0][0], m11 = R.m[1][1], m22 = R.m[2][2], trace = m00 + m11 + m22;
    if (trace >= m00 && trace >= m11 && trace >= m22) {
        const double w = 0.5 * std::sqrt(std::fmax(1.0 + trace, 0.0)), f = 0.25 / w;
        q[0] = w;
        q[1] = (R.m[2][1] - R.m[1][2]) * f;
        q[2] = (R.m[0][2] - R.m[2][0]) * f;
        q[3] = (R.m[1][0] - R.m[0][1]) * f;
    } else if (m00 >= m11 && m00 >= m22) {
        const double x = 0.5 * std::sqrt(std::fmax(1.0 + m00 - m11 - m22, 0.0)), f = 0.25 / x;
        q[0] = (R.m[2][1] - R.m[1][2]) * f;
        q[1] = x;
        q[2] = (R.m[0][1] + R.m[1][0]) * f;
        q[3] = (R.m[0][2] + R.m[2][0]) * f;
    } else if (m11 >= m22) {
        const double y = 0.5 * std::sqrt(std::fmax(1.0 - m00 + m11 - m22, 0.0)), f = 0.25 / y;
        q[0] = (R.m[0][2] - R.m[2][0]) * f;
        q[1] = (R.m[0][1] + R.m[1][0]) * f;
        q[2] = y;
        q[3] = (R.m[1][2] + R.m[2][1]) * f;
    } else {
        const double z = 0.5 * std::sqrt(std::fmax(1.0 - m00 - m11 + m22, 0.0)), f = 0.25 / z;
        q[0] = (R.m[1][0] - R.m[0][1]) * f;
        q[1] = (R.m[0][2] + R.m[2][0]) * f;
        q[2] = (R.m[1][2] + R.m[2][1]) * f;
        q[3] = z;
    }
    if (q[0] < 0.0)
        for (int k = 0; k < 4; ++k)
            q[k] = -q[k];
}

inline Rotation3 rotationOf(const double q[4])
{
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
             {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
             {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
}

inline double sq(double x) { return x * x; }

// The lines of an element the forward walk reads and writes: its first two
// hundred bytes (local rotation, model frame). Always inlined: a function of
// prefetches alone counts as free of effects and may be dropped.
[[gnu::always_inline]] inline void prefetchElement(const CTreeElement* e)
{
    const char* p = reinterpret_cast<const char*>(e);
    __builtin_prefetch(p, 1);
    __builtin_prefetch(p + 64, 1);
    __builtin_prefetch(p + 128, 1);
    __builtin_prefetch(p + 192, 1);
    __builtin_prefetch(p + 256, 1);
}

// A body's local rotation (body -> parent): the rest local rotation, then
// the joint's: R(restQ q). From the body alone, so the backward walk does not
// touch the elements.
inline Rotation3 localRotationOf(const PhysicalBody& b)
{
    double q[4];
    quaternionProduct(b.restQ, b.q, q);
    return rotationOf(q);
}

inline void full(const Symmetric3& s, M3& m)
{
    m[0][0] = s.xx; m[1][1] = s.yy; m[2][2] = s.zz;
    m[0][1] = m[1][0] = s.xy;
    m[0][2] = m[2][0] = s.xz;
    m[1][2] = m[2][1] = s.yz;
}
// L s L^T with L a rotation.
inline Symmetric3 rotated(const Rotation3& L, const Symmetric3& s)
{
    M3 S, t;
    full(s, S);
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            t[r][k] = L.m[r][0] * S[0][k] + L.m[r][1] * S[1][k] + L.m[r][2] * S[2][k];
    auto at = [&](int r, int k) { return t[r][0] * L.m[k][0] + t[r][1] * L.m[k][1] + t[r][2] * L.m[k][2]; };
    return {at(0, 0), at(1, 1), at(2, 2), at(0, 1), at(0, 2), at(1, 2)};
}

inline D3 mul(const Symmetric3& s, D3 v)
{
    return {s.xx * v.x + s.xy * v.y + s.xz * v.z, s.xy * v.x + s.yy * v.y + s.yz * v.z,
            s.xz * v.x + s.yz * v.y + s.zz * v.z};
}

}  // namespace

void CPhysicalModel::clear()
{
    std::vector<PhysicalBody>().swap(bodies);
    std::vector<PhysicalGeometry>().swap(geometry);
    prepared = false;
}

void CPhysicalModel::build(const CTree& tree)
{
    clear();
    const size_t n = tree.elementOrder.size();
    bodies.resize(n);
    geometry.resize(n);
    std::unordered_map<const CTreeElement*, int32_t> number;
    number.reserve(n);
    for (size_t i = 0; i < n; ++i)
        number[tree.elementOrder[i]] = int32_t(i);
    // Each segment's continuing child: the thickest child segment at its end.
    for (size_t i = 0; i < n; ++i) {
        const CTreeElement* e = tree.elementOrder[i];
        PhysicalBody& b = bodies[i];
        PhysicalGeometry& g = geometry[i];
        const auto* segment = dynamic_cast<const CSegment*>(e);
        b.leaf = segment == nullptr;
        g.diameter = segment && segment->diameter > 0.0 ? segment->diameter : 0.0;
        g.length = segment && e->length > 0.0 ? e->length : 0.0;
        b.jointHeight = float(e->parent->length * e->attachPosition);
        quaternionOf(e->restLocalRotation, b.restQ);
        const auto found = number.find(e->parent);
        b.parent = found == number.end() ? -1 : found->second;
        assert(b.parent < int32_t(i));
        if (segment && b.parent >= 0 && e->attachPosition >= kContinuation) {
            int32_t& c = geometry[size_t(b.parent)].continuation;
            if (c < 0 || geometry[size_t(c)].diameter < g.diameter)
                c = int32_t(i);
        }
    }
    for (size_t i = 0; i < n; ++i)
        if (geometry[i].continuation >= 0) {
            PhysicalGeometry& child = geometry[size_t(geometry[i].continuation)];
            child.shareLength = geometry[i].length;
            child.shareDiameter = geometry[i].diameter;
        }
    for (float& p : usedParameters)
        p = std::nanf("");
    refresh(tree);
}

void CPhysicalModel::reset()
{
    for (PhysicalBody& b : bodies) {
        b.q[0] = 1.0;
        b.q[1] = b.q[2] = b.q[3] = 0.0;
        b.omega[0] = b.omega[1] = b.omega[2] = 0.0;
    }
    prepared = false;
}

void CPhysicalModel::refresh(const CTree& tree)
{
    const float now[7] = {youngModulus, woodDensity, leafMass, leafArea, structuralDamping, dragCoefficient,
                          airDensity};
    bool same = true;
    for (int k = 0; k < 7; ++k)
        same = same && now[k] == usedParameters[k];
    if (same)
        return;
    for (int k = 0; k < 7; ++k)
        usedParameters[k] = now[k];
    prepared = false;
    // The panel keeps these in their ranges; a value outside counts as the
    // nearest sensible one, so that no input divides by zero.
    const double E = std::fmax(double(youngModulus), 0.01) * 1e9;  // Pa
    const double G = E * kShearOverYoung;
    const double rho = std::fmax(double(woodDensity), 1.0);
    const double leafM = std::fmax(double(leafMass), 1e-6);
    const double leafA = std::fmax(double(leafArea), 0.0);
    const double zeta = std::fmax(double(structuralDamping), 0.0);
    const double dragFactor = 0.5 * std::fmax(double(airDensity), 0.0) * std::fmax(double(dragCoefficient), 0.0);
    const double leafOffset = std::fmax(std::sqrt(leafA), kLeafMinOffset);
    const size_t n = bodies.size();
    for (size_t i = 0; i < n; ++i) {
        PhysicalBody& b = bodies[i];
        const PhysicalGeometry& g = geometry[i];
        if (b.leaf) {
            b.mass = leafM;
            b.comZ = b.dragZ = leafOffset;
            b.inertiaX = b.inertiaZ = leafM * leafOffset * leafOffset / 12.0;
            b.dragArea = leafA * dragFactor;
        } else {
            const double D = g.diameter, L = g.length;
            b.mass = rho * kPi * D * D / 4.0 * L;
            b.comZ = b.dragZ = 0.5 * L;
            b.inertiaX = b.mass * (D * D / 16.0 + L * L / 12.0);
            b.inertiaZ = b.mass * D * D / 8.0;
            b.dragArea = D * L * dragFactor;
        }
    }
    // The rest moments of inertia of every subtree about its joint, from the
    // second moments in model space summed from the tips: T = sum m c c^T +
    // the bodies' own Pi = integral r r^T dm, S = sum m c, m.
    struct Moments {
        double m, s[3], t[3][3];
    };
    std::vector<Moments> sum(n);
    // Dunkerley's sums along each joint's chain, s^2: bending, twist.
    std::vector<double> chainBend(n, 0.0), chainTwist(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        const PhysicalBody& b = bodies[i];
        const Matrix4& R = tree.elementOrder[i]->restModelTransform;
        const double c[3] = {R.m[0][3] + R.m[0][2] * b.comZ, R.m[1][3] + R.m[1][2] * b.comZ,
                             R.m[2][3] + R.m[2][2] * b.comZ};
        // Own Pi = tr(I)/2 - I in the body's axes: diag(Iz/2, Iz/2, Ix - Iz/2).
        const double own[3] = {0.5 * b.inertiaZ, 0.5 * b.inertiaZ, b.inertiaX - 0.5 * b.inertiaZ};
        Moments& s = sum[i];
        s.m = b.mass;
        for (int r = 0; r < 3; ++r) {
            s.s[r] = b.mass * c[r];
            for (int k = 0; k < 3; ++k) {
                double t = b.mass * c[r] * c[k];
                for (int j = 0; j < 3; ++j)
                    t += R.m[r][j] * own[j] * R.m[k][j];
                s.t[r][k] = t;
            }
        }
    }
    for (size_t i = n; i-- > 0;) {
        PhysicalBody& b = bodies[i];
        const PhysicalGeometry& g = geometry[i];
        const Moments& s = sum[i];
        const Matrix4& R = tree.elementOrder[i]->restModelTransform;
        const double p[3] = {R.m[0][3], R.m[1][3], R.m[2][3]};
        const double z[3] = {R.m[0][2], R.m[1][2], R.m[2][2]};
        // T about the joint p: T - S p^T - p S^T + m p p^T; then
        // J across = (tr T_p + z^T T_p z) / 2, J along = tr T_p - z^T T_p z.
        double tp[3][3], trace = 0.0, along = 0.0;
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k)
                tp[r][k] = s.t[r][k] - s.s[r] * p[k] - p[r] * s.s[k] + s.m * p[r] * p[k];
        for (int r = 0; r < 3; ++r) {
            trace += tp[r][r];
            for (int k = 0; k < 3; ++k)
                along += z[r] * tp[r][k] * z[k];
        }
        const double jAcross = std::fmax(0.5 * (trace + along), 0.0);
        const double jAlong = std::fmax(trace - along, 0.0);
        if (b.leaf) {
            const double J = b.mass * b.comZ * b.comZ + b.inertiaX;
            b.kBend = b.kTwist = J * sq(2.0 * kPi * kPetioleFrequency);
        } else {
            // Compliances of the own half and of the parent's continued half.
            auto bendCompliance = [E](double L, double D) {
                return D > 0.0 ? 0.5 * L / (E * kPi * sq(sq(D)) / 64.0) : 0.0;
            };
            auto twistCompliance = [G](double L, double D) {
                return D > 0.0 ? 0.5 * L / (G * kPi * sq(sq(D)) / 32.0) : 0.0;
            };
            const double cb = bendCompliance(g.length, g.diameter) + bendCompliance(g.shareLength, g.shareDiameter);
            const double ct = twistCompliance(g.length, g.diameter) + twistCompliance(g.shareLength, g.shareDiameter);
            b.kBend = cb > 0.0 ? 1.0 / cb : 0.0;
            b.kTwist = ct > 0.0 ? 1.0 / ct : 0.0;
        }
        // Children come after their parent in elementOrder: the chain's
        // rest is summed already.
        if (g.continuation >= 0) {
            chainBend[i] = chainBend[size_t(g.continuation)];
            chainTwist[i] = chainTwist[size_t(g.continuation)];
        }
        if (b.kBend > 0.0)
            chainBend[i] += jAcross / b.kBend;
        if (b.kTwist > 0.0)
            chainTwist[i] += jAlong / b.kTwist;
        b.cBend = 2.0 * zeta * b.kBend * std::sqrt(chainBend[i]);
        b.cTwist = 2.0 * zeta * b.kTwist * std::sqrt(chainTwist[i]);
        if (b.parent >= 0) {
            Moments& t = sum[size_t(b.parent)];
            t.m += s.m;
            for (int r = 0; r < 3; ++r) {
                t.s[r] += s.s[r];
                for (int k = 0; k < 3; ++k)
                    t.t[r][k] += s.t[r][k];
            }
        }
    }
}

// Step 1 of the algorithm for body i, from its current frames: v, c (not
// stored: steps 2 and 3 form it again from v and omega), the body's inertia
// with the drag's added inertia, and the bias force.
inline void CPhysicalModel::prepare(CTree& tree, size_t i, double h, bool uniform, Vec3 uniformWind)
{
    PhysicalBody& b = bodies[i];
    CTreeElement& e = *tree.elementOrder[i];
    const Rotation3 L = rotationBlock(e.localRotation);  // body -> parent
    const D3 r = {0.0, 0.0, b.jointHeight};
    D3 wp = {0, 0, 0}, vp = {0, 0, 0};
    if (b.parent >= 0) {
        const PhysicalBody& P = bodies[size_t(b.parent)];
        wp = load(P.v);
        vp = load(P.v + 3);
    }
    const D3 rel = load(b.omega);
    const D3 w = mulT(L, wp) + rel;
    const D3 v = mulT(L, vp + cross(wp, r));
    store(b.v, w);
    store(b.v + 3, v);

    // The body's spatial inertia at its joint: centre of mass c = (0, 0, z),
    //   A = I_c + m [c]x [c]x^T = diag(Ix + m z^2, Ix + m z^2, Iz),
    //   B = m [c]x, M = m 1.
    const double m = b.mass, z = b.comZ;
    const double Ax = b.inertiaX + m * z * z;
    Symmetric3 A = {Ax, Ax, b.inertiaZ, 0.0, 0.0, 0.0};
    Symmetric3 Mm = {m, m, m, 0.0, 0.0, 0.0};
    double B[3][3] = {{0.0, -m * z, 0.0}, {m * z, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    // Momentum (A w + B v; B^T w + M v) and the bias v x* (I v).
    const D3 hn = {Ax * w.x - m * z * v.y, Ax * w.y + m * z * v.x, b.inertiaZ * w.z};
    const D3 hf = {m * (v.x + z * w.y), m * (v.y - z * w.x), m * v.z};
    D3 pn = cross(w, hn) + cross(v, hf);
    D3 pf = cross(w, hf);

    // Drag at the drag point d = (0, 0, zd): the element's wind in the
    // body's frame less the point's velocity.
    if (b.dragArea > 0.0) {
        const Vec3 wind = uniform ? uniformWind : e.sampleWind(tree.position);
        const D3 uBody = mulT(rotationBlock(e.modelTransform), D3{wind.x, wind.y, wind.z});
        const double zd = b.dragZ;
        const D3 d = {0.0, 0.0, zd};
        D3 flow = uBody - (v + cross(w, d));
        if (!b.leaf)
            flow.z = 0.0;
        const double speed = std::sqrt(dot(flow, flow));
        if (speed > 0.0 && std::isfinite(speed)) {
            const D3 F = flow * (b.dragArea * speed);
            pn = pn - cross(d, F);
            pf = pf - F;
            // Added inertia h B at d: Md = h k |w| (P + w w^T / |w|^2);
            // A += [d]x Md [d]x^T, B += [d]x Md, M += Md, with
            // [d]x = [[0, -zd, 0], [zd, 0, 0], [0, 0, 0]].
            const double g = h * b.dragArea * speed;
            const D3 n = flow * (1.0 / speed);
            const double pz = b.leaf ? 1.0 : 0.0;
            const Symmetric3 Md = {g * (1.0 + n.x * n.x), g * (1.0 + n.y * n.y), g * (pz + n.z * n.z),
                                   g * n.x * n.y,         g * n.x * n.z,         g * n.y * n.z};
            const double Mrow0[3] = {Md.xx, Md.xy, Md.xz}, Mrow1[3] = {Md.xy, Md.yy, Md.yz};
            for (int k = 0; k < 3; ++k) {
                B[0][k] += -zd * Mrow1[k];
                B[1][k] += zd * Mrow0[k];
            }
            A.xx += zd * zd * Md.yy;
            A.xy += -zd * zd * Md.xy;
            A.yy += zd * zd * Md.xx;
            Mm.xx += Md.xx;
            Mm.yy += Md.yy;
            Mm.zz += Md.zz;
            Mm.xy += Md.xy;
            Mm.xz += Md.xz;
            Mm.yz += Md.yz;
        }
    }
    b.A = A;
    b.M = Mm;
    for (int r0 = 0; r0 < 3; ++r0)
        for (int k = 0; k < 3; ++k)
            b.B[r0][k] = B[r0][k];
    store(b.p, pn);
    store(b.p + 3, pf);
}

void CPhysicalModel::step(CTree& tree, double h)
{
    const size_t n = bodies.size();
    if (n == 0 || !(h > 0.0))
        return;
    refresh(tree);
    const bool uniform = !tree.wind || tree.wind->isUniform();
    const Vec3 uniformWind = uniform ? tree.trunk()->sampleWind(tree.position) : Vec3{};
    const double h2 = h * h;

    // 1. Velocities, inertias and loads, parents first: the end of the last
    // step did it already, unless it was reset since.
    if (!prepared)
        for (size_t i = 0; i < n; ++i)
            prepare(tree, i, h, uniform, uniformWind);

    // 2. Articulated inertias and biases, children first.
    for (size_t i = n; i-- > 0;) {
        PhysicalBody& b = bodies[i];
        const D3 theta = logOf(b.q);
        const D3 om = load(b.omega);
        const double K[3] = {b.kBend, b.kBend, b.kTwist}, C[3] = {b.cBend, b.cBend, b.cTwist};
        const double th[3] = {theta.x, theta.y, theta.z}, o[3] = {om.x, om.y, om.z};
        Symmetric3 D = b.A;
        D.xx += h * C[0] + h2 * K[0] + kArmature;
        D.yy += h * C[1] + h2 * K[1] + kArmature;
        D.zz += h * C[2] + h2 * K[2] + kArmature;
        for (int k = 0; k < 3; ++k)
            b.u[k] = -K[k] * (th[k] + h * o[k]) - C[k] * o[k] - b.p[k];
        b.Dinv = inverse(D);
        if (b.parent < 0)
            continue;
        // I^a = I^A - U D^-1 U^T with U = (A; B^T):
        //   A' = A - A Di A, B' = B - A Di B, M' = M - B^T Di B
        // (A' and M' symmetric: their upper triangles).
        M3 A, Di, DiA, DiB;
        full(b.A, A);
        full(b.Dinv, Di);
        mul(Di, A, DiA);
        mul(Di, b.B, DiB);
        auto upper = [](const M3& x, const M3& y, int r0, int k) {  // (x^T y)[r0][k]
            return x[0][r0] * y[0][k] + x[1][r0] * y[1][k] + x[2][r0] * y[2][k];
        };
        const Symmetric3 Aa = {b.A.xx - upper(A, DiA, 0, 0), b.A.yy - upper(A, DiA, 1, 1),
                               b.A.zz - upper(A, DiA, 2, 2), b.A.xy - upper(A, DiA, 0, 1),
                               b.A.xz - upper(A, DiA, 0, 2), b.A.yz - upper(A, DiA, 1, 2)};
        const Symmetric3 Ma = {b.M.xx - upper(b.B, DiB, 0, 0), b.M.yy - upper(b.B, DiB, 1, 1),
                               b.M.zz - upper(b.B, DiB, 2, 2), b.M.xy - upper(b.B, DiB, 0, 1),
                               b.M.xz - upper(b.B, DiB, 0, 2), b.M.yz - upper(b.B, DiB, 1, 2)};
        M3 Ba;
        for (int r0 = 0; r0 < 3; ++r0)
            for (int k = 0; k < 3; ++k)
                Ba[r0][k] = b.B[r0][k] - upper(A, DiB, r0, k);  // A symmetric: A^T = A
        // p^a = p^A + I^a c + U D^-1 u, c = (w x omega, v x omega).
        const D3 cw = cross(load(b.v), om), cv = cross(load(b.v + 3), om);
        const D3 Diu = mul(b.Dinv, load(b.u));
        const D3 pan = load(b.p) + mul(Aa, cw) + mul(Ba, cv) + mul(b.A, Diu);
        const D3 paf = load(b.p + 3) + mulT(Ba, cw) + mul(Ma, cv) + mulT(b.B, Diu);

        // Into the parent's frame: rotate by L (body -> parent), then move
        // from the joint r = (0, 0, h) to the parent's origin, R = [r]x:
        //   A_p += A - B R + R B^T - R M R, B_p += B + R M, M_p += M,
        //   f_p = L f, n_p = L n + r x f_p.
        // With R = [[0, -h, 0], [h, 0, 0], [0, 0, 0]]: (B R) columns
        // (h B.1, -h B.0, 0), (R M) rows (-h M1, h M0, 0), R M R in the
        // upper-left 2 x 2 only: -R M R = h^2 [[M11, -M01], [-M01, M00]].
        PhysicalBody& P = bodies[size_t(b.parent)];
        const Rotation3 L = localRotationOf(b);
        const Symmetric3 A2 = rotated(L, Aa), M2 = rotated(L, Ma);
        M3 B2;
        rotate(L, Ba, B2);
        const double hj = b.jointHeight, hh = hj * hj;
        // -B R + R B^T, symmetric: entry (r, k) = -(B R)[r][k] - (B R)[k][r].
        const double BR[3][2] = {{hj * B2[0][1], -hj * B2[0][0]},
                                 {hj * B2[1][1], -hj * B2[1][0]},
                                 {hj * B2[2][1], -hj * B2[2][0]}};
        P.A.xx += A2.xx - 2.0 * BR[0][0] + hh * M2.yy;
        P.A.yy += A2.yy - 2.0 * BR[1][1] + hh * M2.xx;
        P.A.zz += A2.zz;
        P.A.xy += A2.xy - BR[0][1] - BR[1][0] - hh * M2.xy;
        P.A.xz += A2.xz - BR[2][0];
        P.A.yz += A2.yz - BR[2][1];
        const double M2r0[3] = {M2.xx, M2.xy, M2.xz}, M2r1[3] = {M2.xy, M2.yy, M2.yz};
        for (int r0 = 0; r0 < 3; ++r0)
            for (int k = 0; k < 3; ++k)
                P.B[r0][k] += B2[r0][k];
        for (int k = 0; k < 3; ++k) {
            P.B[0][k] -= hj * M2r1[k];
            P.B[1][k] += hj * M2r0[k];
        }
        P.M.xx += M2.xx;
        P.M.yy += M2.yy;
        P.M.zz += M2.zz;
        P.M.xy += M2.xy;
        P.M.xz += M2.xz;
        P.M.yz += M2.yz;
        const D3 fp = mul(L, paf);
        const D3 np = mul(L, pan) + cross(D3{0.0, 0.0, hj}, fp);
        store(P.p, load(P.p) + np);
        store(P.p + 3, load(P.p + 3) + fp);
    }

    // 3. Accelerations, the joints integrated, the frames rebuilt, and step
    // 1 of the next step at the new pose, parents first.
    const double lift = gravityApply ? kGravity : 0.0;
    for (size_t i = 0; i < n; ++i) {
        PhysicalBody& b = bodies[i];
        if (i + kAhead < n)
            prefetchElement(tree.elementOrder[i + kAhead]);
        CTreeElement& e = *tree.elementOrder[i];
        const Rotation3 L = localRotationOf(b);
        D3 ap = {0, 0, 0}, lp = {0, 0, 0};
        if (b.parent >= 0) {
            const PhysicalBody& P = bodies[size_t(b.parent)];
            ap = load(P.a);
            lp = load(P.a + 3);
        } else {
            // The ground's frame (the root's) has the model's axes.
            lp = mulT(rotationBlock(e.parent->modelTransform), D3{0.0, 0.0, lift});
        }
        const D3 r = {0.0, 0.0, b.jointHeight};
        D3 om = load(b.omega);
        const D3 aw = mulT(L, ap) + cross(load(b.v), om);
        const D3 av = mulT(L, lp + cross(ap, r)) + cross(load(b.v + 3), om);
        const D3 rhs = load(b.u) - mul(b.A, aw) - mul(b.B, av);
        const D3 qdd = mul(b.Dinv, rhs);
        store(b.a, aw + qdd);
        store(b.a + 3, av);

        om = om + qdd * h;
        double dq[4], q[4];
        expOf(om * h, dq);
        quaternionProduct(b.q, dq, q);
        const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        const double s = (q[0] < 0.0 ? -1.0 : 1.0) / norm;
        for (int k = 0; k < 4; ++k)
            q[k] *= s;
        // The stop: the turn held at kJointStop, its outward speed dropped
        // (a turn beyond it has w < cos(kJointStop / 2)).
        const D3 theta = q[0] < kStopCosine ? logOf(q) : D3{0.0, 0.0, 0.0};
        const double angle = std::sqrt(dot(theta, theta));
        if (angle > kJointStop) {
            const D3 axis = theta * (1.0 / angle);
            expOf(axis * kJointStop, q);
            const double outward = dot(om, axis);
            if (outward > 0.0)
                om = om - axis * outward;
        }
        if (!std::isfinite(q[0] + q[1] + q[2] + q[3]) || !std::isfinite(om.x + om.y + om.z)) {
            // Not reached for input within the panel's ranges; kept so that a
            // wild value never spreads NaN through the tree.
            q[0] = 1.0;
            q[1] = q[2] = q[3] = 0.0;
            om = {0.0, 0.0, 0.0};
        }
        for (int k = 0; k < 4; ++k)
            b.q[k] = q[k];
        store(b.omega, om);

        const Rotation3 local = localRotationOf(b);
        setFrames(e, local);
        e.direction = {float(local.m[0][2]), float(local.m[1][2]), float(local.m[2][2])};
        // The wind of the next step is sampled now, one step early: the
        // same at any frame rate.
        prepare(tree, i, h, uniform, uniformWind);
    }
    prepared = true;
}
