// The tools' PNG writer: its checksums against known values, its zlib
// streams and images through the project's decoder and through libpng
// (which, unlike the project's decoder, verifies every CRC and the
// Adler-32), and the species textures.
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <png.h>

#include "image/png_decoder.h"
#include "image/png_writer.h"
#include "tools/grow/random.h"
#include "tools/grow/textures.h"

namespace {

std::vector<uint8_t> bytesOf(const char* text) { return std::vector<uint8_t>(text, text + std::strlen(text)); }

// RGBA pixels through the project's decoder; empty on a decoding error.
std::vector<uint8_t> decodeWithProject(const std::vector<uint8_t>& png)
{
    std::vector<unsigned char> in(png.begin(), png.end()), out;
    if (decodePngImage(in, out) != 0)
        return {};
    return std::vector<uint8_t>(out.begin(), out.end());
}

// RGBA pixels through libpng (CRC and Adler-32 checked); empty on error.
std::vector<uint8_t> decodeWithLibpng(const std::vector<uint8_t>& png)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
        return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> out(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr))
        return {};
    return out;
}

// An image with runs, gradients and noise, to exercise every filter and
// both literals and matches.
std::vector<uint8_t> testPixels(uint32_t w, uint32_t h, int channels, uint64_t seed)
{
    CRandom random(seed);
    std::vector<uint8_t> p(size_t(w) * h * channels);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                uint8_t v = y % 7 == 0 ? uint8_t(x * 3 + c) : x < w / 3 ? 200 : uint8_t(random.next());
                p[(size_t(y) * w + x) * channels + c] = v;
            }
    return p;
}

std::vector<uint8_t> asRgba(const std::vector<uint8_t>& p, int channels)
{
    if (channels == 4)
        return p;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < p.size(); i += 3)
        out.insert(out.end(), {p[i], p[i + 1], p[i + 2], 255});
    return out;
}

}  // namespace

TEST(PngWriter, ChecksumsMatchKnownValues)
{
    std::vector<uint8_t> digits = bytesOf("123456789");
    EXPECT_EQ(crc32(digits.data(), digits.size()), 0xCBF43926u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);
    // Continuing a CRC over a split input gives the whole input's CRC.
    EXPECT_EQ(crc32(digits.data() + 4, 5, crc32(digits.data(), 4)), 0xCBF43926u);
    std::vector<uint8_t> word = bytesOf("Wikipedia");
    EXPECT_EQ(adler32(word.data(), word.size()), 0x11E60398u);
    EXPECT_EQ(adler32(nullptr, 0), 1u);
    // A long run exercises the modulo of both sums.
    std::vector<uint8_t> ones(100000, 0xFF);
    uint32_t a = 1, b = 0;
    for (uint8_t v : ones) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(adler32(ones.data(), ones.size()), (b << 16) | a);
}

TEST(PngWriter, ZlibHeaderAndStoredBlocks)
{
    std::vector<uint8_t> data = testPixels(300, 300, 1, 3);  // 90 000 bytes: two stored blocks
    std::vector<uint8_t> z = zlibCompress(data.data(), data.size(), false);
    ASSERT_GE(z.size(), 2u);
    EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);
    EXPECT_EQ(z[0] & 0x0F, 8);
    EXPECT_EQ(z.size(), 2 + 2 * 5 + data.size() + 4);
    EXPECT_EQ(z[2], 0);       // first block not final
    EXPECT_EQ(z[3 + 4 + 65535], 1);  // the second block is final
    // An empty input is one empty final stored block.
    std::vector<uint8_t> empty = zlibCompress(nullptr, 0, false);
    EXPECT_EQ(empty, (std::vector<uint8_t>{0x78, 0x01, 1, 0, 0, 0xFF, 0xFF, 0, 0, 0, 1}));
}

// Sizes and modes: the project's decoder and libpng both read back the
// exact pixels.
TEST(PngWriter, ImagesDecodeToTheirPixels)
{
    struct Case {
        uint32_t w, h;
        int channels;
        bool compress;
    };
    for (Case c : {Case{1, 1, 4, true}, Case{1, 1, 3, false}, Case{17, 5, 3, true}, Case{64, 64, 4, true},
                   Case{200, 150, 4, false}, Case{300, 70, 3, true}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " channels " + std::to_string(c.channels) +
                     (c.compress ? " fixed" : " stored"));
        std::vector<uint8_t> pixels = testPixels(c.w, c.h, c.channels, c.w * 31 + c.h);
        std::vector<uint8_t> png = encodePng(c.w, c.h, c.channels, pixels, c.compress);
        std::vector<uint8_t> rgba = asRgba(pixels, c.channels);
        EXPECT_EQ(decodeWithProject(png), rgba);
        EXPECT_EQ(pngError(), 0);
        EXPECT_EQ(pngWidth(), c.w);
        EXPECT_EQ(pngHeight(), c.h);
        EXPECT_EQ(decodeWithLibpng(png), rgba);
    }
}

TEST(PngWriter, CompressionShrinksRepetitiveImages)
{
    std::vector<uint8_t> flat(128 * 128 * 4, 90);
    std::vector<uint8_t> png = encodePng(128, 128, 4, flat, true);
    EXPECT_LT(png.size(), 1000u);
    EXPECT_EQ(decodeWithProject(png), flat);
}

// Every species' textures: decodable by the project's decoder, bark opaque
// and tiling around the branch, leaves cut out by alpha with the blade's
// colour inside.
TEST(Textures, EverySpeciesTextureDecodesAndHasItsShape)
{
    for (const CSpecies& species : speciesPresets()) {
        SCOPED_TRACE(species.name);
        TextureImage bark = makeBarkTexture(species, 1);
        std::vector<uint8_t> barkRgba = decodeWithProject(encodePng(bark.width, bark.height, bark.channels, bark.pixels));
        ASSERT_EQ(barkRgba.size(), size_t(bark.width) * bark.height * 4);
        // The first and last columns are neighbours around the branch.
        long seam = 0, inner = 0;
        for (uint32_t y = 0; y < bark.height; ++y) {
            const uint8_t* row = &barkRgba[size_t(y) * bark.width * 4];
            EXPECT_EQ(row[3], 255);
            seam += std::abs(int(row[0]) - int(row[(bark.width - 1) * 4]));
            inner += std::abs(int(row[4 * 60]) - int(row[4 * 61]));
        }
        EXPECT_LT(seam, 3 * inner + 2 * long(bark.height));

        TextureImage leaf = makeLeafTexture(species, 1);
        std::vector<uint8_t> leafRgba = decodeWithProject(encodePng(leaf.width, leaf.height, leaf.channels, leaf.pixels));
        ASSERT_EQ(leafRgba.size(), size_t(leaf.width) * leaf.height * 4);
        auto at = [&](uint32_t x, uint32_t y) { return &leafRgba[(size_t(y) * leaf.width + x) * 4]; };
        EXPECT_EQ(at(0, 0)[3], 0);                 // corners are cut away
        EXPECT_EQ(at(leaf.width - 1, 0)[3], 0);
        size_t opaque = 0, clear = 0;
        for (size_t i = 3; i < leafRgba.size(); i += 4) {
            opaque += leafRgba[i] == 255;
            clear += leafRgba[i] == 0;
        }
        EXPECT_GT(opaque, leafRgba.size() / 4 / 20);
        EXPECT_GT(clear, leafRgba.size() / 4 / 5);
        if (species.leafShape != LeafShape::Needles) {
            // The blade's middle, beside the midrib, is opaque.
            const uint8_t* mid = at(leaf.width / 2 + 6, leaf.height / 2);
            EXPECT_EQ(mid[3], 255);
        }
    }
    // The cherry plum's leaves are dark purple (red and blue over green),
    // the others green.
    for (const CSpecies& species : speciesPresets()) {
        TextureImage leaf = makeLeafTexture(species, 1);
        long r = 0, g = 0, b = 0;
        for (size_t i = 0; i < leaf.pixels.size(); i += 4)
            if (leaf.pixels[i + 3] == 255) {
                r += leaf.pixels[i];
                g += leaf.pixels[i + 1];
                b += leaf.pixels[i + 2];
            }
        if (species.name == "prunus_cerasifera_nigra") {
            EXPECT_GT(r, 2 * g);
            EXPECT_GT(b, g);
            EXPECT_LT(r + g + b, 0.5 * 3 * 255 * double(leaf.pixels.size() / 4));
        } else {
            EXPECT_GT(g, r) << species.name;
            EXPECT_GT(g, b) << species.name;
        }
    }
}
