// (being written) The control panel.
#include "panel/control_panel.h"
void createControlPanel() {}
void controlCallback(int) {}
