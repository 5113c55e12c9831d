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

#include "tools/grow/tre_file.h"
#include "tree/tree.h"

namespace {

constexpr int benchElements = 20001;     // a trunk carrying 10000 segments and 10000 leaves
constexpr int benchVertices = 1000000;
constexpr int benchTriangles = 1000000;

struct BenchFiles {
    std::string tre, obj;
};

// A deterministic value in [-10, 10).
double pseudoRandom(uint64_t& state)
{
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) / 9007199254740992.0 * 20.0 - 10.0;
}

// The tree model: a trunk carrying segments and leaves, and a file mesh of
// pseudo-random vertices, normals and texture coordinates.
TreFile benchModel()
{
    TreFile m;
    m.comments = {"generated for the loader benchmark"};
    TreMaterial bark;
    bark.label = "bark";
    bark.textureFile = "bark.png";
    m.materials = {bark};
    TreElement trunk;
    trunk.length = 2;
    trunk.diameter = 0.2;
    trunk.childCount = benchElements - 1;
    m.elements.push_back(trunk);
    for (int i = 2; i <= benchElements; ++i) {
        TreElement e;
        e.leaf = i % 2 != 0;
        e.length = 0.5;
        e.diameter = 0.02;
        e.direction = e.leaf ? Vec3d{0.2, double(i % 5 - 2), 1} : Vec3d{double(i % 7 - 3), 0.3, 1};
        e.attach = (i % 10) / 10.0;
        m.elements.push_back(e);
    }
    uint64_t state = 1;
    m.vertices.resize(benchVertices);
    for (int i = 0; i < benchVertices; ++i) {
        const double x = pseudoRandom(state), y = pseudoRandom(state), z = pseudoRandom(state);
        m.vertices[size_t(i)].position = {x, y, z};
        m.vertices[size_t(i)].element = i % benchElements;
    }
    for (TreVertex& v : m.vertices) {
        const double x = pseudoRandom(state), y = pseudoRandom(state), z = pseudoRandom(state);
        v.normal = {x, y, z};
    }
    for (TreVertex& v : m.vertices) {
        const double s = pseudoRandom(state) * 0.05 + 0.5, t = pseudoRandom(state) * 0.05 + 0.5;
        v.s = s;
        v.t = t;
    }
    for (int i = 0; i < benchTriangles; ++i)
        m.faces.push_back({uint32_t(i % benchVertices), uint32_t((i * 7 + 1) % benchVertices),
                           uint32_t((i * 13 + 2) % benchVertices), 0});
    return m;
}

// Both files once per run, in the temporary folder: the tree file by the
// generator's writer, the OBJ file with the numbers as that writer prints
// them (six significant digits for positions, four for normals, five for
// texture coordinates).
const BenchFiles& benchFiles()
{
    static BenchFiles files = [] {
        const auto dir = std::filesystem::temp_directory_path() / "dor-bench";
        std::filesystem::create_directories(dir);
        BenchFiles f{(dir / "load.tre").string(), (dir / "load.obj").string()};
        const TreFile model = benchModel();
        std::string error;
        if (!saveTre(model, f.tre, error))
            std::fprintf(stderr, "ERROR: %s\n", error.c_str());
        FILE* obj = std::fopen(f.obj.c_str(), "w");
        if (!obj)
            return f;
        for (const TreVertex& v : model.vertices)
            std::fprintf(obj, "v %.6g %.6g %.6g\n", v.position.x, v.position.y, v.position.z);
        for (const TreVertex& v : model.vertices)
            std::fprintf(obj, "vn %.4g %.4g %.4g\n", v.normal.x, v.normal.y, v.normal.z);
        for (const TreVertex& v : model.vertices)
            std::fprintf(obj, "vt %.5g %.5g\n", v.s, v.t);
        for (const TreFace& t : model.faces)
            std::fprintf(obj, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", t.a + 1, t.a + 1, t.a + 1, t.b + 1, t.b + 1,
                         t.b + 1, t.c + 1, t.c + 1, t.c + 1);
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
