// PNG decoder: turns the bytes of a PNG file into 8-bit RGBA pixels for the
// material textures. Self-contained (its own zlib/DEFLATE in inflate.cpp).
#pragma once

#include <vector>

// Error numbers of decodePngImage (0 = success):
//   10 the data ran out while a Huffman symbol was being read
//   11 a bit sequence that is no code of the Huffman tree
//   13 a repeat-previous run (16) goes past HLIT + HDIST code lengths
//   14 a short zero run (17) goes past HLIT + HDIST code lengths
//   15 a long zero run (18) goes past HLIT + HDIST code lengths
//   16 a code-length symbol above 18 (cannot occur with a 19-code tree; kept as a guard)
//   17 a literal with the output area full
//   18 a distance symbol above 29
//   19 a back-reference copy with the output area full
//   20 block type 3
//   21 stored block: LEN + NLEN != 65535
//   22 stored block: output area full
//   23 stored block runs past the end of the data
//   24 zlib header: (CMF * 256 + FLG) not a multiple of 31
//   25 zlib header: method not 8, or top bit of CMF set
//   26 zlib header: preset dictionary requested
//   27 input of 28 bytes or fewer
//   28 wrong PNG signature
//   29 the first chunk is not IHDR
//   30 a chunk header past the end of the input (no IEND)
//   31 colour type not 0, 2, 3, 4 or 6
//   32 compression method not 0
//   33 filter method not 0
//   34 interlace method above 1
//   35 a chunk's data reaching past the end of the input
//   36 scanline filter type above 4
//   37 bit depth not allowed for the colour type
//   38 PLTE with more than 256 entries
//   39 tRNS of a palette image longer than the palette
//   40 tRNS of a grey image not 2 bytes long
//   41 tRNS of an RGB image not 6 bytes long
//   42 tRNS in a grey-with-alpha or RGBA image
//   43 bKGD of a palette image not 1 byte long
//   44 bKGD of a grey or grey-with-alpha image not 2 bytes long
//   45 bKGD of an RGB or RGBA image not 6 bytes long
//   46 an 8-bit palette index not below the palette's entry count
//   47 a 1-, 2- or 4-bit palette index not below the palette's entry count
//   48 empty input
//   49 a dynamic block header in the last two bytes of the data
//   50 extra bits of a code-length run past the end of the data
//   51 extra bits of a length or distance past the end of the data
//   52 the data ended without a final block, or a stored block header does not fit
//   53 zlib data of 0 or 1 byte
//   54 Huffman code lengths that over-subscribe the code space
//   55 a repeat-previous code length (16) with no previous length
//   56 a back-reference distance reaching before the start of the output
//   57 width x height above 2^28 pixels (the largest texture, 16384 x 16384)
//   58 width or height 0
//
// 16-bit samples are reduced to their high-order (first, most significant)
// byte, so a 16-bit image looks like its 8-bit counterpart. The tRNS colour
// key of a 16-bit image is compared with the whole 16-bit sample.

// The decoder's state: header fields, palette and colour key of the last
// decode. One static instance, overwritten by every decode.
class PngDecoder
{
public:
    int error = 0;
    unsigned width = 0, height = 0;
    unsigned bitDepth = 0, colorType = 0, compressionMethod = 0, filterMethod = 0,
             interlaceMethod = 0;
    unsigned channels = 0;     // 1 for types 0 and 3, 2 for 4, 3 for 2, 4 for 6
    unsigned bitsPerPixel = 0; // bitDepth * channels
    unsigned char palette[256 * 4] = {}; // R, G, B, A per entry
    unsigned paletteCount = 0;
    bool colorKeySet = false;
    unsigned keyR = 0, keyG = 0, keyB = 0; // grey in keyR; 16-bit values for depth 16
    bool backgroundSet = false;            // a well-formed bKGD was seen; not used
};

// Reads the whole file into bytes; a file that cannot be opened, or is no
// regular file (a directory, a device), leaves it empty.
void loadFileBytes(const char* fileName, std::vector<unsigned char>& bytes);

// Decodes a PNG file held in `in` into `out`: width * height * 4 bytes, rows
// from the top, pixels R, G, B, A. Returns pngError(). On error `out` holds
// nothing usable.
int decodePngImage(const std::vector<unsigned char>& in, std::vector<unsigned char>& out);

int pngError();
unsigned pngWidth();
unsigned pngHeight();
// The whole state of the last decode (header fields, palette, key).
const PngDecoder& pngDecoderState();
