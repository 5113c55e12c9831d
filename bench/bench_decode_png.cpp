// PNG decoding speed, in MB/s of RGBA output, on texture-like images of
// 256^2 to 2048^2 written by the project's PNG writer with zlib compression:
// the DOR decoder beside libpng and stb_image decoding the same bytes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include "image/inflate.h"
#include "image/png_decoder.h"
#include "png/png_test_files.h"  // writing and libpng decoding, shared with the tests

namespace {

struct TestImage
{
    const char* name;
    unsigned size;
    int colorType; // PNG colour type: 0 grey, 2 RGB, 3 palette, 6 RGBA
    bool interlace;
};

const TestImage IMAGES[] = {
    {"rgba_1024", 1024, 6, false},   {"rgba_1024_adam7", 1024, 6, true},
    {"rgb_2048", 2048, 2, false},    {"rgb_512_adam7", 512, 2, true},
    {"palette_512", 512, 3, false},  {"grey_256", 256, 0, false},
};

// Smooth value noise in [0, 1): random values on a lattice of `cell` pixels,
// interpolated bilinearly with a smoothstep.
double valueNoise(double x, double y, unsigned cell, unsigned seed)
{
    auto lattice = [seed](int i, int j) {
        uint32_t h = uint32_t(i) * 374761393u + uint32_t(j) * 668265263u + seed * 2246822519u;
        h = (h ^ (h >> 13)) * 1274126177u;
        return double((h ^ (h >> 16)) & 0xFFFF) / 65536.0;
    };
    const double fx = x / cell, fy = y / cell;
    const int ix = int(std::floor(fx)), iy = int(std::floor(fy));
    double tx = fx - ix, ty = fy - iy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double a = lattice(ix, iy) + (lattice(ix + 1, iy) - lattice(ix, iy)) * tx;
    const double b = lattice(ix, iy + 1) + (lattice(ix + 1, iy + 1) - lattice(ix, iy + 1)) * tx;
    return a + (b - a) * ty;
}

// A bark-like texture: three octaves of noise stretched along the trunk,
// vertical furrows, a little grain; leaves (alpha) cut out by a threshold.
void texel(unsigned x, unsigned y, unsigned char rgba[4])
{
    const double n = 0.55 * valueNoise(x, y * 0.25, 32, 1) + 0.3 * valueNoise(x, y * 0.5, 8, 2) +
                     0.15 * valueNoise(x, y, 2, 3);
    const double furrow = 0.5 + 0.5 * std::sin(x * 0.09 + 4 * valueNoise(x, y, 64, 4));
    const double v = 0.6 * n + 0.4 * furrow;
    rgba[0] = (unsigned char)(60 + 120 * v);
    rgba[1] = (unsigned char)(40 + 90 * v);
    rgba[2] = (unsigned char)(25 + 60 * v);
    rgba[3] = valueNoise(x, y, 48, 5) > 0.35 ? 255 : (unsigned char)(255 * valueNoise(x, y, 4, 6));
}

// The image written with libpng's defaults: a palette image unfiltered, the
// others filtered adaptively and compressed with zlib's filtered strategy.
Bytes writeImage(const TestImage& t)
{
    PngLayout layout;
    layout.width = layout.height = t.size;
    layout.colorType = t.colorType;
    layout.interlace = t.interlace;
    layout.filters = t.colorType == 3 ? PNG_FILTER_NONE : PNG_ALL_FILTERS;
    layout.strategy = t.colorType == 3 ? Z_DEFAULT_STRATEGY : Z_FILTERED;
    std::vector<unsigned char> palette;
    if (t.colorType == 3) {
        layout.paletteSize = 256;
        for (unsigned i = 0; i < 256; ++i) {  // bark colours by brightness
            const unsigned char entry[4] = {(unsigned char)(60 + i * 120 / 255), (unsigned char)(40 + i * 90 / 255),
                                            (unsigned char)(25 + i * 60 / 255), 255};
            palette.insert(palette.end(), entry, entry + 4);
        }
    }
    const unsigned channels = t.colorType == 6 ? 4 : t.colorType == 2 ? 3 : 1;
    std::vector<uint16_t> samples;
    samples.reserve(size_t(t.size) * t.size * channels);
    for (unsigned y = 0; y < t.size; ++y)
        for (unsigned x = 0; x < t.size; ++x) {
            unsigned char p[4];
            texel(x, y, p);
            if (channels == 1)
                samples.push_back(t.colorType == 3 ? (unsigned char)((p[0] - 60) * 255 / 120) : p[0]);
            else
                samples.insert(samples.end(), p, p + channels);
        }
    return writePng(layout, samples, palette);
}

const Bytes& imageBytes(const TestImage& t)
{
    static std::map<std::string, Bytes> cache;
    Bytes& b = cache[t.name];
    if (b.empty())
        b = writeImage(t);
    return b;
}

void setOutputRate(benchmark::State& state, const TestImage& t, const Bytes& file)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * t.size * t.size * 4);
    state.counters["file_KB"] = double(file.size()) / 1024.0;
}

void BM_DecodePng(benchmark::State& state, const TestImage& t)
{
    const Bytes& file = imageBytes(t);
    Bytes rgba, expected;
    unsigned width = 0, height = 0;
    if (decodePngImage(file, rgba) != 0 || !libpngDecode(file, expected, width, height) || rgba != expected) {
        state.SkipWithError("differs from libpng");
        return;
    }
    for (auto _ : state) {
        if (decodePngImage(file, rgba) != 0) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(rgba.data());
    }
    setOutputRate(state, t, file);
}

// The reference Huffman decoding, one bit at a time down the code tree.
void BM_DecodePngTreeWalk(benchmark::State& state, const TestImage& t)
{
    const Bytes& file = imageBytes(t);
    Bytes rgba;
    huffmanTreeWalk = true;
    for (auto _ : state) {
        decodePngImage(file, rgba);
        benchmark::DoNotOptimize(rgba.data());
    }
    huffmanTreeWalk = false;
    setOutputRate(state, t, file);
}

void BM_DecodePngLibpng(benchmark::State& state, const TestImage& t)
{
    const Bytes& file = imageBytes(t);
    Bytes rgba;
    unsigned width = 0, height = 0;
    for (auto _ : state) {
        if (!libpngDecode(file, rgba, width, height)) {
            state.SkipWithError("libpng failed");
            break;
        }
        benchmark::DoNotOptimize(rgba.data());
    }
    setOutputRate(state, t, file);
}

void BM_DecodePngStb(benchmark::State& state, const TestImage& t)
{
    const Bytes& file = imageBytes(t);
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        unsigned char* p = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &n, 4);
        if (!p) {
            state.SkipWithError("stb_image failed");
            break;
        }
        benchmark::DoNotOptimize(p);
        stbi_image_free(p);
    }
    setOutputRate(state, t, file);
}

// Registered per image, the three decoders next to each other.
int registerAll()
{
    for (const TestImage& t : IMAGES) {
        benchmark::RegisterBenchmark((std::string("BM_DecodePng/") + t.name).c_str(), BM_DecodePng, t)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_DecodePngTreeWalk/") + t.name).c_str(),
                                     BM_DecodePngTreeWalk, t)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_DecodePngLibpng/") + t.name).c_str(),
                                     BM_DecodePngLibpng, t)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_DecodePngStb/") + t.name).c_str(), BM_DecodePngStb, t)
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}
const int registered = registerAll();

} // namespace
