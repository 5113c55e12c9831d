// The panel's input path: the key and mouse events of both windows as GLUT
// reports them, queued for ImGui and routed between the panel and the
// viewer's keyboard callback.
#pragma once

// The event functions take the modifier bits (GLUT_ACTIVE_SHIFT, _CTRL,
// _ALT) as glutGetModifiers gives them in the event's callback: the state
// just before the event. freeglut reports the modifier keys themselves as
// special keys (GLUT_KEY_SHIFT_L ... GLUT_KEY_ALT_R); the held modifiers
// are tracked from those, so that ImGui sees a modifier from the event that
// presses it to the event that releases it.
//
// Keys typed in either window go to the panel while one of its widgets is
// active (the "File" field being edited, a spinner dragged, a button held),
// else to keyNotForPanel. A key that arrives while earlier events still
// wait (a click that may activate a widget) waits with them and is routed
// when its turn comes.
void panelKeyDown(unsigned char key, int modifiers, int x, int y);
void panelKeyUp(unsigned char key, int modifiers, int x, int y);
void panelSpecialDown(int key, int modifiers, int x, int y);
void panelSpecialUp(int key, int modifiers, int x, int y);
// Events of the controls window only: a button (GLUT_LEFT_BUTTON ...,
// GLUT_DOWN / GLUT_UP), pointer motion, the wheel (direction +1 / -1).
void panelMouseButton(int button, int state, int modifiers, int x, int y);
void panelMouseMove(int x, int y);
void panelMouseWheel(int direction, int x, int y);

// Hands the waiting events to the current ImGui context; called right before
// each ImGui::NewFrame. ImGui 1.86 reads buttons and keys as states once per
// frame, so a frame takes the events in order up to the first one that would
// change a button, key or modifier already changed in this frame (a press
// and its release arriving together), and keys wait behind a button change
// until ImGui has seen the click; the rest wait for the next frame.
void takePanelInput();

// Forgets waiting events and held modifiers (a fresh ImGui context).
void resetPanelInput();

// Whether events still wait for a later frame.
bool panelInputWaiting();

// Whether the panel holds the keyboard: one of its widgets is active.
bool panelHoldsKeyboard();

// Where keys go that the panel does not take: the viewer's keyboard
// callback (the quit keys) unless a test puts its own here.
extern void (*keyNotForPanel)(unsigned char key, int x, int y);
