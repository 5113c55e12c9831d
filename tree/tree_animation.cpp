// (being written) The tree's animation step.
#include "tree/tree.h"
void CTree::animate() {}
void CTree::updateShiver() {}
