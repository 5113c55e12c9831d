// The shader program of the hardware-accelerated path, built once at start-up
// from "MBS.vert" and "MBS.frag", and the acceleration button's logic.
#include "render/shader_path.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/windows.h"
#include "image/regular_file.h"
#include "tree/tree_graphics.h"

uint32_t shaderProgram = 0, vertexShader = 0, fragmentShader = 0;

// initGLSL ran and the program did not link: the button stays disabled.
static bool glslInitFailed = false;

// Shader sources are small: a larger file is not one and is refused rather
// than allocated.
static const size_t MAX_SHADER_FILE_SIZE = size_t(16) << 20;

// The whole source, NUL-terminated, in a buffer the caller deletes; null for
// a file that cannot be read (missing, no regular file, too large) or is empty.
char* readTextFile(const char* fileName) {
    std::vector<unsigned char> bytes;
    if (!readWholeFile(fileName, bytes, MAX_SHADER_FILE_SIZE) || bytes.empty())
        return nullptr;
    char* text = new char[bytes.size() + 1];
    std::memcpy(text, bytes.data(), bytes.size());
    text[bytes.size()] = '\0';
    return text;
}

// Prints a shader's or the program's info log, each line indented, under a
// heading; nothing when the log is empty.
static void printInfoLog(uint32_t object, bool isProgram, const char* heading) {
    GLint length = 0;
    if (isProgram)
        glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1)
        return;
    std::string log(static_cast<std::size_t>(length), '\0');
    GLsizei written = 0;
    if (isProgram)
        glGetProgramInfoLog(object, length, &written, log.data());
    else
        glGetShaderInfoLog(object, length, &written, log.data());
    log.resize(static_cast<std::size_t>(written));
    while (!log.empty() && (log.back() == '\n' || log.back() == '\0'))
        log.pop_back();
    if (log.empty())
        return;
    std::printf("%s\n", heading);
    std::size_t start = 0;
    while (start <= log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        std::printf("    %s\n", log.substr(start, end - start).c_str());
        start = end + 1;
    }
}

// Hands a source to its shader and compiles it; a missing text is not handed
// over, so the shader stays uncompiled and the link fails.
static void compileShader(uint32_t shader, const char* text) {
    if (text == nullptr)
        return;
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
}

void initGLSL() {
    checkViewportContext();
    std::printf("initGLSL() .. \n");
    glslInitFailed = false;
    GLint status = -1;
    char* vertexText = readTextFile("MBS.vert");
    char* fragmentText = readTextFile("MBS.frag");

    vertexShader = glCreateShader(GL_VERTEX_SHADER);
    fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);
    compileShader(vertexShader, vertexText);
    compileShader(fragmentShader, fragmentText);
    shaderProgram = glCreateProgram();
    glAttachShader(shaderProgram, vertexShader);
    glAttachShader(shaderProgram, fragmentShader);
    if (vertexText != nullptr && fragmentText != nullptr) {
        glLinkProgram(shaderProgram);
        glGetProgramiv(shaderProgram, GL_LINK_STATUS, &status);
    }

    if (status == GL_TRUE) {
        glslAvailable = true;
        std::printf("GLSL was initialized!\n");
        hardwareAcceleration = true;
    } else {
        std::printf("ERROR: GLSL could not be initialized!\n");
        // Why: a missing file, then the compilers' and the linker's logs.
        if (vertexText == nullptr)
            std::printf("ERROR: shader file \"MBS.vert\" is missing or empty\n");
        if (fragmentText == nullptr)
            std::printf("ERROR: shader file \"MBS.frag\" is missing or empty\n");
        if (vertexText != nullptr)
            printInfoLog(vertexShader, false, "ERROR: compile log of \"MBS.vert\":");
        if (fragmentText != nullptr)
            printInfoLog(fragmentShader, false, "ERROR: compile log of \"MBS.frag\":");
        if (vertexText != nullptr && fragmentText != nullptr)
            printInfoLog(shaderProgram, true, "ERROR: link log of the shader program:");
        // The program is never used: release it now.
        glDeleteProgram(shaderProgram);
        glDeleteShader(vertexShader);
        glDeleteShader(fragmentShader);
        shaderProgram = vertexShader = fragmentShader = 0;
        glslInitFailed = true;
    }
    std::fflush(stdout);
    delete[] vertexText;
    delete[] fragmentText;
}

void cleanUpGLSL() {
    std::printf("cleanUpGLSL() .. \n");
    if (shaderProgram == 0)
        return;
    glDetachShader(shaderProgram, vertexShader);
    glDetachShader(shaderProgram, fragmentShader);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    glDeleteProgram(shaderProgram);
    shaderProgram = vertexShader = fragmentShader = 0;
}

const char* accelerationButtonLabel() {
    return hardwareAcceleration ? "Deactivate hardware acceleration"
                                : "Activate hardware acceleration";
}

bool accelerationButtonEnabled() { return !glslInitFailed; }

void toggleHardwareAcceleration() {
    if (!glslAvailable)
        return;
    hardwareAcceleration = !hardwareAcceleration;
}
