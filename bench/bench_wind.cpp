// BM_WindSample: one CWind::windAt with turbulence and gusts on, at points
// along branches in a tree-sized box (10 m x 10 m x 12 m), as a step samples
// them.
#include <benchmark/benchmark.h>

#include <vector>

#include "parameters/parameters.h"
#include "wind/deterministic_math.h"
#include "wind/wind.h"

namespace {

void BM_WindSample(benchmark::State& state)
{
    resetLiveParameters();
    windTurbulence = 1;
    windGusts = 1;
    CWind wind;
    wind.advance(0.0f);  // builds the tile
    // 64 branches of 64 points 0.1 m apart, each from a random start: a
    // step samples its elements in file order, along the branches.
    std::vector<Vec3> points(4096);
    Vec3 p;
    for (size_t i = 0; i < points.size(); ++i) {
        const uint64_t h = splitMix64(i);
        auto random = [&](uint64_t k, double low, double high) {
            return float(low + (high - low) * uniform01(splitMix64(h + k)));
        };
        if (i % 64 == 0)
            p = {random(0, -5, 5), random(1, -5, 5), random(2, 0, 12)};
        else
            p = p + Vec3{random(3, -0.06, 0.06), random(4, -0.06, 0.06), random(5, -0.03, 0.06)};
        points[i] = p;
    }
    size_t i = 0;
    int steps = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(wind.windAt(points[i]));
        if (++i == points.size()) {
            i = 0;
            // A step of a 60 frames/s viewer every 4096 samples (its cost
            // spread over them, as in a tree of that size).
            wind.advance(1.0f / 60.0f);
            ++steps;
        }
    }
    state.counters["steps"] = steps;
    resetLiveParameters();
}

}  // namespace

BENCHMARK(BM_WindSample);
