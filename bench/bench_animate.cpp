// BM_Animate, BM_AnimateShiver: one animation step of a loaded tree of 1 000
// to 1 000 000 elements (grown by the dor-grow library, about one leaf per
// two elements), per element, and the resident memory per element that the
// loaded model takes (mesh included). BM_AnimateWindField: the step with the
// wind field on (turbulence and gusts), every element sampling its own wind.
// BM_AnimateWindFieldRatio: the two alternating step by step, as a ratio.
// BM_AnimatePhysical: one step of the physical model (1/physicsRate s) on
// the same trees, per element; BM_PhysicalFrameDefaultModel: the physical
// model's work for one 1/60 s frame of the default model (two steps at
// 120 Hz), which must stay within 4 ms to run under the viewer in real time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>

#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

#include "parameters/parameters.h"
#include "tools/grow/species.h"
#include "tools/grow/tree_generator.h"
#include "tree/tree.h"
#include "wind/wind.h"

namespace {

// Resident set size in bytes, from /proc/self/statm.
double residentBytes()
{
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0.0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
        resident = 0;
    std::fclose(f);
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

struct LoadedTree {
    std::unique_ptr<CWind> wind;
    std::unique_ptr<CTree> tree;
    double bytesPerElement = 0.0;
};

// Runs f with the standard output sent to /dev/null (the loader's statistics).
template <typename F>
void quietly(F f)
{
    std::fflush(stdout);
    const int saved = dup(1), null = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0)
        dup2(null, 1);
    f();
    std::fflush(stdout);
    if (saved >= 0) {
        dup2(saved, 1);
        close(saved);
    }
    if (null >= 0)
        close(null);
}

// The tree of about `elements` elements, grown, written and loaded once per
// size; the largest tree is kept alone to bound the memory.
LoadedTree& treeOfSize(int elements)
{
    static std::map<int, LoadedTree> trees;
    auto found = trees.find(elements);
    if (found != trees.end())
        return found->second;
    if (elements >= 1000000 || trees.count(1000000))
        trees.clear();

    GrowOptions options;
    options.targetElements = elements;
    options.seed = 42;
    TreFile file = growTree(*findSpecies("prunus_cerasifera_nigra"), options);
    const std::string path = "/tmp/dor_bench_animate_" + std::to_string(elements) + ".tre";
    std::string error;
    if (!saveTre(file, path, error))
        std::printf("ERROR: %s\n", error.c_str());
    file = TreFile{};

    LoadedTree& t = trees[elements];
    t.wind = std::make_unique<CWind>();
    malloc_trim(0);  // freed memory back to the system, so that the load's growth shows
    const double before = residentBytes();
    t.tree = std::make_unique<CTree>(t.wind.get());
    quietly([&] { t.tree->load(path.c_str()); });
    t.bytesPerElement = (residentBytes() - before) / double(t.tree->elementCount ? t.tree->elementCount : 1);
    std::remove(path.c_str());
    t.tree->reset();
    return t;
}

void animate(benchmark::State& state, bool shiver, bool windField = false)
{
    resetLiveParameters();
    shiverApply = shiver;
    windTurbulence = windGusts = windField;
    const float dt = 1.0f / 60.0f;  // seconds: a 60 frames/s viewer
    LoadedTree& t = treeOfSize(int(state.range(0)));
    if (windField)
        t.tree->animate(dt);  // the first step builds the turbulence tile: not timed
    // The thread's processor time: the machine is shared, wall time is not ours.
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    for (auto _ : state)
        t.tree->animate(dt);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    const double cpuNs = double(end.tv_sec - start.tv_sec) * 1e9 + double(end.tv_nsec - start.tv_nsec);
    const double n = t.tree->elementCount;
    state.counters["elements"] = n;
    state.counters["leaves"] = t.tree->leafCount;
    state.counters["depth"] = t.tree->maxDepth;
    state.counters["ns_per_element"] = cpuNs / (n * double(state.iterations()));
    state.counters["bytes_per_element"] = t.bytesPerElement;
    resetLiveParameters();
}

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// The field's cost against the uniform wind's, step for step: each iteration
// animates once with the field on and once with it off, each step timed on
// its own, so that the machine's drifting load (it is shared) falls on both
// alike. field_over_uniform is the ratio of the two sums.
void BM_AnimateWindFieldRatio(benchmark::State& state)
{
    resetLiveParameters();
    const float dt = 1.0f / 60.0f;  // seconds
    LoadedTree& t = treeOfSize(int(state.range(0)));
    windTurbulence = windGusts = 1;
    t.tree->animate(dt);  // builds the turbulence tile: not timed
    double field = 0.0, uniform = 0.0;
    for (auto _ : state) {
        windTurbulence = windGusts = 1;
        double t0 = threadSeconds();
        t.tree->animate(dt);
        double t1 = threadSeconds();
        field += t1 - t0;
        windTurbulence = windGusts = 0;
        t0 = threadSeconds();
        t.tree->animate(dt);
        t1 = threadSeconds();
        uniform += t1 - t0;
    }
    const double n = double(t.tree->elementCount) * double(state.iterations());
    state.counters["elements"] = t.tree->elementCount;
    state.counters["field_ns_per_element"] = 1e9 * field / n;
    state.counters["uniform_ns_per_element"] = 1e9 * uniform / n;
    state.counters["field_over_uniform"] = uniform > 0.0 ? field / uniform : 0.0;
    resetLiveParameters();
}

// One fixed step per iteration (a frame of exactly 1/physicsRate s), in
// processor time as above; the first step, which builds the bodies, is not
// timed.
void animatePhysical(benchmark::State& state, CTree& tree, double countedElements)
{
    const float dt = 1.0f / physicsRate;
    tree.animate(dt);
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    for (auto _ : state)
        tree.animate(dt);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    const double cpuNs = double(end.tv_sec - start.tv_sec) * 1e9 + double(end.tv_nsec - start.tv_nsec);
    state.counters["elements"] = countedElements;
    state.counters["ns_per_element_per_step"] = cpuNs / (countedElements * double(state.iterations()));
}

void BM_AnimatePhysical(benchmark::State& state)
{
    resetLiveParameters();
    bendingModel = 1;
    LoadedTree& t = treeOfSize(int(state.range(0)));
    t.tree->reset();
    animatePhysical(state, *t.tree, t.tree->elementCount);
    t.tree->reset();
    resetLiveParameters();
}

void BM_PhysicalFrameDefaultModel(benchmark::State& state)
{
    resetLiveParameters();
    bendingModel = 1;
    CWind wind;
    CTree tree(&wind);
    const std::string path = std::string(DOR_SOURCE_DIR) + "/assets/" + DEFAULT_TREE_FILE_NAME;
    quietly([&] { tree.load(path.c_str()); });
    tree.reset();
    tree.animate(1.0f / 60.0f);  // builds the bodies: not timed
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    for (auto _ : state)
        tree.animate(1.0f / 60.0f);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    const double cpuNs = double(end.tv_sec - start.tv_sec) * 1e9 + double(end.tv_nsec - start.tv_nsec);
    state.counters["elements"] = tree.elementCount;
    state.counters["ms_per_frame"] = cpuNs * 1e-6 / double(state.iterations());
    resetLiveParameters();
}

void BM_Animate(benchmark::State& state) { animate(state, false); }
void BM_AnimateShiver(benchmark::State& state) { animate(state, true); }
void BM_AnimateWindField(benchmark::State& state) { animate(state, false, true); }

}  // namespace

BENCHMARK(BM_Animate)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimatePhysical)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PhysicalFrameDefaultModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnimateShiver)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimateWindField)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnimateWindFieldRatio)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
