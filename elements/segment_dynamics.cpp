// (being written) The segment bending model.
#include "elements/segment.h"
void CSegment::computeForces() {}
void CSegment::computeWindForce() {}
void CSegment::computeRestorationForce() {}
void CSegment::computeBackpropForce() {}
void CSegment::computeDampingForce() {}
void CSegment::step() {}
