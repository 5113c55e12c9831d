// CLeaf: a leaf. Has no inertia: every step it turns from its rest direction
// into the wind, may shiver, and hands its wind force to its parent.
#pragma once

#include "elements/frame_math.h"
#include "elements/tree_element.h"

class CLeaf : public CTreeElement {
public:
    explicit CLeaf(CWind* w);

    void initialise() override;
    uint32_t computeHeight() override;
    void applyAnimationLod() override;
    void computeForces(const float treeOrigin[3]) override;
    void computeWindForce() override;
    void computeRestorationForce() override;
    void step(float dt) override;
    void drawGlyphs(int32_t arg) override;
    void resetToRest() override;
    void computeOwnForces(Vec3 w) override;
    void stepOwn(float dt) override { CLeaf::step(dt); }
    void drawOwnGlyphs() override;
    Vec3 sampleWind(const float treeOrigin[3]) const override;

    // The wind force for the wind vector w (model space).
    void computeWindForce(Vec3 w);

    // The shiver by the wind the leaf sampled (the wind field on): its
    // rotation, and the leaf's own phase advanced by one step.
    Rotation3 ownShiver();

    const Matrix4* shiverMatrix = nullptr;  // entry matrixIndex & 15 of CTree::shiverMatrices
    float shiverPhase = 0.0f;               // rad: the leaf's own shiver phase (the wind field on)

    static long createdCount;               // CLeaf objects ever constructed
};
