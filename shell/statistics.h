// The four statistics lines of the viewport overlay, formatted from theTree.
#pragma once

extern char trianglesText[64];
extern char segmentsText[64];
extern char leavesText[64];
extern char depthText[64];

void formatStatistics();
