// The PNG writer of the model tools: zlib streams (RFC 1950) of stored or
// fixed-Huffman DEFLATE blocks (RFC 1951), CRC-32 chunks, 8-bit RGB or RGBA
// images with adaptive scanline filters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// CRC-32 of the PNG chunks (ISO 3309 polynomial, reflected), continuing `crc`.
uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0);

// Adler-32 of the zlib trailer, continuing `adler` (1 for a new stream).
uint32_t adler32(const uint8_t* data, size_t size, uint32_t adler = 1);

// A zlib stream holding `data`: one fixed-Huffman block with LZ77 matches
// when `compress` is set, else stored blocks of at most 65535 bytes.
std::vector<uint8_t> zlibCompress(const uint8_t* data, size_t size, bool compress = true);

// A PNG file of width x height pixels of `channels` (3: RGB, 4: RGBA) 8-bit
// samples, rows from the top, `pixels` holding width x height x channels bytes.
std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, int channels,
                               const std::vector<uint8_t>& pixels, bool compress = true);

// encodePng written to `path` (temporary file, renamed on success).
bool savePng(const std::string& path, uint32_t width, uint32_t height, int channels,
             const std::vector<uint8_t>& pixels, std::string& error);
