// Table-driven Huffman decoding against the reference bit-by-bit tree walk:
// the same bytes and the same error numbers on intact, truncated and
// corrupted streams; and the decompressor against zlib on intact ones.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include <zlib.h>

#include "image/inflate.h"
#include "png_test_files.h"

namespace {

struct Result
{
    int error;
    Bytes output;
};

Result inflateWith(bool treeWalk, const Bytes& zlib, size_t area)
{
    huffmanTreeWalk = treeWalk;
    Bytes input = zlib;
    input.resize(zlib.size() + INFLATE_INPUT_PADDING, 0);
    Bytes out;
    size_t produced = 0;
    Result r;
    r.error = inflateZlib(input.data(), zlib.size(), area, out, produced);
    huffmanTreeWalk = false;
    r.output.assign(out.begin(), out.begin() + produced);
    return r;
}

Bytes compressWith(const Bytes& raw, int level, int strategy)
{
    z_stream s = {};
    deflateInit2(&s, level, Z_DEFLATED, 15, 8, strategy);
    Bytes out(deflateBound(&s, uLong(raw.size())));
    s.next_in = const_cast<Bytef*>(raw.data());
    s.avail_in = uInt(raw.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

// Test data: texture-like bytes, bytes of a skewed distribution (long codes,
// up to 15 bits), and noise.
std::vector<Bytes> sampleData()
{
    std::vector<Bytes> data;
    uint32_t rng = 7;
    auto next = [&rng] { return rng = rng * 1664525u + 1013904223u; };
    Bytes texture(20000), skewed(30000), noise(3000);
    for (size_t i = 0; i < texture.size(); ++i)
        texture[i] = uint8_t((i % 97) + (i / 300) + (next() >> 29));
    for (size_t i = 0; i < skewed.size(); ++i) {
        unsigned v = 0;
        while (v < 40 && (next() >> 31))
            ++v; // P(v) = 2^-(v+1)
        skewed[i] = uint8_t(v * 5);
    }
    for (auto& b : noise)
        b = uint8_t(next() >> 24);
    data.push_back(texture);
    data.push_back(skewed);
    data.push_back(noise);
    data.push_back(Bytes(5000, 42));
    return data;
}

} // namespace

TEST(HuffmanEquivalence, TableAndTreeAgreeWithZlibOnIntactStreams)
{
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE};
    for (const Bytes& raw : sampleData())
        for (int strategy : strategies)
            for (int level : {0, 1, 9}) {
                const Bytes z = compressWith(raw, level, strategy);
                for (bool tree : {false, true}) {
                    const Result r = inflateWith(tree, z, raw.size());
                    EXPECT_EQ(r.error, 0) << "strategy " << strategy << " level " << level;
                    EXPECT_TRUE(r.output == raw) << "strategy " << strategy << " level " << level;
                }
            }
}

TEST(HuffmanEquivalence, SameErrorsAndBytesOnTruncatedAndCorruptedStreams)
{
    std::set<int> errors;
    uint32_t rng = 99;
    auto next = [&rng] { return rng = rng * 1664525u + 1013904223u; };
    int cases = 0;
    for (const Bytes& raw : sampleData())
        for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY}) {
            const Bytes z = compressWith(raw, 6, strategy);
            std::vector<Bytes> variants;
            for (size_t n = 0; n < z.size(); n += 1 + z.size() / 150)
                variants.push_back(Bytes(z.begin(), z.begin() + n));
            for (int k = 0; k < 300; ++k) {
                Bytes c = z;
                const size_t flips = 1 + next() % 3;
                for (size_t f = 0; f < flips; ++f) {
                    // Mostly near the start, where the block headers are.
                    const size_t at = 2 + (k % 2 ? next() % 64 : next()) % (c.size() - 2);
                    c[at] ^= uint8_t(1u << (next() >> 29));
                }
                variants.push_back(c);
            }
            for (const Bytes& v : variants) {
                // Areas smaller and larger than the data.
                const size_t area = (cases % 3 == 0) ? raw.size() / 2 : raw.size() + 1000;
                const Result table = inflateWith(false, v, area);
                const Result tree = inflateWith(true, v, area);
                ASSERT_EQ(table.error, tree.error) << "case " << cases;
                ASSERT_TRUE(table.output == tree.output) << "case " << cases;
                errors.insert(table.error);
                ++cases;
            }
        }
    // The variants reach the symbol decoding's own errors and several others.
    EXPECT_TRUE(errors.count(10));
    EXPECT_TRUE(errors.count(11));
    EXPECT_GE(errors.size(), 8u);
}
