// zlib (RFC 1950) and DEFLATE (RFC 1951) decompression into an output area of
// bounded size, with the error numbers of the PNG decoder (see png_decoder.h).
#pragma once

#include <cstddef>
#include <vector>

// DEFLATE's length symbols 257 .. 285 give lengths LENGTH_BASE[i] (3 .. 258)
// plus LENGTH_EXTRA[i] extra bits; distance symbols 0 .. 29 give distances
// DISTANCE_BASE[i] (1 .. 32768) plus DISTANCE_EXTRA[i] extra bits. The PNG
// writer of the texture tool encodes with the same tables.
extern const unsigned LENGTH_BASE[29];
extern const unsigned LENGTH_EXTRA[29];
extern const unsigned DISTANCE_BASE[30];
extern const unsigned DISTANCE_EXTRA[30];

// Decode Huffman symbols by walking the code tree one bit at a time (the
// reference decoding) instead of by table lookup. Both give the same output
// and the same error numbers on every input; the table is faster.
extern bool huffmanTreeWalk;

// Bytes that must follow the zlib data in memory, all zero: the bit reader
// peeks a few bytes past the end.
constexpr size_t INFLATE_INPUT_PADDING = 32;

// Decompresses the zlib stream zlib[0 .. size) into `out`, writing at most
// `area` bytes; on return out holds at least the `produced` bytes written,
// followed by zeros. Returns 0 or an error number. Checksums are not checked.
int inflateZlib(const unsigned char* zlib, size_t size, size_t area,
                std::vector<unsigned char>& out, size_t& produced);
