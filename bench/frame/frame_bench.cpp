// Frame benchmark of the two drawing paths. Writes tree models of about
// 10 000, 100 000 and 1 000 000 triangles (a branching tree of generated
// segment cylinders whose last segments carry leaves), loads each into the
// viewer's tree, and times frames of the fixed-function path and of the
// shader path side by side: animation step, matrix texture upload and
// drawing, each closed by glFinish so that the GL work is inside its phase.
//
//   xvfb-run -a build/bench/frame/dor-frame-bench [seconds-per-path [window-size]]
//
// The window is 800 x 800 pixels like the viewport; a small one (e.g. 64)
// takes the pixel fill out of the drawing time.
#include <GL/glew.h>  // before any other GL header

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/timer.h"
#include "app/windows.h"
#include "render/display_options.h"
#include "render/shader_path.h"
#include "render/tree_graphics_gl.h"
#include "image/png_writer.h"
#include "tools/grow/tre_file.h"
#include "tree/tree.h"
#include "tree/tree_graphics.h"
#include "wind/wind.h"

namespace {

// A model: a tree of segments branching `branches` ways down to `levels`
// levels below the trunk; every last-level segment carries `leavesPerTip`
// leaves. Triangles: 16 per segment, 2 per leaf (generated mesh).
struct ModelShape {
    const char* name;
    int levels;
    int branches;
    int leavesPerTip;
};

// The model's elements in pre-order, with the generator's "tre" records.
struct ModelBuilder {
    TreFile& model;
    unsigned seed = 12345;

    double random01() {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1u << 24);
    }

    void segment(const ModelShape& shape, int level, double length, double diameter, Vec3d direction,
                 double attach) {
        bool tip = level == shape.levels;
        int children = tip ? shape.leavesPerTip : shape.branches;
        TreElement s;
        s.length = length;
        s.diameter = diameter;
        s.direction = direction;
        s.attach = attach;
        s.childCount = uint32_t(children);
        model.elements.push_back(s);
        for (int c = 0; c < children; ++c) {
            double angle = 6.2831853 * (c + random01() * 0.5) / children;
            if (tip) {
                TreElement leaf;
                leaf.leaf = true;
                leaf.direction = {std::cos(angle), std::sin(angle), 0.3 + random01()};
                leaf.attach = (c + 0.5) / children;
                model.elements.push_back(leaf);
            } else {
                segment(shape, level + 1, length * 0.72, diameter * 0.6,
                        {0.7 * std::cos(angle), 0.7 * std::sin(angle), 1.0}, 1.0);
            }
        }
    }
};

std::string writeModel(const ModelShape& shape) {
    std::string name = std::string(shape.name) + ".tre";
    TreFile model;
    model.comments = {std::string("frame benchmark model ") + shape.name};
    model.materials = barkAndLeafMaterials("bench_bark.png", "bench_leaf.png");
    ModelBuilder builder{model};
    builder.segment(shape, 0, 2.0, 0.3, {0, 0, 1}, 1.0);
    std::string error;
    if (!saveTre(model, name, error)) {
        std::printf("ERROR: %s\n", error.c_str());
        return "";
    }
    return name;
}

// Bark: an opaque stripe pattern; leaf: a leaf shape cut out by alpha.
void writeTextures() {
    const int size = 64;
    std::vector<unsigned char> bark(size * size * 4), leaf(size * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            unsigned char* b = &bark[4 * (y * size + x)];
            b[0] = 90 + (x % 8) * 6, b[1] = 70, b[2] = 50, b[3] = 255;
            unsigned char* l = &leaf[4 * (y * size + x)];
            double u = (x + 0.5) / size - 0.5, v = (y + 0.5) / size;
            bool inside = std::fabs(u) < 0.45 * std::sin(3.14159 * v);
            l[0] = 40, l[1] = 120 + (y % 16) * 4, l[2] = 30, l[3] = inside ? 255 : 0;
        }
    std::string error;
    if (!savePng("bench_bark.png", size, size, 4, bark, error) ||
        !savePng("bench_leaf.png", size, size, 4, leaf, error))
        std::printf("ERROR: %s\n", error.c_str());
}

void copyFile(const std::string& from, const std::string& to) {
    FILE* in = std::fopen(from.c_str(), "rb");
    FILE* out = std::fopen(to.c_str(), "wb");
    if (in && out) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
            std::fwrite(buffer, 1, n, out);
    }
    if (in)
        std::fclose(in);
    if (out)
        std::fclose(out);
}

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The frame's fixed part: clear, projection, camera, light 0.
void beginFrame() {
    glClearColor(0.9f, 0.9f, 0.9f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 1.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(0.0, -3.0, -14.0);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
}

struct PathTimes {
    int frames = 0;
    double animate = 0, upload = 0, draw = 0;  // seconds, summed over frames
    double total() const { return animate + upload + draw; }
};

PathTimes runPath(CTree& tree, bool shader, double seconds) {
    PathTimes t;
    hardwareAcceleration = shader;
    glFinish();
    double start = now();
    while (t.frames < 3 || (now() - start < seconds && t.frames < 1000)) {
        double t0 = now();
        tree.animate(0.04f);  // a fixed step: the same motion on every run
        double t1 = now();
        if (shader) {
            tree.uploadMatrixTexture();
            glFinish();
        }
        double t2 = now();
        beginFrame();
        if (shader)
            drawShaderMaterials(tree);
        else
            tree.drawMesh(0);
        glutSwapBuffers();
        glFinish();
        double t3 = now();
        t.animate += t1 - t0;
        t.upload += t2 - t1;
        t.draw += t3 - t2;
        ++t.frames;
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    if (!(seconds > 0))
        seconds = 3.0;
    int windowSize = argc > 2 ? std::atoi(argv[2]) : 800;
    if (windowSize < 1 || windowSize > 4096)
        windowSize = 800;
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(windowSize, windowSize);
    viewportWindow = glutCreateWindow("DOR viewport");
    captureViewportContext();
    std::printf("Using GL version %s (%s)\n", glGetString(GL_VERSION), glGetString(GL_RENDERER));
    glewInit();
    initOpenGL();
    testBufferObjects();
    testShaders();
    installTreeGraphics();

    // Models, textures and shader sources in one working directory.
    const char* workDir = "frame-bench-data";
    mkdir(workDir, 0755);
    if (chdir(workDir) != 0) {
        std::printf("ERROR: cannot enter %s\n", workDir);
        return 1;
    }
    copyFile(std::string(DOR_SOURCE_DIR) + "/assets/MBS.vert", "MBS.vert");
    copyFile(std::string(DOR_SOURCE_DIR) + "/assets/MBS.frag", "MBS.frag");
    writeTextures();
    if (bufferObjectsReady && glslReady)
        initGLSL();
    if (!glslAvailable) {
        std::printf("ERROR: the shader path is not available here\n");
        return 1;
    }

    std::vector<ModelShape> shapes = {
        {"bench_10k", 4, 3, 50},    // 121 segments, 4050 leaves: 10 036 triangles
        {"bench_100k", 6, 3, 57},   // 1093 segments, 41 553 leaves: 100 594 triangles
        {"bench_1m", 8, 3, 64},     // 9841 segments, 419 904 leaves: 997 264 triangles
    };
    // DOR_FRAME_BENCH_MODELS=n: only the first n models.
    if (const char* count = std::getenv("DOR_FRAME_BENCH_MODELS"))
        shapes.resize(std::min<std::size_t>(shapes.size(), std::strtoul(count, nullptr, 10)));
    CWind wind;
    std::vector<std::string> rows;
    for (const ModelShape& shape : shapes) {
        std::string file = writeModel(shape);
        CTree* tree = new CTree(&wind);
        if (file.empty() || tree->load(file.c_str()) != 0 || !shaderPathReady(*tree)) {
            std::printf("ERROR: model %s could not be loaded for both paths\n", shape.name);
            delete tree;
            continue;
        }
        tree->reset();
        PathTimes fixed = runPath(*tree, false, seconds);
        PathTimes shader = runPath(*tree, true, seconds);
        char line[512];
        for (int p = 0; p < 2; ++p) {
            const PathTimes& t = p == 0 ? fixed : shader;
            double f = t.frames;
            std::snprintf(line, sizeof line,
                          "| %u | %u | %s | %d | %.2f | %.2f | %.2f | %.2f |", tree->triangleCount,
                          tree->elementCount, p == 0 ? "fixed-function" : "shader", t.frames,
                          f / t.total(), 1000 * t.animate / f, 1000 * t.upload / f,
                          1000 * t.draw / f);
            rows.push_back(line);
        }
        std::snprintf(line, sizeof line, "| | | shader / fixed frame rate | | %.1f x | | | |",
                      fixed.total() / fixed.frames / (shader.total() / shader.frames));
        rows.push_back(line);
        delete tree;
    }
    std::printf("\n| triangles | elements | path | frames | frames/s | animation ms | upload ms "
                "| drawing ms |\n|---|---|---|---|---|---|---|---|\n");
    for (const std::string& row : rows)
        std::printf("%s\n", row.c_str());
    cleanUpGLSL();
    return 0;
}
