// (being written) Leaf motion.
#include "elements/leaf.h"
void CLeaf::computeForces() {}
void CLeaf::computeWindForce() {}
void CLeaf::computeRestorationForce() {}
void CLeaf::step() {}
