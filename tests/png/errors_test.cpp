// Every error number of the decoder, each from a crafted input, including the
// refusals of unsafe input (over-subscribed codes, a repeat with nothing to
// repeat, a distance before the start, oversized images).
#include <gtest/gtest.h>

#include <set>

#include "image/png_decoder.h"
#include "png_test_files.h"

namespace {

// A 1 x 1 grey 8-bit image (output area 9 bytes) around raw zlib data.
Bytes grey1x1(const Bytes& zlib) { return simplePng(1, 1, 8, 0, zlib); }
Bytes validZlib() { return zlibCompress({0, 128}); }
Bytes validGrey1x1() { return grey1x1(validZlib()); }

Bytes withIhdr(const Bytes& ihdr, const std::vector<Chunk>& more = {})
{
    std::vector<Chunk> chunks = {{"IHDR", ihdr}};
    chunks.insert(chunks.end(), more.begin(), more.end());
    chunks.push_back({"IDAT", validZlib()});
    chunks.push_back({"IEND", {}});
    return pngFile(chunks);
}

// The start of a dynamic block with HLIT = 257, HDIST = 1 and the code-length
// code lengths `lengths` in transmission order (16, 17, 18, 0, 8, ...).
BitWriter dynamicHeader(const std::vector<unsigned>& lengths)
{
    BitWriter w;
    w.put(1, 1); // BFINAL
    w.put(2, 2); // dynamic
    w.put(0, 5);
    w.put(0, 5);
    w.put(unsigned(lengths.size()) - 4, 4);
    for (unsigned l : lengths)
        w.put(l, 3);
    return w;
}

// Code-length code with 2-bit codes: 0 -> 00, 16 -> 01, 17 -> 10, 18 -> 11.
const std::vector<unsigned> RUN_CODE = {2, 2, 2, 2};
void run16(BitWriter& w, unsigned extra) { w.code(1, 2), w.put(extra, 2); }
void run17(BitWriter& w, unsigned extra) { w.code(2, 2), w.put(extra, 3); }
void run18(BitWriter& w, unsigned extra) { w.code(3, 2), w.put(extra, 7); }

Bytes padded(BitWriter w) // a few bytes of zeros after the stream
{
    w.align();
    w.put(0, 32);
    return w.bytes;
}

BitWriter fixedStart(bool final = true)
{
    BitWriter w;
    w.put(final ? 1 : 0, 1);
    w.put(1, 2);
    return w;
}

struct ErrorCase
{
    int code;
    const char* what;
    Bytes file;
};

std::vector<ErrorCase> errorCases()
{
    std::vector<ErrorCase> c;
    const Bytes valid = validGrey1x1();

    // Container and header.
    c.push_back({48, "empty input", {}});
    c.push_back({27, "28 bytes", Bytes(valid.begin(), valid.begin() + 28)});
    Bytes badSignature = valid;
    badSignature[1] = 'Q';
    c.push_back({28, "signature", badSignature});
    Bytes notIhdr = valid;
    notIhdr[15] = 'X';
    c.push_back({29, "first chunk not IHDR", notIhdr});
    c.push_back({30, "no IEND", pngFile({{"IHDR", ihdrBody(1, 1, 8, 0)}, {"IDAT", validZlib()}})});
    c.push_back({31, "colour type 5", withIhdr(ihdrBody(1, 1, 8, 5))});
    c.push_back({32, "compression 1", withIhdr(ihdrBody(1, 1, 8, 0, 0, 1))});
    c.push_back({33, "filter method 1", withIhdr(ihdrBody(1, 1, 8, 0, 0, 0, 1))});
    c.push_back({34, "interlace 2", withIhdr(ihdrBody(1, 1, 8, 0, 2))});
    Bytes longChunk = pngFile({{"IHDR", ihdrBody(1, 1, 8, 0)}, {"IDAT", validZlib()}});
    longChunk.insert(longChunk.end(), {0, 0, 0, 100, 't', 'E', 'X', 't', 'a', 'b', 'c'});
    c.push_back({35, "chunk longer than the file", longChunk});
    c.push_back({36, "filter type 5", grey1x1(zlibCompress({5, 0}))});
    c.push_back({37, "grey depth 3", withIhdr(ihdrBody(1, 1, 3, 0))});
    c.push_back({37, "palette depth 16", withIhdr(ihdrBody(1, 1, 16, 3))});
    c.push_back({37, "RGB depth 4", withIhdr(ihdrBody(1, 1, 4, 2))});

    // Ancillary chunks and palettes.
    c.push_back({38, "257 palette entries", withIhdr(ihdrBody(1, 1, 8, 3), {{"PLTE", Bytes(771, 9)}})});
    c.push_back({39, "tRNS longer than the palette",
                 withIhdr(ihdrBody(1, 1, 8, 3), {{"PLTE", Bytes(6, 1)}, {"tRNS", Bytes(3, 0)}})});
    c.push_back({39, "tRNS before PLTE", withIhdr(ihdrBody(1, 1, 8, 3), {{"tRNS", Bytes(1, 0)}})});
    c.push_back({40, "grey tRNS of 3 bytes", withIhdr(ihdrBody(1, 1, 8, 0), {{"tRNS", Bytes(3, 0)}})});
    c.push_back({41, "RGB tRNS of 2 bytes", withIhdr(ihdrBody(1, 1, 8, 2), {{"tRNS", Bytes(2, 0)}})});
    c.push_back({42, "RGBA tRNS", withIhdr(ihdrBody(1, 1, 8, 6), {{"tRNS", Bytes(2, 0)}})});
    c.push_back({42, "grey-alpha tRNS", withIhdr(ihdrBody(1, 1, 8, 4), {{"tRNS", Bytes(2, 0)}})});
    c.push_back({43, "palette bKGD of 2 bytes", withIhdr(ihdrBody(1, 1, 8, 3), {{"bKGD", Bytes(2, 0)}})});
    c.push_back({44, "grey bKGD of 1 byte", withIhdr(ihdrBody(1, 1, 8, 0), {{"bKGD", Bytes(1, 0)}})});
    c.push_back({44, "grey-alpha bKGD of 6 bytes", withIhdr(ihdrBody(1, 1, 8, 4), {{"bKGD", Bytes(6, 0)}})});
    c.push_back({45, "RGB bKGD of 2 bytes", withIhdr(ihdrBody(1, 1, 8, 2), {{"bKGD", Bytes(2, 0)}})});
    c.push_back({45, "RGBA bKGD of 1 byte", withIhdr(ihdrBody(1, 1, 8, 6), {{"bKGD", Bytes(1, 0)}})});
    c.push_back({46, "8-bit index = entry count",
                 simplePng(1, 1, 8, 3, zlibCompress({0, 2}), {{"PLTE", Bytes(6, 1)}})});
    c.push_back({46, "palette image without PLTE", simplePng(1, 1, 8, 3, zlibCompress({0, 0}))});
    c.push_back({47, "2-bit index = entry count",
                 simplePng(1, 1, 2, 3, zlibCompress({0, 0x80}), {{"PLTE", Bytes(6, 1)}})});

    // zlib header.
    c.push_back({53, "IDAT of 1 byte", grey1x1({0x78})});
    c.push_back({53, "no IDAT", pngFile({{"IHDR", ihdrBody(1, 1, 8, 0)}, {"IEND", {}}})});
    c.push_back({24, "FCHECK", grey1x1({0x78, 0x00, 0x03, 0x00})});
    c.push_back({25, "method 9", grey1x1({0x79, 0x18, 0x03, 0x00})});
    c.push_back({25, "top bit of CMF", grey1x1({0x88, 0x1C, 0x03, 0x00})});
    c.push_back({26, "preset dictionary", grey1x1({0x78, 0x20, 0, 0, 0, 0, 0x03, 0x00})});

    // DEFLATE blocks.
    {
        BitWriter w;
        w.put(1, 1);
        w.put(3, 2);
        c.push_back({20, "block type 3", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w;
        w.put(1, 1);
        w.put(0, 2);
        w.align();
        w.put(5, 16);
        w.put(0, 16);
        c.push_back({21, "LEN + NLEN != 65535", grey1x1(zlibWrap(padded(w), true))});
    }
    {
        BitWriter w;
        w.put(1, 1);
        w.put(0, 2);
        w.align();
        w.put(20, 16);
        w.put(65535 - 20, 16);
        w.put(0, 32), w.put(0, 32), w.put(0, 32), w.put(0, 32), w.put(0, 32);
        c.push_back({22, "stored block beyond the area", grey1x1(zlibWrap(w.bytes, true))});
    }
    {
        BitWriter w;
        w.put(1, 1);
        w.put(0, 2);
        w.align();
        w.put(100, 16);
        w.put(65535 - 100, 16);
        w.put(0, 32), w.put(0, 32);
        c.push_back({23, "stored block past the data", simplePng(100, 100, 8, 0, zlibWrap(w.bytes, true))});
    }
    {
        BitWriter w = fixedStart(false);
        for (int i = 0; i < 6; ++i)
            w.fixedSymbol(144); // 9-bit literals bring the end to a byte boundary
        w.fixedSymbol(256);
        EXPECT_EQ(w.bits, 64u);
        c.push_back({52, "no final block", grey1x1(zlibWrap(w.bytes))});
    }
    {
        BitWriter w;
        w.put(1, 1);
        w.put(0, 2);
        w.align();
        w.put(0, 16);
        c.push_back({52, "stored header does not fit", grey1x1(zlibWrap(w.bytes))});
    }
    {
        BitWriter w;
        w.put(1, 1);
        w.put(2, 2);
        w.put(0, 13);
        c.push_back({49, "dynamic header in the last 2 bytes", grey1x1(zlibWrap(w.bytes))});
    }
    {
        BitWriter w = fixedStart();
        c.push_back({10, "data end inside a symbol", grey1x1(zlibWrap(w.bytes))});
    }
    {
        BitWriter w = dynamicHeader({0, 0, 0, 1}); // one code-length code: 0 -> "0"
        w.code(1, 1);
        c.push_back({11, "no such code", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = dynamicHeader(RUN_CODE);
        w.code(0, 2);
        run18(w, 127);
        run18(w, 105);
        run16(w, 3); // 255 + 6 > 258
        c.push_back({13, "repeat run past the lengths", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = dynamicHeader(RUN_CODE);
        run18(w, 127);
        run18(w, 108);
        run17(w, 0); // 257 + 3 > 258
        c.push_back({14, "short zero run past the lengths", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = dynamicHeader(RUN_CODE);
        run18(w, 127);
        run18(w, 127); // 138 + 138 > 258
        c.push_back({15, "long zero run past the lengths", grey1x1(zlibWrap(padded(w)))});
    }
    // 16 (a code-length symbol above 18) cannot be produced: the code-length
    // code has 19 symbols, 0 .. 18.
    {
        BitWriter w = fixedStart();
        for (int i = 0; i < 10; ++i)
            w.fixedSymbol('a');
        c.push_back({17, "literal beyond the area", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = fixedStart();
        w.fixedSymbol(0);
        w.fixedSymbol(257);
        w.code(30, 5);
        c.push_back({18, "distance symbol 30", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = fixedStart();
        w.fixedSymbol(0);
        w.fixedSymbol(285); // length 258
        w.code(0, 5);       // distance 1
        c.push_back({19, "copy beyond the area", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = dynamicHeader({2, 2, 2, 2, 0});
        for (int i = 0; i < 3; ++i)
            w.code(0, 2);
        run18(w, 0);
        w.bytes.resize(w.bytes.size() - 1); // the extra bits start at the end
        w.bits = 8 * w.bytes.size();
        EXPECT_EQ(w.bits, 40u);
        c.push_back({50, "code-length extra bits past the end", grey1x1(zlibWrap(w.bytes))});
    }
    {
        BitWriter w = fixedStart();
        for (int i = 0; i < 6; ++i)
            w.fixedSymbol(144);
        w.fixedSymbol(0);
        w.fixedSymbol(265); // one extra bit, none left
        EXPECT_EQ(w.bits, 72u);
        c.push_back({51, "length extra bits past the end", grey1x1(zlibWrap(w.bytes))});
    }

    // Refusals of unsafe input.
    {
        BitWriter w = dynamicHeader({1, 1, 1, 0});
        c.push_back({54, "over-subscribed code-length code", grey1x1(zlibWrap(padded(w)))});
    }
    {
        // Literal/length code: 0 .. 255 with 8 bits fill the code space; 256
        // with 8 bits more is one too many.
        BitWriter w = dynamicHeader({0, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2});
        // code-length code: 8 -> "0", 1 -> "10", 18 -> "11"
        for (int i = 0; i < 257; ++i)
            w.code(0, 1);
        w.code(2, 2); // distance code: one length of 1
        c.push_back({54, "over-subscribed literal code", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = dynamicHeader(RUN_CODE);
        run16(w, 0);
        c.push_back({55, "repeat as the first length", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = fixedStart();
        w.fixedSymbol(257);
        w.code(0, 5); // distance 1 with nothing written
        c.push_back({56, "distance before the start", grey1x1(zlibWrap(padded(w)))});
    }
    {
        BitWriter w = fixedStart();
        w.fixedSymbol(0);
        w.fixedSymbol(0);
        w.fixedSymbol(257);
        w.code(2, 5); // distance 3 with 2 bytes written
        c.push_back({56, "distance one before the start", grey1x1(zlibWrap(padded(w)))});
    }
    c.push_back({57, "65536 x 65536", withIhdr(ihdrBody(65536, 65536, 8, 0))});
    c.push_back({57, "16385 x 16384", withIhdr(ihdrBody(16385, 16384, 1, 0))});
    c.push_back({57, "4294967295 x 4294967295 RGBA 16", withIhdr(ihdrBody(0xFFFFFFFF, 0xFFFFFFFF, 16, 6))});
    c.push_back({57, "2^28 + 1 wide", withIhdr(ihdrBody((1u << 28) + 1, 1, 16, 6, 1))});
    c.push_back({58, "width 0", withIhdr(ihdrBody(0, 5, 8, 0))});
    c.push_back({58, "height 0", withIhdr(ihdrBody(5, 0, 8, 6))});
    return c;
}

} // namespace

TEST(PngErrors, EveryErrorNumberFromACraftedInput)
{
    std::set<int> seen;
    for (const ErrorCase& e : errorCases()) {
        Bytes out;
        EXPECT_EQ(decodePngImage(e.file, out), e.code) << e.what;
        EXPECT_EQ(pngError(), e.code) << e.what;
        seen.insert(e.code);
        // The same input decoded again gives the same error: no state leaks.
        EXPECT_EQ(decodePngImage(e.file, out), e.code) << e.what;
    }
    for (int code = 10; code <= 58; ++code) {
        if (code != 12 && code != 16) {
            EXPECT_TRUE(seen.count(code)) << "no test input for error " << code;
        }
    }
}

TEST(PngErrors, ErrorThenSuccessResetsTheError)
{
    Bytes out;
    EXPECT_EQ(decodePngImage(Bytes{}, out), 48);
    EXPECT_EQ(decodePngImage(validGrey1x1(), out), 0);
    EXPECT_EQ(pngError(), 0);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], 128);
    EXPECT_EQ(out[3], 255);
}

TEST(PngErrors, OutputUntouchedBeforeConversionAndSizedForPaletteErrors)
{
    Bytes out = {1, 2, 3};
    EXPECT_EQ(decodePngImage(grey1x1(zlibCompress({5, 0})), out), 36);
    EXPECT_EQ(out, (Bytes{1, 2, 3}));
    // A 2 x 1 palette image whose second index is bad: the first pixel is written.
    const Bytes file = simplePng(2, 1, 8, 3, zlibCompress({0, 0, 1}), {{"PLTE", {10, 20, 30}}});
    EXPECT_EQ(decodePngImage(file, out), 46);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[3], 255);
}
