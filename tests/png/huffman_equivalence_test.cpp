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
                // Corrupted and cut short: incomplete codes meet the end of the data.
                variants.push_back(Bytes(c.begin(), c.begin() + 2 + next() % (c.size() - 2)));
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

// A code without any symbol, read with no data left: the tree walk runs out of
// data before it meets the empty root, so the error is 10, not 11.
TEST(HuffmanEquivalence, EmptyCodeAtTheEndOfTheDataIsAnEndOfData)
{
    BitWriter w;
    w.put(0, 1), w.put(1, 2); // fixed, not final: four 9-bit literals bring
    for (int i = 0; i < 4; ++i) // the end of the stream to a byte boundary
        w.fixedSymbol(200);
    w.fixedSymbol(256);
    w.put(1, 1), w.put(2, 2);               // dynamic, final
    w.put(1, 5), w.put(0, 5), w.put(14, 4); // HLIT 258, HDIST 1, HCLEN 18
    // Code-length code: 0 -> 00, 1 -> 01, 18 -> 10 (order 16, 17, 18, 0, 8, ... 1).
    const unsigned clLengths[18] = {0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    for (unsigned l : clLengths)
        w.put(l, 3);
    w.code(2, 2), w.put(127, 7); // 138 zeros
    w.code(2, 2), w.put(106, 7); // 117 zeros
    w.code(0, 2);                // literal 255: 0
    w.code(1, 2), w.code(1, 2);  // 256 and 257: length 1
    w.code(0, 2);                // the only distance length: 0
    w.code(1, 1);                // 257: length 3, then a distance from no code
    ASSERT_EQ(w.bits % 8, 0u);
    const Bytes z = zlibWrap(w.bytes);
    const Result table = inflateWith(false, z, 100);
    const Result tree = inflateWith(true, z, 100);
    EXPECT_EQ(tree.error, 10);
    EXPECT_EQ(table.error, 10);
    EXPECT_EQ(table.output, tree.output);
    EXPECT_EQ(table.output, Bytes(4, 200));
}
