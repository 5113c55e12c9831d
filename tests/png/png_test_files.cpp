// Test files for the PNG decoder: images by the project's PNG writer with zlib
// compression, libpng's reading of them, hand-made files.
#include "png_test_files.h"

#include <cassert>
#include <csetjmp>
#include <cstring>

#include <png.h>
#include <zlib.h>

#include "image/png_writer.h"

namespace {

struct ReadCursor
{
    const Bytes* bytes;
    size_t at;
};

void readFromBytes(png_structp png, png_bytep data, png_size_t length)
{
    ReadCursor* c = static_cast<ReadCursor*>(png_get_io_ptr(png));
    if (c->at + length > c->bytes->size())
        png_error(png, "read past end");
    std::memcpy(data, c->bytes->data() + c->at, length);
    c->at += length;
}

void quietWarning(png_structp, png_const_charp) {}

unsigned channelsOf(int colorType)
{
    return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
}

} // namespace

std::vector<uint16_t> makeSamples(const PngLayout& layout)
{
    const unsigned channels = channelsOf(layout.colorType);
    const unsigned maxValue = layout.colorType == 3 ? layout.paletteSize - 1 : (1u << layout.bitDepth) - 1;
    std::vector<uint16_t> s(size_t(layout.width) * layout.height * channels);
    uint32_t rng = layout.seed * 2654435761u + 12345;
    for (unsigned y = 0; y < layout.height; ++y)
        for (unsigned x = 0; x < layout.width; ++x)
            for (unsigned c = 0; c < channels; ++c) {
                rng = rng * 1664525u + 1013904223u;
                const unsigned noise = (rng >> 24) & 15;
                // Bark-like: a diagonal gradient, vertical stripes, a little noise.
                const double g = double((x * (3 + c) + y * (5 - c % 2) * 2) % 256) / 255.0;
                const double stripe = ((x / 4 + c) % 3 == 0) ? 0.2 : 0.0;
                double v = 0.7 * g + stripe + noise / 160.0;
                if (v > 1.0)
                    v = 1.0;
                unsigned value = unsigned(v * maxValue + 0.5);
                if (layout.bitDepth == 16)
                    value = (value & 0xFF00) | (rng >> 8 & 0xFF); // low bytes differ from high
                s[(size_t(y) * layout.width + x) * channels + c] = uint16_t(value);
            }
    if (layout.colorKey) // every 5th pixel takes the key colour
        for (size_t p = 0; p < size_t(layout.width) * layout.height; p += 5)
            for (unsigned c = 0; c < channels; ++c)
                s[p * channels + c] = uint16_t(layout.key[c]);
    return s;
}

std::vector<unsigned char> makePalette(const PngLayout& layout)
{
    std::vector<unsigned char> p(size_t(layout.paletteSize) * 4);
    for (unsigned i = 0; i < layout.paletteSize; ++i) {
        p[4 * i + 0] = uint8_t(i * 37 + 11);
        p[4 * i + 1] = uint8_t(i * 91 + 3);
        p[4 * i + 2] = uint8_t(255 - i * 13);
        p[4 * i + 3] = int(i) < layout.trnsCount ? uint8_t(i * 53 + 7) : 255;
    }
    return p;
}

Bytes writePng(const PngLayout& layout, const std::vector<uint16_t>& samples)
{
    return writePng(layout, samples, makePalette(layout));
}

Bytes writePng(const PngLayout& layout, const std::vector<uint16_t>& samples,
               const std::vector<unsigned char>& palette)
{
    PngImage image;
    image.width = layout.width;
    image.height = layout.height;
    image.colorType = layout.colorType;
    image.bitDepth = layout.bitDepth;
    image.interlace = layout.interlace;
    image.samples = samples;
    image.filters = (layout.filters >> 3) & 0x1F;  // libpng's mask: PNG_FILTER_NONE is bit 3
    if (layout.colorType == 3) {
        for (unsigned i = 0; i < layout.paletteSize; ++i)
            image.palette.insert(image.palette.end(), {palette[4 * i], palette[4 * i + 1], palette[4 * i + 2]});
        for (int i = 0; i < layout.trnsCount; ++i)
            image.transparency.push_back(palette[4 * size_t(i) + 3]);
    } else if (layout.colorKey) {
        const int keys = layout.colorType == 2 ? 3 : 1;
        for (int c = 0; c < keys; ++c)
            image.transparency.insert(image.transparency.end(),
                                      {uint8_t(layout.key[c] >> 8), uint8_t(layout.key[c])});
    }
    const Bytes scanlines = filteredScanlines(image);
    // zlib at the layout's level and strategy: dynamic, fixed and stored
    // blocks as a real encoder writes them.
    z_stream z = {};
    if (deflateInit2(&z, layout.level, Z_DEFLATED, 15, 8, layout.strategy) != Z_OK)
        return Bytes();
    Bytes stream(deflateBound(&z, uLong(scanlines.size())));
    z.next_in = const_cast<Bytef*>(scanlines.data());
    z.avail_in = uInt(scanlines.size());
    z.next_out = stream.data();
    z.avail_out = uInt(stream.size());
    const int status = deflate(&z, Z_FINISH);
    stream.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END)
        return Bytes();
    return encodePng(image, stream, layout.idatSize);
}

bool libpngDecode(const Bytes& file, Bytes& rgba, unsigned& width, unsigned& height)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quietWarning);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    ReadCursor cursor = {&file, 0};
    png_set_read_fn(png, &cursor, readFromBytes);
    png_read_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4)
        png_error(png, "not RGBA");
    rgba.assign(size_t(width) * height * 4, 0);
    std::vector<png_bytep> rows(height);
    for (unsigned y = 0; y < height; ++y)
        rows[y] = rgba.data() + size_t(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

Bytes pngFile(const std::vector<Chunk>& chunks, bool badCrc)
{
    Bytes f(pngSignature, pngSignature + 8);
    for (const Chunk& c : chunks) {
        assert(c.type.size() == 4);
        appendPngChunk(f, c.type.c_str(), c.data);
        if (badCrc)
            for (size_t i = f.size() - 4; i < f.size(); ++i)
                f[i] = uint8_t(~f[i]);
    }
    return f;
}

Bytes simplePng(unsigned width, unsigned height, int bitDepth, int colorType, const Bytes& zlib,
                const std::vector<Chunk>& before)
{
    std::vector<Chunk> chunks = {{"IHDR", ihdrBody(width, height, bitDepth, colorType)}};
    chunks.insert(chunks.end(), before.begin(), before.end());
    chunks.push_back({"IDAT", zlib});
    chunks.push_back({"IEND", {}});
    return pngFile(chunks);
}

Bytes zlibCompress(const Bytes& raw, int level)
{
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), uLong(raw.size()), level);
    out.resize(size);
    return out;
}

Bytes zlibWrap(const Bytes& deflate, bool trailer)
{
    Bytes z;
    z.reserve(deflate.size() + 6);
    z.push_back(0x78);
    z.push_back(0x01);
    z.insert(z.end(), deflate.begin(), deflate.end());
    if (trailer)
        for (uint8_t b : {0, 0, 0, 1})
            z.push_back(b);
    return z;
}
