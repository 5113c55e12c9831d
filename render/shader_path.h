// The shader path: the program built from "MBS.vert" and "MBS.frag" and the
// acceleration toggle.
#pragma once

#include <cstdint>

extern uint32_t shaderProgram, vertexShader, fragmentShader;

void initGLSL();
void cleanUpGLSL();
// The whole text file, NUL-terminated, in a new[] buffer owned by the caller;
// null when the name is null, the file cannot be opened or is empty.
char* readTextFile(const char* fileName);

// The acceleration button: its label names the action of the next press.
const char* accelerationButtonLabel();
bool accelerationButtonEnabled();
// Id 316: toggles hardwareAcceleration when glslAvailable; else nothing.
void toggleHardwareAcceleration();

class CTree;
// The per-frame shader path of drawMesh: uploads the used rows of the matrix
// texture and draws the static buffers, one glDrawElements per material.
// Returns false, having drawn nothing, when the model has no buffers or no
// matrix texture (its matrices do not fit into one texture): the caller then
// draws the fixed-function path.
bool drawMeshShaderPath(CTree& tree);
// Its parts: whether the model can take the path, and the drawing after the
// upload (the frame benchmark times the two separately).
bool shaderPathReady(const CTree& tree);
void drawShaderMaterials(CTree& tree);
