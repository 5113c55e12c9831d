// CPhysicalModel: the physically based bending model. The tree is an
// articulated body of rigid cylinders (and leaf plates) on sprung, damped
// ball joints, loaded by aerodynamic drag and optionally gravity, and
// stepped at a fixed rate by the articulated-body algorithm. The equations
// are at the top of physical_model.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "elements/vector3.h"

class CTree;

// A symmetric 3 x 3 matrix: xx, yy, zz, xy, xz, yz.
struct Symmetric3 {
    double xx, yy, zz, xy, xz, yz;
};

// One body of the articulated tree: an element of CTree::elementOrder, at
// the same position. Units: kg, m, s, N. What a step reads comes first.
struct PhysicalBody {
    int32_t parent = -1;        // body number of the parent; -1: the trunk, on the ground
    bool leaf = false;
    double jointHeight = 0.0;   // m: the joint's place up the parent's axis
    double restQ[4] = {1.0, 0.0, 0.0, 0.0};  // the element's rest local rotation as a unit quaternion
    // Constants from the parameters (refresh()).
    double mass = 0.0;          // kg
    double comZ = 0.0;          // m: centre of mass up the body's axis
    double dragZ = 0.0;         // m: the drag's point up the body's axis
    double inertiaX = 0.0, inertiaZ = 0.0;  // kg m^2 about the centre of mass, across / along the axis
    double dragArea = 0.0;      // m^2 times rho_air C_d / 2: N / (m/s)^2
    double kBend = 0.0, kTwist = 0.0;  // N m / rad
    double cBend = 0.0, cTwist = 0.0;  // N m s / rad
    // State: the joint rotation (a unit quaternion w, x, y, z taking the rest
    // local frame to the current one) and the joint's angular velocity in
    // the body's frame, rad/s.
    double q[4] = {1.0, 0.0, 0.0, 0.0};
    double omega[3] = {0.0, 0.0, 0.0};
    // Scratch of a step, in the body's frame at its joint (spatial vectors:
    // angular part, then linear part).
    double v[6];                // spatial velocity
    Symmetric3 A;               // articulated inertia [A B; B^T M]
    double B[3][3];
    Symmetric3 M;
    double p[6];                // articulated bias force
    Symmetric3 Dinv;            // inverse of the joint's effective inertia
    double u[3];                // joint torque less the bias
    double a[6];                // spatial acceleration
};

// What only the constants are made from (refresh()), m.
struct PhysicalGeometry {
    double length = 0.0, diameter = 0.0;            // segment; leaf 0
    double shareLength = 0.0, shareDiameter = 0.0;  // the parent's half carried by this joint (0: none)
    int32_t continuation = -1;  // the child segment that continues this one (-1: none)
};

class CPhysicalModel {
public:
    // The bodies of the tree's elements, at rest; nothing when no model.
    void build(const CTree& tree);
    bool built() const { return !bodies.empty(); }
    void clear();
    // Every joint at rest, every velocity 0 (the tree resets the frames).
    void reset();
    // One step of h seconds: the wind at every element, the articulated-body
    // algorithm, the joints integrated, the elements' frames and display
    // matrices rebuilt.
    void step(CTree& tree, double h);
    // The constants from the live parameters, when they changed since the
    // last step (the state is kept).
    void refresh(const CTree& tree);

    std::vector<PhysicalBody> bodies;  // in CTree::elementOrder's order
    std::vector<PhysicalGeometry> geometry;  // the same order

private:
    // The velocities, inertias and loads of every body at the current pose
    // (the first half of a step), for the step of h seconds.
    void prepare(CTree& tree, size_t i, double h, bool uniform, Vec3 uniformWind);
    // Whether every body is prepared for the next step (the end of a step
    // prepares it; a reset or new constants do not).
    bool prepared = false;
    // The parameter values the constants were made from.
    float usedParameters[7] = {};
};
