// PNG decoder: header and chunk walk, scanline filters, Adam7 and the
// conversion of every colour type and bit depth to 8-bit RGBA.
#include "image/png_decoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/inflate.h"
#include "image/regular_file.h"

namespace {

PngDecoder decoder;

// Largest image accepted: 2^28 pixels (16384 x 16384), 1 GiB of RGBA.
constexpr uint64_t MAX_PIXELS = uint64_t(1) << 28;

// Adam7 passes: first column, first row, column step, row step.
const unsigned ADAM7_X[7] = {0, 4, 0, 2, 0, 1, 0};
const unsigned ADAM7_Y[7] = {0, 0, 4, 0, 2, 0, 1};
const unsigned ADAM7_DX[7] = {8, 8, 4, 4, 2, 2, 1};
const unsigned ADAM7_DY[7] = {8, 8, 8, 4, 4, 2, 2};

unsigned readBigEndian32(const unsigned char* p)
{
    return (unsigned(p[0]) << 24) | (unsigned(p[1]) << 16) | (unsigned(p[2]) << 8) | p[3];
}

bool isChunk(const unsigned char* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

// One sub-image of the decompressed data: the whole image, or an Adam7 pass.
struct Pass
{
    unsigned x0 = 0, y0 = 0, dx = 1, dy = 1; // placement in the image
    unsigned width = 0, height = 0;
    size_t lineBytes = 0; // bytes of a scanline after its filter-type byte
    size_t offset = 0;    // first byte in the decompressed data
};

// Splits the decompressed data into passes; returns their total byte count.
uint64_t layoutPasses(const PngDecoder& d, Pass* passes, unsigned& passCount)
{
    const uint64_t w = d.width, h = d.height;
    if (d.interlaceMethod == 0) {
        passCount = 1;
        passes[0].width = d.width;
        passes[0].height = d.height;
    } else {
        passCount = 7;
        const uint64_t widths[7] = {(w + 7) / 8, (w + 3) / 8, (w + 3) / 4, (w + 1) / 4,
                                    (w + 1) / 2, w / 2,       w};
        const uint64_t heights[7] = {(h + 7) / 8, (h + 7) / 8, (h + 3) / 8, (h + 3) / 4,
                                     (h + 1) / 4, (h + 1) / 2, h / 2};
        for (unsigned p = 0; p < 7; ++p) {
            passes[p].x0 = ADAM7_X[p];
            passes[p].y0 = ADAM7_Y[p];
            passes[p].dx = ADAM7_DX[p];
            passes[p].dy = ADAM7_DY[p];
            passes[p].width = unsigned(widths[p]);
            passes[p].height = unsigned(heights[p]);
        }
    }
    uint64_t offset = 0;
    for (unsigned p = 0; p < passCount; ++p) {
        passes[p].offset = size_t(offset);
        passes[p].lineBytes = size_t((uint64_t(passes[p].width) * d.bitsPerPixel + 7) / 8);
        if (passes[p].width && passes[p].height)
            offset += uint64_t(passes[p].height) * (1 + passes[p].lineBytes);
    }
    return offset;
}

// The Paeth predictor of left a, above b and upper-left c: of a, b, c the one
// nearest to p = a + b - c, ties resolved in the order a, b, c.
inline int paeth(int a, int b, int c)
{
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// Sub, Average and Paeth for a byte distance of BD: the BD bytes of the pixel
// on the left and of the one above it are kept in registers, so that each
// byte waits only for its own channel's previous byte. n is a multiple of BD.
template <unsigned BD> void unfilterLeft(unsigned char* line, const unsigned char* above, size_t n, unsigned type)
{
    int a[BD] = {}, c[BD] = {};
    if (type == 1) {
        for (size_t i = 0; i < n; i += BD)
#pragma GCC unroll 8
            for (unsigned k = 0; k < BD; ++k)
                line[i + k] = (unsigned char)(a[k] = (line[i + k] + a[k]) & 255);
    } else if (type == 3) {
        for (size_t i = 0; i < n; i += BD)
#pragma GCC unroll 8
            for (unsigned k = 0; k < BD; ++k)
                line[i + k] = (unsigned char)(a[k] = (line[i + k] + ((a[k] + above[i + k]) >> 1)) & 255);
    } else {
        for (size_t i = 0; i < n; i += BD)
#pragma GCC unroll 8
            for (unsigned k = 0; k < BD; ++k) {
                const int b = above[i + k];
                line[i + k] = (unsigned char)(a[k] = (line[i + k] + paeth(a[k], b, c[k])) & 255);
                c[k] = b;
            }
    }
}

// Undoes the filter of one scanline in place. `above` is the unfiltered line
// above (zeros for the first line of a pass); bd is the byte distance to the
// corresponding byte of the pixel on the left (1 to 8; n is a multiple of it).
void unfilterLine(unsigned char* line, const unsigned char* above, size_t n, unsigned bd,
                  unsigned type)
{
    if (type == 0)
        return; // None
    if (type == 2) { // Up
        for (size_t i = 0; i < n; ++i)
            line[i] = (unsigned char)(line[i] + above[i]);
        return;
    }
    switch (bd) { // Sub, Average, Paeth
    case 1: unfilterLeft<1>(line, above, n, type); break;
    case 2: unfilterLeft<2>(line, above, n, type); break;
    case 3: unfilterLeft<3>(line, above, n, type); break;
    case 4: unfilterLeft<4>(line, above, n, type); break;
    case 6: unfilterLeft<6>(line, above, n, type); break;
    default: unfilterLeft<8>(line, above, n, type); break;
    }
}

// Converts `count` unfiltered pixels of a scanline to RGBA at dst, which
// advances by `step` bytes per pixel. Returns 0, or 46 / 47 for a palette
// index outside the palette.
int convertLine(const PngDecoder& d, const unsigned char* s, unsigned count, unsigned char* dst,
                size_t step)
{
    const bool key = d.colorKeySet;
    if (d.bitDepth == 8) {
        switch (d.colorType) {
        case 0:
            for (unsigned i = 0; i < count; ++i, dst += step) {
                dst[0] = dst[1] = dst[2] = s[i];
                dst[3] = key && s[i] == d.keyR ? 0 : 255;
            }
            return 0;
        case 2:
            for (unsigned i = 0; i < count; ++i, s += 3, dst += step) {
                dst[0] = s[0];
                dst[1] = s[1];
                dst[2] = s[2];
                dst[3] = key && s[0] == d.keyR && s[1] == d.keyG && s[2] == d.keyB ? 0 : 255;
            }
            return 0;
        case 3:
            for (unsigned i = 0; i < count; ++i, dst += step) {
                if (s[i] >= d.paletteCount)
                    return 46;
                std::memcpy(dst, d.palette + 4 * s[i], 4);
            }
            return 0;
        case 4:
            for (unsigned i = 0; i < count; ++i, s += 2, dst += step) {
                dst[0] = dst[1] = dst[2] = s[0];
                dst[3] = s[1];
            }
            return 0;
        default: // 6
            if (step == 4) {
                std::memcpy(dst, s, size_t(count) * 4);
                return 0;
            }
            for (unsigned i = 0; i < count; ++i, s += 4, dst += step)
                std::memcpy(dst, s, 4);
            return 0;
        }
    }
    if (d.bitDepth == 16) {
        // The high-order byte of each sample; the key is matched on all 16 bits.
        switch (d.colorType) {
        case 0:
            for (unsigned i = 0; i < count; ++i, s += 2, dst += step) {
                dst[0] = dst[1] = dst[2] = s[0];
                dst[3] = key && unsigned(s[0] << 8 | s[1]) == d.keyR ? 0 : 255;
            }
            return 0;
        case 2:
            for (unsigned i = 0; i < count; ++i, s += 6, dst += step) {
                dst[0] = s[0];
                dst[1] = s[2];
                dst[2] = s[4];
                dst[3] = key && unsigned(s[0] << 8 | s[1]) == d.keyR &&
                                 unsigned(s[2] << 8 | s[3]) == d.keyG &&
                                 unsigned(s[4] << 8 | s[5]) == d.keyB
                             ? 0
                             : 255;
            }
            return 0;
        case 4:
            for (unsigned i = 0; i < count; ++i, s += 4, dst += step) {
                dst[0] = dst[1] = dst[2] = s[0];
                dst[3] = s[2];
            }
            return 0;
        default: // 6
            for (unsigned i = 0; i < count; ++i, s += 8, dst += step) {
                dst[0] = s[0];
                dst[1] = s[2];
                dst[2] = s[4];
                dst[3] = s[6];
            }
            return 0;
        }
    }
    // Depths 1, 2, 4 (grey or palette): samples packed most-significant bit first.
    const unsigned depth = d.bitDepth;
    const unsigned mask = (1u << depth) - 1;
    for (unsigned i = 0; i < count; ++i, dst += step) {
        const size_t bit = size_t(i) * depth;
        const unsigned v = (s[bit >> 3] >> (8 - depth - (bit & 7))) & mask;
        if (d.colorType == 3) {
            if (v >= d.paletteCount)
                return 47;
            std::memcpy(dst, d.palette + 4 * v, 4);
        } else {
            dst[0] = dst[1] = dst[2] = (unsigned char)(v * 255 / mask);
            dst[3] = key && v == d.keyR ? 0 : 255;
        }
    }
    return 0;
}

// Header and chunk walk: fills the decoder's fields and joins the IDAT data.
int readChunks(PngDecoder& d, const std::vector<unsigned char>& in, std::vector<unsigned char>& zlib)
{
    static const unsigned char SIGNATURE[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    const size_t size = in.size();
    const unsigned char* b = in.data();
    if (size <= 28)
        return 27;
    if (std::memcmp(b, SIGNATURE, 8) != 0)
        return 28;
    if (!isChunk(b + 12, "IHDR"))
        return 29;
    d.width = readBigEndian32(b + 16);
    d.height = readBigEndian32(b + 20);
    d.bitDepth = b[24];
    d.colorType = b[25];
    d.compressionMethod = b[26];
    d.filterMethod = b[27];
    d.interlaceMethod = b[28];
    if (d.compressionMethod != 0)
        return 32;
    if (d.filterMethod != 0)
        return 33;
    if (d.interlaceMethod > 1)
        return 34;
    const unsigned t = d.colorType, depth = d.bitDepth;
    if (t != 0 && t != 2 && t != 3 && t != 4 && t != 6)
        return 31;
    const bool depthOk = t == 0   ? depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16
                         : t == 3 ? depth == 1 || depth == 2 || depth == 4 || depth == 8
                                  : depth == 8 || depth == 16;
    if (!depthOk)
        return 37;
    if (d.width == 0 || d.height == 0)
        return 58;
    d.channels = t == 2 ? 3 : t == 4 ? 2 : t == 6 ? 4 : 1;
    d.bitsPerPixel = depth * d.channels;

    // Chunks: length (4 bytes), type (4), data (length), CRC (4, not read).
    size_t at = 33;
    for (;;) {
        if (at + 8 >= size)
            return 30;
        const size_t n = readBigEndian32(b + at);
        if (at + 8 + n > size)
            return 35;
        const unsigned char* type = b + at + 4;
        const unsigned char* data = b + at + 8;
        if (isChunk(type, "IDAT")) {
            zlib.insert(zlib.end(), data, data + n);
        } else if (isChunk(type, "IEND")) {
            break;
        } else if (isChunk(type, "PLTE")) {
            const size_t count = n / 3;
            if (count > 256)
                return 38;
            d.paletteCount = unsigned(count);
            for (size_t i = 0; i < count; ++i) {
                std::memcpy(d.palette + 4 * i, data + 3 * i, 3);
                d.palette[4 * i + 3] = 255;
            }
        } else if (isChunk(type, "tRNS")) {
            if (t == 3) {
                if (n > d.paletteCount)
                    return 39;
                for (size_t i = 0; i < n; ++i)
                    d.palette[4 * i + 3] = data[i];
            } else if (t == 0) {
                if (n != 2)
                    return 40;
                d.colorKeySet = true;
                d.keyR = depth == 16 ? (data[0] << 8 | data[1]) : data[1];
            } else if (t == 2) {
                if (n != 6)
                    return 41;
                d.colorKeySet = true;
                d.keyR = depth == 16 ? (data[0] << 8 | data[1]) : data[1];
                d.keyG = depth == 16 ? (data[2] << 8 | data[3]) : data[3];
                d.keyB = depth == 16 ? (data[4] << 8 | data[5]) : data[5];
            } else {
                return 42;
            }
        } else if (isChunk(type, "bKGD")) {
            if (t == 3 && n != 1)
                return 43;
            if ((t == 0 || t == 4) && n != 2)
                return 44;
            if ((t == 2 || t == 6) && n != 6)
                return 45;
            d.backgroundSet = true;
        }
        at += 12 + n;
    }
    return 0;
}

int decode(PngDecoder& d, const std::vector<unsigned char>& in, std::vector<unsigned char>& out)
{
    if (in.empty())
        return 48;
    d.error = 0;
    d.colorKeySet = false;
    d.backgroundSet = false;
    d.paletteCount = 0;

    std::vector<unsigned char> zlib;
    if (const int e = readChunks(d, in, zlib))
        return e;

    // Output area of the decompressor, checked before anything is allocated
    // for the image. Within MAX_PIXELS no product below overflows 64 bits.
    const uint64_t w = d.width, h = d.height;
    if (w * h > MAX_PIXELS)
        return 57;
    Pass passes[7];
    unsigned passCount = 0;
    const uint64_t imageBytes = layoutPasses(d, passes, passCount);
    const uint64_t area = std::max(((h * d.bitsPerPixel + 7) * w) / 8 + 8 * h, imageBytes);

    const size_t zlibSize = zlib.size();
    zlib.resize(zlibSize + INFLATE_INPUT_PADDING, 0);
    std::vector<unsigned char> data;
    size_t produced = 0;
    if (const int e = inflateZlib(zlib.data(), zlibSize, size_t(area), data, produced))
        return e;
    zlib = std::vector<unsigned char>();
    if (data.size() < imageBytes)
        data.resize(size_t(imageBytes), 0); // a short stream: the rest reads as zero

    // Filter types first, so that a bad one leaves `out` untouched.
    for (unsigned p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        if (pass.width == 0)
            continue;
        for (unsigned y = 0; y < pass.height; ++y)
            if (data[pass.offset + y * (1 + pass.lineBytes)] > 4)
                return 36;
    }

    out.resize(size_t(w * h * 4));
    const unsigned bd = std::max(1u, d.bitsPerPixel / 8);
    std::vector<unsigned char> zeros;
    for (unsigned p = 0; p < passCount; ++p) {
        const Pass& pass = passes[p];
        if (pass.width == 0 || pass.height == 0)
            continue;
        zeros.assign(pass.lineBytes, 0);
        const unsigned char* above = zeros.data();
        for (unsigned y = 0; y < pass.height; ++y) {
            unsigned char* line = data.data() + pass.offset + y * (1 + pass.lineBytes);
            unfilterLine(line + 1, above, pass.lineBytes, bd, line[0]);
            above = line + 1;
            const size_t row = pass.y0 + size_t(y) * pass.dy;
            unsigned char* dst = out.data() + (row * d.width + pass.x0) * 4;
            if (const int e = convertLine(d, line + 1, pass.width, dst, size_t(pass.dx) * 4))
                return e;
        }
    }
    return 0;
}

} // namespace

void loadFileBytes(const char* fileName, std::vector<unsigned char>& bytes)
{
    readWholeFile(fileName, bytes);
}

int decodePngImage(const std::vector<unsigned char>& in, std::vector<unsigned char>& out)
{
    decoder.error = decode(decoder, in, out);
    return decoder.error;
}

int pngError() { return decoder.error; }
unsigned pngWidth() { return decoder.width; }
unsigned pngHeight() { return decoder.height; }
const PngDecoder& pngDecoderState() { return decoder; }
