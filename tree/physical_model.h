// CPhysicalModel: the physically based bending model. The tree is an
// articulated body of rigid cylinders (and leaf plates) on sprung, damped
// ball joints, loaded by aerodynamic drag and optionally gravity, and
// stepped at a fixed rate by the articulated-body algorithm. The equations
// are at the top of physical_model.cpp.
#pragma once

#include <cstdint>
#include <vector>

class CTree;

// One body of the articulated tree: an element of CTree::elementOrder, at
// the same position. Units: kg, m, s, N.
struct PhysicalBody {
    // Geometry, fixed at build.
    int32_t parent = -1;        // body number of the parent; -1: the trunk, on the ground
    bool leaf = false;
    double length = 0.0;        // m (leaf: the distance of its centre from the petiole)
    double diameter = 0.0;      // m (leaf 0)
    double jointHeight = 0.0;   // m: the joint's place up the parent's axis
    double shareLength = 0.0, shareDiameter = 0.0;  // the parent's half carried by this joint (0: none)
    // Constants from the parameters (refresh()).
    double mass = 0.0;          // kg
    double comZ = 0.0;          // m: centre of mass up the body's axis
    double inertiaX = 0.0, inertiaZ = 0.0;  // kg m^2 about the centre of mass, across / along the axis
    double dragArea = 0.0;      // m^2
    double kBend = 0.0, kTwist = 0.0;  // N m / rad
    double cBend = 0.0, cTwist = 0.0;  // N m s / rad
    // State: the joint rotation (a unit quaternion w, x, y, z taking the rest
    // local frame to the current one) and the joint's angular velocity in
    // the body's frame, rad/s.
    double q[4] = {1.0, 0.0, 0.0, 0.0};
    double omega[3] = {0.0, 0.0, 0.0};
    // Scratch of one step, in the body's frame at its joint (spatial
    // vectors: angular part, then linear part).
    double v[6];                // spatial velocity
    double c[6];                // velocity-product acceleration
    double A[3][3], B[3][3], M[3][3];  // articulated inertia [A B; B^T M]
    double p[6];                // articulated bias force
    double Dinv[3][3];          // inverse of the joint's effective inertia
    double u[3];                // joint torque less the bias
    double a[6];                // spatial acceleration
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

private:
    // The parameter values the constants were made from.
    float usedParameters[7] = {};
};
