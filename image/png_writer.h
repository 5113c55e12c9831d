// The project's PNG writer, for the tools, the tests, the benchmarks and the
// viewer's recorded frames: zlib streams (RFC 1950) of stored or
// fixed-Huffman DEFLATE blocks (RFC 1951), CRC-32 chunks, images of every
// colour type and bit depth, Adam7, adaptive scanline filters. Tests that
// need odd or broken files build them from the pieces (chunks, header,
// scanlines, zlib streams).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// CRC-32 of the PNG chunks (ISO 3309 polynomial, reflected), continuing `crc`.
uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// Adler-32 of the zlib trailer, continuing `adler` (1 for a new stream).
uint32_t adler32(const uint8_t* data, size_t size, uint32_t adler = 1);

// DEFLATE bit streams: data elements least-significant bit first, Huffman
// codes most-significant bit first.
struct DeflateBitWriter {
    std::vector<uint8_t> bytes;
    size_t bits = 0;  // bits written so far
    void put(uint32_t value, int count);
    void code(uint32_t code, int length);
    // A literal or length symbol of the fixed code.
    void fixedSymbol(int symbol);
    // Pads with zero bits to a byte boundary.
    void align();
};

// A zlib stream holding `data`: one fixed-Huffman block with LZ77 matches
// when `compress` is set, else stored blocks of at most 65535 bytes.
std::vector<uint8_t> zlibCompress(const uint8_t* data, size_t size, bool compress = true);

// The 8-byte PNG signature.
extern const uint8_t pngSignature[8];

// Appends one chunk: length, type, body and the CRC-32 of type and body.
void appendPngChunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& body);

// The 13 bytes of an IHDR chunk.
std::vector<uint8_t> ihdrBody(uint32_t width, uint32_t height, int bitDepth, int colorType, int interlace = 0,
                              int compression = 0, int filter = 0);

// An image of any PNG colour type and bit depth.
struct PngImage {
    uint32_t width = 1, height = 1;
    int colorType = 6;                  // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    int bitDepth = 8;                   // 1, 2, 4, 8 or 16, as the colour type allows
    bool interlace = false;             // Adam7
    std::vector<uint16_t> samples;      // width x height x channels, rows from the top
    std::vector<uint8_t> palette;       // PLTE body, RGB triples (colour type 3)
    std::vector<uint8_t> transparency;  // tRNS body; empty: none
    int filters = 0x1F;                 // bit k allows filter type k (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth)
};

// Samples per pixel of a colour type.
int pngChannels(int colorType);

// The bytes the image's zlib stream holds: the scanlines packed to the bit
// depth (16 bits big-endian, smaller depths from the most significant bit)
// and filtered, the seven Adam7 passes in turn when interlaced. Each line
// takes, of the allowed filters, the one whose output has the smallest sum
// of absolute signed bytes.
std::vector<uint8_t> filteredScanlines(const PngImage& image);

// A PNG file: signature, IHDR, PLTE and tRNS when present, `zlibStream` cut
// into IDAT chunks of at most `idatSize` bytes, IEND.
std::vector<uint8_t> encodePng(const PngImage& image, const std::vector<uint8_t>& zlibStream,
                               size_t idatSize = size_t(1) << 20);

// A PNG file of width x height pixels of `channels` (3: RGB, 4: RGBA) 8-bit
// samples, rows from the top, `pixels` holding width x height x channels bytes.
std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, int channels,
                               const std::vector<uint8_t>& pixels, bool compress = true);

// encodePng written to `path` (temporary file, renamed on success).
bool savePng(const std::string& path, uint32_t width, uint32_t height, int channels,
             const std::vector<uint8_t>& pixels, std::string& error);
