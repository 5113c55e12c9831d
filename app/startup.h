// The graphical start-up around the window-less core: windows, GL and GLEW,
// the panel, the capability tests and the shader program, then the tree and
// the timer; the main loop and the shutdown.
#pragma once

// Steps 1 to 18: everything up to the main loop. Called once per process
// (GLUT can be initialised only once).
void startDor(int argc, char** argv);
// The GLUT main loop; returns when a window is closed or a recording has
// its last frame (after the shutdown has run, see windowClosed).
void runMainLoop();
// Runs the event loop until n more frames of the viewport have been
// displayed (the tests' and screenshots' frame loop). Returns false if they
// did not come within a few seconds.
bool runFrames(int n);
// Shutdown: cleans up and destroys the tree, deletes the wind, releases the
// shader program. Safe to call more than once; later calls do nothing.
void shutdownDor();
// Close callback of both windows: the shutdown runs here, while the viewport
// and its GL context still exist, and the main loop then returns.
void windowClosed();
