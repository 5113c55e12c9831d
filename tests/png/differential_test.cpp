// The decoder against libpng: a few hundred files written by libpng across
// colour types, bit depths, interlacing, filters, tRNS and palette variants,
// compression strategies and odd sizes, compared pixel by pixel.
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include "image/png_decoder.h"
#include "png_test_files.h"

namespace {

struct Format
{
    int colorType, bitDepth;
};

const Format FORMATS[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8},  {2, 16}, {3, 1},
                          {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
const int FILTERS[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG,
                       PNG_FILTER_PAETH, PNG_ALL_FILTERS};
const unsigned SIZES[][2] = {{1, 1}, {7, 3}, {33, 17}, {64, 31}, {5, 40}, {130, 9}, {2, 2}, {9, 1}};
const int STRATEGIES[] = {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE, Z_FILTERED};

// Variant v of a format: palette size and tRNS for colour type 3, a colour
// key for types 0 and 2, and a compression set-up.
PngLayout variant(const Format& f, unsigned v)
{
    PngLayout s;
    s.colorType = f.colorType;
    s.bitDepth = f.bitDepth;
    s.seed = v + 1;
    s.strategy = STRATEGIES[v % 5];
    s.level = v % 7 == 3 ? 0 : 1 + v % 9; // level 0: stored blocks
    s.idatSize = v % 4 == 1 ? 64 : 8192;  // small: many IDAT chunks
    if (f.colorType == 3) {
        const unsigned full = 1u << f.bitDepth;
        const unsigned sizes[] = {full, full > 2 ? full - 1 : 2, full > 4 ? 3 : full};
        s.paletteSize = sizes[v % 3];
        const int trns[] = {-1, int(s.paletteSize), int(s.paletteSize) / 2, 1};
        s.trnsCount = trns[(v / 3) % 4];
    } else if ((f.colorType == 0 || f.colorType == 2) && v % 2 == 1) {
        const unsigned maxValue = (1u << f.bitDepth) - 1;
        s.colorKey = true;
        s.key[0] = (maxValue * 2) / 3;
        s.key[1] = maxValue / 5;
        s.key[2] = maxValue;
    }
    return s;
}

} // namespace

TEST(PngDifferential, MatchesLibpngOnEveryFormatFilterAndInterlace)
{
    int files = 0;
    unsigned v = 0;
    for (const Format& f : FORMATS)
        for (int interlace = 0; interlace < 2; ++interlace)
            for (int filter : FILTERS)
                for (int k = 0; k < 2; ++k, ++v) {
                    PngLayout layout = variant(f, v);
                    layout.interlace = interlace == 1;
                    layout.filters = filter;
                    const unsigned* size = SIZES[(v * 3 + k) % 8];
                    layout.width = size[0];
                    layout.height = size[1];
                    const Bytes file = writePng(layout, makeSamples(layout));
                    ASSERT_FALSE(file.empty());

                    Bytes expected;
                    unsigned w = 0, h = 0;
                    ASSERT_TRUE(libpngDecode(file, expected, w, h));
                    Bytes rgba;
                    const std::string what = "type " + std::to_string(f.colorType) + " depth " +
                                             std::to_string(f.bitDepth) + " interlace " +
                                             std::to_string(interlace) + " filter " +
                                             std::to_string(filter) + " variant " + std::to_string(v);
                    ASSERT_EQ(decodePngImage(file, rgba), 0) << what;
                    EXPECT_EQ(pngWidth(), layout.width);
                    EXPECT_EQ(pngHeight(), layout.height);
                    ASSERT_EQ(rgba.size(), expected.size()) << what;
                    for (size_t i = 0; i < rgba.size(); ++i)
                        ASSERT_EQ(rgba[i], expected[i]) << what << " byte " << i;
                    ++files;
                }
    EXPECT_EQ(files, 360);
}

// Larger images: long runs of dynamic blocks, many IDAT chunks, all filters.
TEST(PngDifferential, MatchesLibpngOnTextureSizes)
{
    const Format formats[] = {{6, 8}, {2, 8}, {3, 8}, {0, 8}, {2, 16}};
    unsigned v = 0;
    for (const Format& f : formats)
        for (int interlace = 0; interlace < 2; ++interlace, ++v) {
            PngLayout layout = variant(f, v);
            layout.width = 257;
            layout.height = 190;
            layout.interlace = interlace == 1;
            layout.level = 6;
            layout.strategy = Z_DEFAULT_STRATEGY;
            const Bytes file = writePng(layout, makeSamples(layout));
            Bytes expected, rgba;
            unsigned w = 0, h = 0;
            ASSERT_TRUE(libpngDecode(file, expected, w, h));
            ASSERT_EQ(decodePngImage(file, rgba), 0);
            EXPECT_TRUE(rgba == expected) << "type " << f.colorType << " interlace " << interlace;
        }
}
