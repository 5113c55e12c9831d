// Texture synthesis for the species (see textures.h).
#include "tools/grow/textures.h"

#include <algorithm>
#include <cmath>

namespace {

const double twoPi = 6.283185307179586;

// Hash of a lattice point and the seed to [0, 1).
double latticeValue(int64_t x, int64_t y, uint64_t seed)
{
    uint64_t h = seed ^ (uint64_t(x) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(y) * 0xC2B2AE3D27D4EB4Full);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return double(h >> 11) * (1.0 / 9007199254740992.0);
}

// Smooth value noise on a lattice of periodX x periodY cells over the unit
// square, wrapping at its edges; (u, v) in cells.
double periodicNoise(double u, double v, int periodX, int periodY, uint64_t seed)
{
    double fu = std::floor(u), fv = std::floor(v);
    int64_t x0 = int64_t(fu), y0 = int64_t(fv);
    double tx = u - fu, ty = v - fv;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int64_t x, int64_t y) {
        x = ((x % periodX) + periodX) % periodX;
        y = ((y % periodY) + periodY) % periodY;
        return latticeValue(x, y, seed);
    };
    double a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * tx;
    double b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * tx;
    return a + (b - a) * ty;
}

// Sum of octaves in [0, 1) over the unit square (s, t), tiling both ways.
double fractalNoise(double s, double t, int baseX, int baseY, int octaves, uint64_t seed)
{
    double sum = 0.0, weight = 0.5, total = 0.0;
    for (int o = 0; o < octaves; ++o) {
        int px = baseX << o, py = baseY << o;
        sum += weight * periodicNoise(s * px, t * py, px, py, seed + uint64_t(o) * 7919);
        total += weight;
        weight *= 0.5;
    }
    return sum / total;
}

uint8_t toByte(double v) { return uint8_t(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); }

Rgb mix(Rgb a, Rgb b, double f) { return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f}; }
Rgb scale(Rgb a, double f) { return {a.r * f, a.g * f, a.b * f}; }

// Half width of the blade at fraction a of its length (0 base, 1 tip), as a
// fraction of the texture width; a stalk at the base.
double bladeHalfWidth(LeafShape shape, double a)
{
    if (a < 0.0 || a > 1.0)
        return 0.0;
    if (a < 0.08)
        return 0.025;  // petiole
    double b = (a - 0.08) / 0.92;
    switch (shape) {
    case LeafShape::Ovate: return 0.44 * std::sin(3.14159265 * std::pow(b, 0.8));
    case LeafShape::Deltoid: return 0.48 * std::min(1.0, b / 0.22) * std::pow(1.0 - b, 0.85);
    case LeafShape::Lanceolate: return 0.2 * std::sin(3.14159265 * std::pow(b, 0.9));
    case LeafShape::Needles: return 0.0;
    }
    return 0.0;
}

// Coverage (0..1) of the needle tuft at (s, a): needles fanning out from the
// base point.
double needleCoverage(double s, double a, uint64_t seed)
{
    const int needles = 11;
    double coverage = 0.0;
    for (int k = 0; k < needles; ++k) {
        double angle = (-40.0 + 80.0 * k / (needles - 1) + 6.0 * (latticeValue(k, 3, seed) - 0.5)) * twoPi / 360.0;
        double len = 0.75 + 0.2 * latticeValue(k, 5, seed);
        double dx = std::sin(angle), dy = std::cos(angle);
        double along = (s - 0.5) * dx + a * dy;
        if (along < 0.0 || along > len)
            continue;
        double across = std::fabs((s - 0.5) * dy - a * dx);
        double halfWidth = 0.022 * (1.0 - 0.6 * along / len);
        coverage = std::max(coverage, std::clamp((halfWidth - across) / 0.006 + 0.5, 0.0, 1.0));
    }
    return coverage;
}

}  // namespace

TextureImage makeBarkTexture(const CSpecies& species, uint64_t seed)
{
    TextureImage image;
    image.width = 128;
    image.height = 256;
    image.channels = 3;
    image.pixels.resize(size_t(image.width) * image.height * 3);
    const int furrows = std::max(1, int(species.barkFurrows + 0.5));
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            double s = (x + 0.5) / image.width, t = (y + 0.5) / image.height;
            // Vertical furrows that wander with low-frequency noise.
            double wander = fractalNoise(s, t, 4, 8, 3, seed) - 0.5;
            double vertical = 0.5 + 0.5 * std::cos(twoPi * (furrows * s + 0.8 * wander));
            vertical = std::pow(vertical, 0.5);
            // Horizontal bands (lenticels) broken up along the circumference.
            double band = 0.5 + 0.5 * std::cos(twoPi * (24.0 * t + 0.6 * wander));
            double breakUp = fractalNoise(s, t, 8, 16, 2, seed + 17);
            double horizontal = 1.0 - (band > 0.85 && breakUp > 0.45 ? 0.85 : 0.0);
            double pattern = vertical * (1.0 - species.barkHorizontal) + horizontal * species.barkHorizontal;
            double grain = fractalNoise(s, t, 16, 32, 3, seed + 31);
            Rgb c = mix(species.barkFurrowColour, species.barkColour, pattern);
            c = scale(c, 0.75 + 0.5 * grain);
            uint8_t* p = &image.pixels[(size_t(y) * image.width + x) * 3];
            p[0] = toByte(c.r);
            p[1] = toByte(c.g);
            p[2] = toByte(c.b);
        }
    }
    return image;
}

TextureImage makeLeafTexture(const CSpecies& species, uint64_t seed)
{
    TextureImage image;
    image.width = 128;
    image.height = 128;
    image.channels = 4;
    image.pixels.resize(size_t(image.width) * image.height * 4);
    const Rgb edge = scale(species.leafColour, 0.6);
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            // Coverage from 4 x 4 samples for a smooth outline.
            double coverage = 0.0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    double s = (x + (sx + 0.5) / 4.0) / image.width;
                    double a = 1.0 - (y + (sy + 0.5) / 4.0) / image.height;
                    if (species.leafShape == LeafShape::Needles)
                        coverage += needleCoverage(s, a, seed) / 16.0;
                    else if (std::fabs(s - 0.5) <= bladeHalfWidth(species.leafShape, a))
                        coverage += 1.0 / 16.0;
                }
            }
            double s = (x + 0.5) / image.width, a = 1.0 - (y + 0.5) / image.height;
            double half = std::max(1e-3, bladeHalfWidth(species.leafShape, a));
            double across = std::fabs(s - 0.5);
            // Midrib, side veins slanting toward the tip, and mottling.
            double vein = across < 0.012 ? 1.0 : 0.0;
            double side = a * 9.0 - across * 12.0;
            if (species.leafShape != LeafShape::Needles && std::fabs(side - std::round(side)) < 0.07)
                vein = std::max(vein, 0.55);
            double mottle = fractalNoise(s, a, 8, 8, 3, seed);
            Rgb c = scale(species.leafColour, 0.8 + 0.4 * mottle);
            c = mix(c, species.leafVeinColour, vein);
            // Darker toward the rim.
            c = scale(c, 1.0 - 0.25 * std::clamp(across / half, 0.0, 1.0));
            if (coverage <= 0.0)
                c = edge;
            uint8_t* p = &image.pixels[(size_t(y) * image.width + x) * 4];
            p[0] = toByte(c.r);
            p[1] = toByte(c.g);
            p[2] = toByte(c.b);
            p[3] = toByte(coverage);
        }
    }
    return image;
}
