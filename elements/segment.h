// CSegment: a branch segment, the element that bends. Its children array and
// the children themselves belong to CTree (per-load tables), not to it.
#pragma once

#include "elements/tree_element.h"

class CSegment : public CTreeElement {
public:
    CSegment();                  // the root's: no wind
    explicit CSegment(CWind* w); // the loader's
    ~CSegment() override;

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
    void stepOwn(float dt) override;
    void drawOwnGlyphs() override;
    Vec3 sampleWind(const float treeOrigin[3]) const override;

    // The wind force for the wind vector w (model space).
    void computeWindForce(Vec3 w);
    // Makes this segment the root that stands for the ground: one child
    // slot (trunkSlot, emptied), length 1, diameter 10 until the trunk's
    // initialise, its model frame one unit below the origin so that the
    // trunk, attached at the root's end, starts at 0.
    void setUpAsRoot(CTreeElement** trunkSlot);
    void computeBackpropForce();
    void computeDampingForce();

    CTreeElement** children = nullptr;  // childCount slots, file order; empty slots null
    uint32_t childCount = 0;            // children announced by the record; root 1
    Vec3 velocity;                      // change of direction per step, parent frame
    double diameter = 0.0;              // model units; root 10 until the trunk's initialise
    double sectionVolume = 0.0;         // (diameter/2)^2 * length
    uint32_t attachedCount = 0;         // children attached so far (loader)

    static long liveCount;              // CSegment objects alive
};
