// dor-sim's run. The tree is loaded as the viewer loads it (without a window,
// so without textures or GL buffers) and reset; then, frame by frame, the
// --at changes that are due are applied and the tree takes one step of 1/fps
// seconds, after which one row is written: the time, every probe's tip and
// every wind probe's wind. Positions are in model space with the tree's 'P'
// position added (the space CWind::windAt takes), numbers as %.9g so that they
// read back exactly. With --gltf the poses after every step are recorded too
// and written, after the run, as one binary glTF file.
#include "tools/sim/simulation.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "elements/tree_element.h"
#include "parameters/parameters.h"
#include "tools/gltf/pose_recorder.h"
#include "tools/gltf/tree_gltf.h"
#include "tree/tree.h"
#include "wind/wind.h"

namespace {

// The tip of element e: its origin plus its length along its axis (model
// space, relative to the tree's position), from its rest or current frame.
void tipOf(const Matrix4& frame, double length, const float origin[3], double tip[3])
{
    for (int r = 0; r < 3; ++r)
        tip[r] = frame.m[r][3] + frame.m[r][2] * length + origin[r];
}

// The element a probe names: its matrixIndex, "top" (the highest tip in the
// rest pose) or "deepest" (the greatest depth); the first in file order among
// equals. Null if none.
const CTreeElement* findProbe(const CTree& tree, const std::string& which)
{
    const CTreeElement* found = nullptr;
    if (which == "top") {
        double best = -HUGE_VAL;
        for (const CTreeElement* e : tree.elementOrder) {
            double tip[3];
            tipOf(e->restModelTransform, e->length, tree.position, tip);
            if (!found || tip[2] > best) {
                found = e;
                best = tip[2];
            }
        }
        return found;
    }
    if (which == "deepest") {
        for (const CTreeElement* e : tree.elementOrder)
            if (!found || e->depth > found->depth)
                found = e;
        return found;
    }
    char* end = nullptr;
    const long index = std::strtol(which.c_str(), &end, 10);
    if (which.empty() || *end != '\0' || index < 1)
        return nullptr;
    for (const CTreeElement* e : tree.elementOrder)
        if (e->matrixIndex == index)
            return e;
    return nullptr;
}

// Runs f with the standard output sent to the standard error: the loader's
// messages must not mix with CSV rows on the standard output.
template <typename F>
auto onStandardError(F f)
{
    std::fflush(stdout);
    const int saved = dup(1);
    if (saved >= 0)
        dup2(2, 1);
    auto result = f();
    std::fflush(stdout);
    if (saved >= 0) {
        dup2(saved, 1);
        close(saved);
    }
    return result;
}

// The frame before whose step a change at time t is applied: the first
// frame k (0-based) with k / fps >= t, times within a millionth of a frame of
// a frame boundary counting as on it.
long long frameOf(double t, double fps)
{
    const double frames = t * fps;
    const double nearest = std::round(frames);
    return std::fabs(frames - nearest) < 1e-6 ? (long long)nearest : (long long)std::ceil(frames);
}

void applyChange(const ParameterChange& change)
{
    // Checked when the command line was read.
    setLiveParameter(*findLiveParameter(change.name.c_str()), change.value.c_str());
}

// A long export's progress on the standard error: a percentage every few
// seconds of wall-clock time.
struct Progress {
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now(), last = start;
    bool shown = false;  // a percentage was printed

    void at(long long done, long long total)
    {
        const Clock::time_point now = Clock::now();
        if (now - last < std::chrono::seconds(3))
            return;
        last = now;
        shown = true;
        std::fprintf(stderr, "dor-sim: glTF export %d %%\n", int(100.0 * double(done) / double(total)));
    }
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
};

// Builds and writes the glTF file of the run; false after an ERROR line.
bool writeGltf(const CTree& tree, const PoseRecorder& poses, const SimOptions& options, const Progress& progress)
{
    if (progress.shown)
        std::fprintf(stderr, "dor-sim: glTF export 100 %%, writing %s\n", options.gltfPath.c_str());
    GltfDocument document;
    std::string error;
    const bool built = buildTreeGltf(tree, poses, options.file, document, error);
    for (const std::string& line : document.warnings)
        std::fprintf(stderr, "%s\n", line.c_str());
    if (!built || !writeGlb(options.gltfPath, document.json, document.buffer.bytes, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    std::fprintf(stderr,
                 "dor-sim: wrote %s: %llu bytes, %zu joints, %zu triangles, %zu animation channels, "
                 "%zu samples at %g per second, in %.1f s\n",
                 options.gltfPath.c_str(),
                 (unsigned long long)glbFileSize(document.json.size(), document.buffer.bytes.size()),
                 document.joints, document.triangles, document.channels, poses.times.size(), options.gltfFps,
                 progress.seconds());
    return true;
}

}  // namespace

int runSimulation(const SimOptions& options)
{
    resetLiveParameters();
    for (const ParameterChange& change : options.sets)
        applyChange(change);

    CWind wind;
    auto tree = std::make_unique<CTree>(&wind);
    const int loaded = onStandardError([&] {
        const int result = tree->load(options.file.c_str());
        if (result == 0)
            tree->reset();
        return result;
    });
    if (loaded != 0 || tree->noModel || !tree->trunk()) {
        std::fprintf(stderr, "ERROR: %s does not load\n", options.file.c_str());
        return 1;
    }

    std::vector<const CTreeElement*> probes;
    for (const std::string& which : options.probes) {
        const CTreeElement* e = findProbe(*tree, which);
        if (!e) {
            std::fprintf(stderr, "ERROR: --probe %s names no element (a number 1 to %u, top or deepest)\n",
                         which.c_str(), tree->elementCount);
            return 2;
        }
        probes.push_back(e);
    }

    const bool exporting = !options.gltfPath.empty();
    std::string refusal;
    if (exporting && !checkGltfExport(*tree, refusal)) {
        std::fprintf(stderr, "%s\n", refusal.c_str());
        return 1;
    }
    // A file that cannot be written is told before a long run, not after.
    if (exporting) {
        std::FILE* glb = std::fopen(options.gltfPath.c_str(), "wb");
        if (!glb || std::fclose(glb) != 0) {
            std::fprintf(stderr, "ERROR: cannot write %s\n", options.gltfPath.c_str());
            return 1;
        }
    }

    std::FILE* out = stdout;
    if (!options.csvPath.empty()) {
        out = std::fopen(options.csvPath.c_str(), "w");
        if (!out) {
            std::fprintf(stderr, "ERROR: cannot write %s\n", options.csvPath.c_str());
            return 1;
        }
    }

    std::fputs("t", out);
    for (const std::string& which : options.probes)
        std::fprintf(out, ",p%s_x,p%s_y,p%s_z", which.c_str(), which.c_str(), which.c_str());
    for (size_t k = 0; k < options.windProbes.size(); ++k)
        std::fprintf(out, ",w%zu_x,w%zu_y,w%zu_z", k, k, k);
    std::fputc('\n', out);

    // Changes due at the same frame are applied in the order given.
    std::vector<long long> eventFrames;
    for (const ParameterChange& change : options.events)
        eventFrames.push_back(frameOf(change.time, options.fps));

    const long long frames = (long long)std::llround(options.seconds * options.fps);
    const float dt = float(1.0 / options.fps);
    Progress progress;
    std::unique_ptr<PoseRecorder> poses;
    if (exporting) {
        poses = std::make_unique<PoseRecorder>(*tree, options.gltfFps, options.fps, frames);
        poses->record(*tree, 0);
    }
    for (long long k = 0; k < frames; ++k) {
        bool changed = false;
        for (size_t i = 0; i < options.events.size(); ++i)
            if (eventFrames[i] == k || (k == 0 && eventFrames[i] < 0)) {
                applyChange(options.events[i]);
                changed = true;
            }
        // The level of detail is applied when its spinners change, as the
        // panel does; the other parameters are read where they are used.
        if (changed)
            tree->applyAnimationLod();
        tree->animate(dt);

        std::fprintf(out, "%.9g", double(k + 1) / options.fps);
        for (const CTreeElement* e : probes) {
            double tip[3];
            tipOf(e->modelTransform, e->length, tree->position, tip);
            std::fprintf(out, ",%.9g,%.9g,%.9g", tip[0], tip[1], tip[2]);
        }
        for (const Vec3& p : options.windProbes) {
            const Vec3 w = wind.windAt(p);
            std::fprintf(out, ",%.9g,%.9g,%.9g", double(w.x), double(w.y), double(w.z));
        }
        std::fputc('\n', out);
        if (poses) {
            poses->record(*tree, k + 1);
            progress.at(k + 1, frames);
        }
    }

    const bool written = !std::ferror(out);
    if (out != stdout ? std::fclose(out) != 0 || !written : std::fflush(out) != 0 || !written) {
        std::fprintf(stderr, "ERROR: cannot write %s\n", options.csvPath.empty() ? "the standard output" : options.csvPath.c_str());
        return 1;
    }
    const bool exported = !poses || writeGltf(*tree, *poses, options, progress);
    onStandardError([&] {
        tree->cleanup();
        return 0;
    });
    return exported ? 0 : 1;
}
