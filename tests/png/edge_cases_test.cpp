// Edge cases of the PNG decoder: what is tolerated (bad CRCs, split IDAT,
// short streams, stored blocks of length 0), transparency keys and short
// tRNS, interlaced 1 x 1, the 16-bit byte choice, and reading files.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "image/png_decoder.h"
#include "png_test_files.h"

namespace {

Bytes decodeOk(const Bytes& file)
{
    Bytes out;
    EXPECT_EQ(decodePngImage(file, out), 0);
    return out;
}

Bytes librarySample()
{
    PngLayout layout;
    layout.width = 37;
    layout.height = 21;
    layout.colorType = 2;
    return writePng(layout, makeSamples(layout));
}

// The chunks of a file (after the signature), CRCs dropped.
std::vector<Chunk> chunksOf(const Bytes& file)
{
    std::vector<Chunk> chunks;
    for (size_t at = 8; at + 12 <= file.size();) {
        const size_t n = size_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        chunks.push_back({std::string(file.begin() + at + 4, file.begin() + at + 8),
                          Bytes(file.begin() + at + 8, file.begin() + at + 8 + n)});
        at += 12 + n;
    }
    return chunks;
}

} // namespace

TEST(PngEdgeCases, WrongCrcsDecodeNormally)
{
    const Bytes file = librarySample();
    const Bytes expected = decodeOk(file);
    const Bytes broken = pngFile(chunksOf(file), true);
    ASSERT_NE(broken, file);
    EXPECT_EQ(decodeOk(broken), expected);
}

TEST(PngEdgeCases, SplitIdatWithAncillaryAndUnknownChunksBetween)
{
    const Bytes file = librarySample();
    const Bytes expected = decodeOk(file);
    Bytes zlib;
    for (const Chunk& c : chunksOf(file))
        if (c.type == "IDAT")
            zlib.insert(zlib.end(), c.data.begin(), c.data.end());
    const size_t third = zlib.size() / 3;
    const std::vector<Chunk> chunks = {
        {"IHDR", ihdrBody(37, 21, 8, 2)},
        {"IDAT", Bytes(zlib.begin(), zlib.begin() + third)},
        {"tEXt", {'a', 0, 'b'}},
        {"IDAT", Bytes(zlib.begin() + third, zlib.begin() + 2 * third)},
        {"zzZz", Bytes(5, 7)},
        {"IDAT", Bytes(zlib.begin() + 2 * third, zlib.end())},
        {"IEND", {}}};
    EXPECT_EQ(decodeOk(pngFile(chunks)), expected);
}

TEST(PngEdgeCases, GreyDepth2KeyMakesExactlyThatSampleTransparent)
{
    // One row of the four samples 0, 1, 2, 3; key 1.
    const Bytes file = simplePng(4, 1, 2, 0, zlibCompress({0, 0x1B}), {{"tRNS", {0, 1}}});
    const Bytes out = decodeOk(file);
    ASSERT_EQ(out.size(), 16u);
    const unsigned char grey[4] = {0, 85, 170, 255};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[4 * i], grey[i]);
        EXPECT_EQ(out[4 * i + 2], grey[i]);
        EXPECT_EQ(out[4 * i + 3], i == 1 ? 0 : 255) << "pixel " << i;
    }
}

TEST(PngEdgeCases, ShortPaletteTrnsLeavesTheRestOpaque)
{
    const Bytes plte = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}; // 5 entries + 2 bytes
    const Bytes file =
        simplePng(5, 1, 8, 3, zlibCompress({0, 0, 1, 2, 3, 4}), {{"PLTE", plte}, {"tRNS", {100, 0}}});
    const Bytes out = decodeOk(file);
    ASSERT_EQ(out.size(), 20u);
    const unsigned char alpha[5] = {100, 0, 255, 255, 255};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(out[4 * i], plte[3 * i]);
        EXPECT_EQ(out[4 * i + 3], alpha[i]) << "entry " << i;
    }
}

TEST(PngEdgeCases, InterlacedOneByOneIsThePixelOfTheFirstPass)
{
    // Pass 1 holds the only scanline; the other passes are empty.
    std::vector<Chunk> chunks = {{"IHDR", ihdrBody(1, 1, 8, 6, 1)},
                                 {"IDAT", zlibCompress({0, 10, 20, 30, 40})},
                                 {"IEND", {}}};
    EXPECT_EQ(decodeOk(pngFile(chunks)), (Bytes{10, 20, 30, 40}));
}

TEST(PngEdgeCases, StoredBlockOfLengthZeroIsValid)
{
    BitWriter w;
    w.put(0, 1), w.put(0, 2), w.align(); // stored, not final, LEN 0
    w.put(0, 16), w.put(0xFFFF, 16);
    w.put(1, 1), w.put(0, 2), w.align(); // stored, final, LEN 2
    w.put(2, 16), w.put(0xFFFF - 2, 16);
    w.put(0, 8), w.put(77, 8);
    EXPECT_EQ(decodeOk(simplePng(1, 1, 8, 0, zlibWrap(w.bytes, true))), (Bytes{77, 77, 77, 255}));
}

TEST(PngEdgeCases, ShortStreamReadsAsZerosAndSurplusIsIgnored)
{
    // 2 x 2 grey: only the first scanline is in the stream.
    EXPECT_EQ(decodeOk(simplePng(2, 2, 8, 0, zlibCompress({0, 50, 60}))),
              (Bytes{50, 50, 50, 255, 60, 60, 60, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
    // Three bytes more than the image needs, inside the output area.
    EXPECT_EQ(decodeOk(simplePng(1, 1, 8, 0, zlibCompress({0, 9, 1, 2, 3}))), (Bytes{9, 9, 9, 255}));
}

TEST(PngEdgeCases, SixteenBitSamplesGiveTheirHighByteAndKeysMatchAll16Bits)
{
    // Grey 16, three pixels: 0x12AB (the key), 0x12AC, 0xFF00.
    const Bytes raw = {0, 0x12, 0xAB, 0x12, 0xAC, 0xFF, 0x00};
    const Bytes out = decodeOk(simplePng(3, 1, 16, 0, zlibCompress(raw), {{"tRNS", {0x12, 0xAB}}}));
    EXPECT_EQ(out, (Bytes{0x12, 0x12, 0x12, 0, 0x12, 0x12, 0x12, 255, 0xFF, 0xFF, 0xFF, 255}));
    // RGBA 16: every channel's high byte.
    const Bytes rgba = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(decodeOk(simplePng(1, 1, 16, 6, zlibCompress(rgba))), (Bytes{1, 3, 5, 7}));
}

TEST(PngEdgeCases, RgbKeyNeedsAllThreeChannels)
{
    const Bytes raw = {0, 1, 2, 3, 1, 2, 4};
    const Bytes out = decodeOk(simplePng(2, 1, 8, 2, zlibCompress(raw), {{"tRNS", {0, 1, 0, 2, 0, 3}}}));
    EXPECT_EQ(out, (Bytes{1, 2, 3, 0, 1, 2, 4, 255}));
}

TEST(PngEdgeCases, EachDecodeStartsFromAFreshState)
{
    // A palette and a key from one decode never reach the next.
    const Bytes keyed = simplePng(1, 1, 8, 0, zlibCompress({0, 7}), {{"tRNS", {0, 7}}});
    EXPECT_EQ(decodeOk(keyed)[3], 0);
    EXPECT_EQ(decodeOk(simplePng(1, 1, 8, 0, zlibCompress({0, 7})))[3], 255);
    decodeOk(simplePng(1, 1, 8, 3, zlibCompress({0, 0}), {{"PLTE", {1, 2, 3}}}));
    Bytes out;
    EXPECT_EQ(decodePngImage(simplePng(1, 1, 8, 3, zlibCompress({0, 0})), out), 46);
    EXPECT_EQ(pngDecoderState().paletteCount, 0u);
}

TEST(PngEdgeCases, LoadFileBytesReadsTheWholeFileOrNothing)
{
    const Bytes file = librarySample();
    const std::string path = std::string(DOR_BINARY_DIR) + "/png_edge_case.png";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    Bytes bytes = {1, 2, 3};
    loadFileBytes(path.c_str(), bytes);
    EXPECT_EQ(bytes, file);
    std::remove(path.c_str());

    loadFileBytes((path + ".missing").c_str(), bytes);
    EXPECT_TRUE(bytes.empty());
    Bytes out;
    EXPECT_EQ(decodePngImage(bytes, out), 48);
}
