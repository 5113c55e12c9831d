// Loader throughput: CTree::load on a generated tree file of about 100 MB
// (elements and a file mesh), beside tinyobjloader reading an OBJ file with
// the same vertices, normals, texture coordinates and triangles.
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <tiny_obj_loader.h>

#include "tree/tree.h"

namespace {

constexpr int benchElements = 20001;     // a trunk carrying 10000 segments and 10000 leaves
constexpr int benchVertices = 1000000;
constexpr int benchTriangles = 1000000;

struct BenchFiles {
    std::string tre, obj;
};

// A deterministic value in [-10, 10) with six decimals.
double pseudoRandom(uint64_t& state)
{
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) / 9007199254740992.0 * 20.0 - 10.0;
}

// Both files once per run, in the temporary folder.
const BenchFiles& benchFiles()
{
    static BenchFiles files = [] {
        const auto dir = std::filesystem::temp_directory_path() / "dor-bench";
        std::filesystem::create_directories(dir);
        BenchFiles f{(dir / "load.tre").string(), (dir / "load.obj").string()};
        FILE* tre = std::fopen(f.tre.c_str(), "w");
        FILE* obj = std::fopen(f.obj.c_str(), "w");
        std::fprintf(tre, "# generated for the loader benchmark\nP 0 0 0\n");
        std::fprintf(tre, "M bark\ntex bark.png\na 0.2 0.2 0.2\nb 0.8 0.8 0.8\nc 0 0 0\nd 0 0 0\ne 10\n");
        std::fprintf(tre, "S 2 0.2 0 0 1 1 %d 1\n", benchElements - 1);
        for (int i = 2; i <= benchElements; ++i) {
            if (i % 2 == 0)
                std::fprintf(tre, "S 0.5 0.02 %d 0.3 1 0.%d 0 %d\n", i % 7 - 3, i % 10, i);
            else
                std::fprintf(tre, "L 0.2 %d 1 0.%d %d\n", i % 5 - 2, i % 10, i);
        }
        uint64_t state = 1;
        for (int i = 0; i < benchVertices; ++i) {
            const double x = pseudoRandom(state), y = pseudoRandom(state), z = pseudoRandom(state);
            std::fprintf(tre, "V %.6f %.6f %.6f %d\n", x, y, z, i % benchElements);
            std::fprintf(obj, "v %.6f %.6f %.6f\n", x, y, z);
        }
        for (int i = 0; i < benchVertices; ++i) {
            const double x = pseudoRandom(state), y = pseudoRandom(state), z = pseudoRandom(state);
            std::fprintf(tre, "N %.6f %.6f %.6f\n", x, y, z);
            std::fprintf(obj, "vn %.6f %.6f %.6f\n", x, y, z);
        }
        for (int i = 0; i < benchVertices; ++i) {
            const double s = pseudoRandom(state) * 0.05 + 0.5, t = pseudoRandom(state) * 0.05 + 0.5;
            std::fprintf(tre, "T %.6f %.6f\n", s, t);
            std::fprintf(obj, "vt %.6f %.6f\n", s, t);
        }
        for (int i = 0; i < benchTriangles; ++i) {
            const int a = i % benchVertices, b = (i * 7 + 1) % benchVertices, c = (i * 13 + 2) % benchVertices;
            std::fprintf(tre, "F %d %d %d 0\n", a, b, c);
            std::fprintf(obj, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a + 1, a + 1, a + 1, b + 1, b + 1,
                         b + 1, c + 1, c + 1, c + 1);
        }
        std::fclose(tre);
        std::fclose(obj);
        return f;
    }();
    return files;
}

// Standard output goes to /dev/null while the loader prints its statistics.
struct QuietStdout {
    int saved;
    QuietStdout()
    {
        std::fflush(stdout);
        saved = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~QuietStdout()
    {
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }
};

void BM_LoadTre(benchmark::State& state)
{
    const std::string& path = benchFiles().tre;
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    uint32_t vertices = 0, triangles = 0;
    {
        QuietStdout quiet;
        CTree tree(nullptr);
        for (auto _ : state)
            if (tree.load(path.c_str()) != 0)
                state.SkipWithError("load failed");
        vertices = tree.vertexCount;
        triangles = tree.triangleCount;
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["vertices"] = vertices;
    state.counters["triangles"] = triangles;
}
BENCHMARK(BM_LoadTre)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_LoadObjTinyobjloader(benchmark::State& state)
{
    const std::string& path = benchFiles().obj;
    const auto bytes = static_cast<int64_t>(std::filesystem::file_size(path));
    size_t vertices = 0, triangles = 0;
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str()))
            state.SkipWithError("tinyobjloader failed");
        vertices = attrib.vertices.size() / 3;
        triangles = shapes.empty() ? 0 : shapes[0].mesh.indices.size() / 3;
        benchmark::DoNotOptimize(attrib.vertices.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["vertices"] = static_cast<double>(vertices);
    state.counters["triangles"] = static_cast<double>(triangles);
}
BENCHMARK(BM_LoadObjTinyobjloader)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace
