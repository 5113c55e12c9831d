// (being written) The wind source.
#include "wind/wind.h"
CWind::CWind(const float*) {}
void CWind::update() {}
Vec3 CWind::windAt(Vec3) { return direction; }
