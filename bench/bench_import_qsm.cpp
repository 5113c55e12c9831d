// BM_ImportTreeQsm, BM_ImportSimpleForest: reading and converting a scanned
// tree of 200 000 cylinders in each export format (parsing, checks, the
// model at the target height), per cylinder. Both must grow linearly with
// the rows.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tools/import_qsm/qsm_import.h"

namespace {

// A synthetic scan: stems of five cylinders (each the extension of the one
// before), every stem starting on an earlier cylinder, so the hierarchy is
// a few dozen levels deep; the same tree in both formats.
struct ScanText {
    std::string treeQsm, simpleForest;
};

ScanText syntheticScan(int rows)
{
    ScanText t;
    t.simpleForest = "ID,parentID,startX,startY,startZ,endX,endY,endZ,radius,length,segmentID\n";
    const size_t n = size_t(rows);
    std::vector<double> endX(n), endY(n), endZ(n);
    std::vector<int> segment(n);
    char line[512];
    for (int i = 0; i < rows; ++i) {
        const bool continues = i % 5 != 0;
        const int parent = i == 0 ? -1 : continues ? i - 1 : int((uint64_t(i) * 2654435761u) % uint64_t(i));
        const double angle = 2.3999632 * i;
        const double ax = continues ? 0.1 * std::cos(angle) : 0.7 * std::cos(angle);
        const double ay = continues ? 0.1 * std::sin(angle) : 0.7 * std::sin(angle);
        const double az = continues ? 0.99 : 0.7;
        const double norm = std::sqrt(ax * ax + ay * ay + az * az);
        const double length = 0.2, radius = 0.3 / (1.0 + 0.001 * i);
        const double sx = parent < 0 ? 0.0 : endX[size_t(parent)], sy = parent < 0 ? 0.0 : endY[size_t(parent)],
                     sz = parent < 0 ? 0.0 : endZ[size_t(parent)];
        endX[size_t(i)] = sx + length * ax / norm;
        endY[size_t(i)] = sy + length * ay / norm;
        endZ[size_t(i)] = sz + length * az / norm;
        segment[size_t(i)] = continues && parent >= 0 ? segment[size_t(parent)] : i;
        const bool extended = i + 1 < rows && (i + 1) % 5 != 0;
        std::snprintf(line, sizeof line, "%.9g\t%.9g\t%.9g\t%.9g\t%.9g\t%.9g\t%.9g\t%.9g\t%d\t%d\t0\t%.9g\t%d\t0\t1\n",
                      radius, length, sx, sy, sz, ax / norm, ay / norm, az / norm, parent + 1,
                      extended ? i + 2 : 0, radius, segment[size_t(i)]);
        t.treeQsm += line;
        std::snprintf(line, sizeof line, "%d,%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%d\n", i, parent, sx, sy,
                      sz, endX[size_t(i)], endY[size_t(i)], endZ[size_t(i)], radius, length, segment[size_t(i)]);
        t.simpleForest += line;
    }
    return t;
}

const ScanText& scan(int rows)
{
    static std::map<int, ScanText> made;
    auto it = made.find(rows);
    if (it == made.end())
        it = made.emplace(rows, syntheticScan(rows)).first;
    return it->second;
}

void importRows(benchmark::State& state, bool simpleForest)
{
    const int rows = int(state.range(0));
    const ScanText& text = scan(rows);
    size_t elements = 0;
    for (auto _ : state) {
        std::vector<QsmCylinder> cylinders;
        std::string error;
        const bool parsed = simpleForest ? parseSimpleForest(text.simpleForest, cylinders, error)
                                         : parseTreeQsm(text.treeQsm, cylinders, error);
        TreFile model;
        if (!parsed || !convertQsm(cylinders, QsmImportOptions{}, model, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        elements = model.elements.size();
        benchmark::DoNotOptimize(model.elements.data());
    }
    state.counters["elements"] = double(elements);
    state.counters["time_per_row"] =
        benchmark::Counter(double(rows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ImportTreeQsm(benchmark::State& state) { importRows(state, false); }
void BM_ImportSimpleForest(benchmark::State& state) { importRows(state, true); }
BENCHMARK(BM_ImportTreeQsm)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportSimpleForest)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace
