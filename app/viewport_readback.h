// Reading the viewport's pixels back: the frame just drawn, from the back
// buffer, for the recorder and the GL tests.
#pragma once

#include <cstdint>

// Reads width x height RGB pixels (one byte each) whose lower left corner is
// at (x, y) in the current window's back buffer into rgb, rows from the
// bottom, each row starting rowLength pixels after the last (0: width), so
// that a part of a larger frame can be filled in place. Sets the pack state
// it needs and restores it.
void readViewportPixels(int x, int y, int width, int height, uint8_t* rgb, int rowLength = 0);
