// dor-info's pose summary: runs animation steps on the loaded tree and prints
// the trunk's and one tip's display matrix and the largest bend.
#pragma once

class CTree;

// Runs `steps` animation steps of `dt` seconds each on `tree` and prints the
// pose. Nothing to animate (no model) prints a line saying so.
void printPoseAfterSteps(CTree& tree, long steps, double dt);
