// (being written) The shader path.
#include "render/shader_path.h"
uint32_t shaderProgram = 0, vertexShader = 0, fragmentShader = 0;
void initGLSL() {}
void cleanUpGLSL() {}
char* readTextFile(const char*) { return nullptr; }
const char* accelerationButtonLabel() { return "Activate hardware acceleration"; }
bool accelerationButtonEnabled() { return true; }
void toggleHardwareAcceleration() {}
