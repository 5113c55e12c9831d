// Test files for the PNG decoder: images written by the project's PNG writer
// (image/png_writer.h) with zlib's compression, libpng's own decoding to
// RGBA as the oracle, and hand-made PNG files and DEFLATE bit streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/png_writer.h"

using Bytes = std::vector<unsigned char>;

// An image to write. Samples are per channel, in the range of the bit depth
// (palette indices for colour type 3); the compression and filter settings
// are zlib's and libpng's names for them.
struct PngLayout
{
    unsigned width = 1, height = 1;
    int colorType = 6, bitDepth = 8;
    bool interlace = false;
    int filters = 0xF8;            // libpng filter mask (PNG_ALL_FILTERS)
    int level = 6, strategy = 0;   // zlib compression level and strategy
    unsigned paletteSize = 0;      // entries of PLTE (colour type 3)
    int trnsCount = -1;            // palette alphas written to tRNS, -1 = none
    bool colorKey = false;         // tRNS key for colour types 0 and 2
    unsigned key[3] = {0, 0, 0};   // grey or R, G, B key samples
    unsigned idatSize = 8192;      // data bytes per IDAT chunk
    unsigned seed = 1;             // of the synthetic content
};

// Synthetic texture-like content for layout: gradients, stripes, a little noise
// and, when a key is set, some pixels of the key colour. One value per sample.
std::vector<uint16_t> makeSamples(const PngLayout& layout);
// Palette of layout.paletteSize entries, RGBA (alpha from the tRNS entries).
std::vector<unsigned char> makePalette(const PngLayout& layout);

// Writes the samples as a PNG file (filters chosen per line among
// layout.filters, zlib at layout.level and layout.strategy, IDAT chunks of
// layout.idatSize bytes); a palette image takes
// makePalette's entries, or the given ones (RGBA, layout.paletteSize entries).
Bytes writePng(const PngLayout& layout, const std::vector<uint16_t>& samples);
Bytes writePng(const PngLayout& layout, const std::vector<uint16_t>& samples,
               const std::vector<unsigned char>& palette);
// Decodes with libpng to 8-bit RGBA (16-bit samples: high-order byte).
// Returns false if libpng refuses the file.
bool libpngDecode(const Bytes& png, Bytes& rgba, unsigned& width, unsigned& height);

// Hand-made files.
struct Chunk
{
    std::string type;
    Bytes data;
};
// IHDR bodies come from the writer's ihdrBody.
// Signature followed by the chunks, each with a correct CRC unless badCrc.
Bytes pngFile(const std::vector<Chunk>& chunks, bool badCrc = false);
// A file of IHDR, the chunks `before`, one IDAT with `zlib`, then IEND.
Bytes simplePng(unsigned width, unsigned height, int bitDepth, int colorType, const Bytes& zlib,
                const std::vector<Chunk>& before = {});
// zlib's compress2 of raw bytes.
Bytes zlibCompress(const Bytes& raw, int level = 6);

// DEFLATE bit streams by hand: the writer's bit writer.
using BitWriter = DeflateBitWriter;
// A zlib stream: the 2-byte header 0x78 0x01, the DEFLATE bytes, and the
// (unchecked) Adler-32 trailer when `trailer`.
Bytes zlibWrap(const Bytes& deflate, bool trailer = false);
