// CTreeElement: a rigid element of the tree (branch segment or leaf) hanging
// from a point of its parent segment, with its rest and current frames.
#pragma once

#include <cstdint>

#include "elements/matrix4.h"
#include "elements/vector3.h"

class CWind;

class CTreeElement {
public:
    virtual ~CTreeElement() = default;

    // The nine operations, in slot order.
    virtual void initialise() = 0;
    virtual uint32_t computeHeight() = 0;
    virtual void applyAnimationLod() = 0;
    // computeForces samples the wind at the elements' points shifted by the
    // tree's 'P' position treeOrigin; step integrates over dt seconds.
    virtual void computeForces(const float treeOrigin[3]) = 0;
    virtual void computeWindForce() = 0;
    virtual void computeRestorationForce() = 0;
    virtual void step(float dt) = 0;
    virtual void drawGlyphs(int32_t arg) = 0;
    virtual void resetToRest() = 0;

    // One element's share of a step, without the walk over the children
    // (CTree::animate runs them over its elements in file order):
    // computeOwnForces with the wind vector w (model space) sampled once for
    // the step; stepOwn the integration and frames, the parent's frames
    // already rebuilt this step.
    virtual void computeOwnForces(Vec3 w) = 0;
    virtual void stepOwn(float dt) = 0;
    // The element's own debug glyphs (no walk), through glyphDrawing.
    virtual void drawOwnGlyphs() = 0;
    // The wind at the element's sampling point: a segment's midpoint, a
    // leaf's origin, in model space with the tree's 'P' position
    // (treeOrigin) added; none without a wind source. From the frames of the
    // previous step, as every force of a step.
    virtual Vec3 sampleWind(const float treeOrigin[3]) const = 0;

    // The fields an animation step reads and writes come first and lie
    // together (the forces and the integration, then the two current frames
    // the step rewrites: about six cache lines); the load-time fields and
    // the rest frames follow.
    CTreeElement* parent = nullptr;   // parent segment; not owned; null for the root
    CWind* wind = nullptr;            // wind source sampled; not owned
    float* modelMatrix = nullptr;     // this element's 16 floats in CTree::matrices
    double thicknessRatio = 1.0;      // sqrt(diameter / parent diameter); leaf 1
    double length = 1.0;              // model units; leaf and root 1
    double windArea = 0.0;            // model units^2 catching wind
    double mass = 0.0;                // segment: density * (d/2)^2 * length * 10000; leaf 0.1
    double attachPosition = 0.0;      // start on the parent, fraction of the parent's length
    Vec3 restDirection;               // unit rest direction, parent frame
    Vec3 direction;                   // current unit direction, parent frame
    Vec3 windVector;                  // sampled wind, parent frame
    Vec3 windForce;
    Vec3 dampingForce;
    Vec3 restorationForce;            // leaf: the force handed to the parent
    Vec3 backpropForce;
    Vec3 totalForce;                  // segment: the acceleration after step
    bool frozen = false;              // excluded from bending by the animation LOD
    // The current frames a step rebuilds. Every frame is rigid, so the four
    // others are exact rearrangements of these two and are formed when read
    // (the accessors below) instead of being stored again every step.
    Matrix4 localRotation;            // element frame -> parent frame (a rotation)
    Matrix4 modelTransform;           // element frame -> model space

    // The transpose of localRotation.
    Matrix4 localRotationInverse() const { return transpose(localRotation); }
    // Element frame -> model space, P.modelRotation localRotation down the
    // chain: the rotation block of modelTransform.
    Matrix4 modelRotation() const;
    // Model space -> element frame: the transpose of modelRotation.
    Matrix4 modelRotationInverse() const { return transpose(modelTransform); }
    // Element frame -> parent frame: Translate(0, 0, h) localRotation with
    // the float offset h = P.length attachPosition; the root's is its
    // modelTransform.
    Matrix4 localTransform() const;

    uint32_t depth = 0;               // ancestors: 0 for the root
    uint32_t height = 0;              // levels below: 0 for a leaf, >= 1 for a segment
    int32_t matrixIndex = 0;          // slot in the tree's matrix arrays, 1..N (root 0)
    Vec3 modelDirection;              // file direction, model space (normalised by initialise)
    Matrix4 restLocalRotation;        // RotationZTo(restDirection)
    Matrix4 restModelRotation;        // P.restModelRotation restLocalRotation: +Z onto modelDirection
    Matrix4 restLocalRotationInverse;
    Matrix4 restModelRotationInverse;
    Matrix4 restModelTransform;       // element frame -> model space, rest pose
    Matrix4 restModelTransformInverse;
    Matrix4 restLocalTransform;       // element frame -> parent frame, rest pose
    Matrix4 restLocalTransformInverse;
    float* restInverseMatrix = nullptr;  // load-time slot in CTree::restInverseMatrices
    float* restNormalMatrix = nullptr;   // load-time slot in CTree::restNormalMatrices

    // Frame propagation, the end of every step, once localRotation is final:
    // the model frame from the parent's current one, and the display matrix
    // into modelMatrix. (The step itself uses setFrames, the same arithmetic
    // written for rotations.)
    void propagateFrames();

protected:
    // The wind at the point h up the element's own axis (h = 0 its origin),
    // taken to model space and shifted by the tree's origin.
    Vec3 windAlongAxis(float h, const float treeOrigin[3]) const;
    // Steps shared by both classes' initialise, once the class's own
    // quantities are set: the rest frames from the parent's, then the current
    // state := the rest state.
    void initialiseFrames();
    // Current frames := rest frames, forces zeroed (no recursion).
    void copyRestState();
};
