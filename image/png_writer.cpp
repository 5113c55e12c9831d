// PNG writer (see png_writer.h), written from RFC 1950, RFC 1951 and the PNG
// standard (ISO/IEC 15948).
#include "image/png_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdlib>

#include "image/inflate.h"
#include "image/regular_file.h"

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t adler32(const uint8_t* data, size_t size, uint32_t adler)
{
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void DeflateBitWriter::put(uint32_t value, int count)
{
    for (int i = 0; i < count; ++i, ++bits) {
        if (bits % 8 == 0)
            bytes.push_back(0);
        bytes.back() |= uint8_t(((value >> i) & 1) << (bits % 8));
    }
}

void DeflateBitWriter::code(uint32_t c, int length)
{
    for (int i = length - 1; i >= 0; --i)
        put((c >> i) & 1, 1);
}

// Fixed literal/length code of RFC 1951, 3.2.6.
void DeflateBitWriter::fixedSymbol(int symbol)
{
    if (symbol < 144)
        code(uint32_t(0x30 + symbol), 8);
    else if (symbol < 256)
        code(uint32_t(0x190 + (symbol - 144)), 9);
    else if (symbol < 280)
        code(uint32_t(symbol - 256), 7);
    else
        code(uint32_t(0xC0 + (symbol - 280)), 8);
}

void DeflateBitWriter::align() { bits = (bits + 7) / 8 * 8; }

namespace {

void writeMatch(DeflateBitWriter& w, int length, int distance)
{
    int l = 28;
    while (int(LENGTH_BASE[l]) > length)
        --l;
    w.fixedSymbol(257 + l);
    w.put(uint32_t(length - int(LENGTH_BASE[l])), LENGTH_EXTRA[l]);
    int d = 29;
    while (int(DISTANCE_BASE[d]) > distance)
        --d;
    w.code(uint32_t(d), 5);
    w.put(uint32_t(distance - int(DISTANCE_BASE[d])), DISTANCE_EXTRA[d]);
}

// One final fixed-Huffman block; greedy LZ77 over a 32 KiB window with hash
// chains of three-byte prefixes.
void deflateFixed(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    DeflateBitWriter w;
    w.put(1, 1);  // BFINAL
    w.put(1, 2);  // BTYPE 01: fixed Huffman codes
    const size_t window = 32768, maxChain = 48;
    const int hashBits = 15;
    std::vector<int64_t> head(size_t(1) << hashBits, -1), previous(window, -1);
    auto hashAt = [&](size_t i) {
        uint32_t h = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        return (h * 2654435761u) >> (32 - hashBits);
    };
    auto insert = [&](size_t i) {
        if (i + 2 < size) {
            uint32_t h = hashAt(i);
            previous[i % window] = head[h];
            head[h] = int64_t(i);
        }
    };
    size_t i = 0;
    while (i < size) {
        int bestLength = 0;
        size_t bestDistance = 0;
        if (i + 2 < size) {
            int64_t candidate = head[hashAt(i)];
            const size_t limit = std::min<size_t>(258, size - i);
            for (size_t chain = 0; candidate >= 0 && chain < maxChain; ++chain) {
                size_t c = size_t(candidate);
                if (i - c > window - 1)
                    break;
                size_t l = 0;
                while (l < limit && data[c + l] == data[i + l])
                    ++l;
                if (int(l) > bestLength) {
                    bestLength = int(l);
                    bestDistance = i - c;
                    if (l == limit)
                        break;
                }
                int64_t next = previous[c % window];
                if (next >= candidate)
                    break;  // the slot was reused by a newer position
                candidate = next;
            }
        }
        if (bestLength >= 3) {
            writeMatch(w, bestLength, int(bestDistance));
            for (int k = 0; k < bestLength; ++k)
                insert(i + size_t(k));
            i += size_t(bestLength);
        } else {
            w.fixedSymbol(data[i]);
            insert(i);
            ++i;
        }
    }
    w.fixedSymbol(256);  // end of block
    out.insert(out.end(), w.bytes.begin(), w.bytes.end());
}

// Stored blocks: byte-aligned LEN, NLEN (little-endian) and the bytes.
void deflateStored(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    size_t position = 0;
    do {
        size_t length = std::min<size_t>(65535, size - position);
        bool final = position + length == size;
        out.push_back(final ? 1 : 0);  // BFINAL, BTYPE 00, then padding to the byte
        out.push_back(uint8_t(length & 0xFF));
        out.push_back(uint8_t(length >> 8));
        out.push_back(uint8_t(~length & 0xFF));
        out.push_back(uint8_t((~length >> 8) & 0xFF));
        out.insert(out.end(), data + position, data + position + length);
        position += length;
    } while (position < size);
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

int paeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Appends `line` (packed samples, `pixelBytes` bytes per pixel rounded up)
// filtered against `up` (the pass's previous line, zeros for its first).
void appendFiltered(std::vector<uint8_t>& out, const std::vector<uint8_t>& line, const std::vector<uint8_t>& up,
                    size_t pixelBytes, int allowed)
{
    const size_t n = line.size();
    std::vector<uint8_t> candidate(n), best(n);
    int bestType = 0;
    long bestCost = -1;
    for (int type = 0; type < 5; ++type) {
        if (!(allowed & (1 << type)))
            continue;
        long cost = 0;
        for (size_t x = 0; x < n; ++x) {
            int a = x >= pixelBytes ? line[x - pixelBytes] : 0;
            int b = up[x];
            int c = x >= pixelBytes ? up[x - pixelBytes] : 0;
            int predictor = type == 0 ? 0 : type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : paeth(a, b, c);
            candidate[x] = uint8_t(line[x] - predictor);
            cost += std::abs(int(int8_t(candidate[x])));
        }
        if (bestCost < 0 || cost < bestCost) {
            bestCost = cost;
            bestType = type;
            best.swap(candidate);
            candidate.resize(n);
        }
    }
    out.push_back(uint8_t(bestType));
    out.insert(out.end(), best.begin(), best.end());
}

}  // namespace

std::vector<uint8_t> zlibCompress(const uint8_t* data, size_t size, bool compress)
{
    std::vector<uint8_t> out;
    // CMF: method 8 (deflate), 32 KiB window; FLG: no dictionary, check bits
    // making CMF x 256 + FLG a multiple of 31 (0x7801).
    out.push_back(0x78);
    out.push_back(0x01);
    if (compress)
        deflateFixed(data, size, out);
    else
        deflateStored(data, size, out);
    putBigEndian(out, adler32(data, size));
    return out;
}

const uint8_t pngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

void appendPngChunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& body)
{
    putBigEndian(png, uint32_t(body.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    putBigEndian(png, crc32(png.data() + start, png.size() - start));
}

std::vector<uint8_t> ihdrBody(uint32_t width, uint32_t height, int bitDepth, int colorType, int interlace,
                              int compression, int filter)
{
    std::vector<uint8_t> header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    header.push_back(uint8_t(bitDepth));
    header.push_back(uint8_t(colorType));
    header.push_back(uint8_t(compression));
    header.push_back(uint8_t(filter));
    header.push_back(uint8_t(interlace));
    return header;
}

int pngChannels(int colorType)
{
    return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
}

std::vector<uint8_t> filteredScanlines(const PngImage& image)
{
    const int channels = pngChannels(image.colorType), depth = image.bitDepth;
    assert(image.samples.size() == size_t(image.width) * image.height * size_t(channels));
    const size_t pixelBytes = std::max<size_t>(1, size_t(channels * depth) / 8);
    // Adam7 passes: first column and row, column and row steps; one pass
    // covering every pixel when not interlaced.
    static const int adam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const int whole[1][4] = {{0, 0, 1, 1}};
    const int (*passes)[4] = image.interlace ? adam7 : whole;
    const int passCount = image.interlace ? 7 : 1;
    std::vector<uint8_t> out;
    for (int p = 0; p < passCount; ++p) {
        const uint32_t x0 = uint32_t(passes[p][0]), y0 = uint32_t(passes[p][1]);
        const uint32_t dx = uint32_t(passes[p][2]), dy = uint32_t(passes[p][3]);
        const uint32_t w = image.width > x0 ? (image.width - x0 + dx - 1) / dx : 0;
        const uint32_t h = image.height > y0 ? (image.height - y0 + dy - 1) / dy : 0;
        if (w == 0 || h == 0)
            continue;  // an empty pass has no lines at all
        const size_t lineBytes = (size_t(w) * size_t(channels) * size_t(depth) + 7) / 8;
        std::vector<uint8_t> line(lineBytes), up(lineBytes, 0);
        for (uint32_t j = 0; j < h; ++j) {
            std::fill(line.begin(), line.end(), 0);
            const uint16_t* row = image.samples.data() + size_t(y0 + j * dy) * image.width * size_t(channels);
            for (uint32_t i = 0; i < w; ++i)
                for (int c = 0; c < channels; ++c) {
                    const unsigned v = row[size_t(x0 + i * dx) * size_t(channels) + size_t(c)];
                    const size_t k = size_t(i) * size_t(channels) + size_t(c);
                    if (depth == 16) {
                        line[2 * k] = uint8_t(v >> 8);
                        line[2 * k + 1] = uint8_t(v);
                    } else if (depth == 8) {
                        line[k] = uint8_t(v);
                    } else {
                        const size_t bit = k * size_t(depth);
                        line[bit / 8] |= uint8_t(v << (8 - depth - int(bit % 8)));
                    }
                }
            appendFiltered(out, line, up, pixelBytes, image.filters);
            up.swap(line);
        }
    }
    return out;
}

std::vector<uint8_t> encodePng(const PngImage& image, const std::vector<uint8_t>& zlibStream, size_t idatSize)
{
    assert(idatSize > 0);
    std::vector<uint8_t> png(pngSignature, pngSignature + 8);
    appendPngChunk(png, "IHDR", ihdrBody(image.width, image.height, image.bitDepth, image.colorType,
                                         image.interlace ? 1 : 0));
    if (!image.palette.empty())
        appendPngChunk(png, "PLTE", image.palette);
    if (!image.transparency.empty())
        appendPngChunk(png, "tRNS", image.transparency);
    size_t at = 0;
    do {
        const size_t n = std::min(idatSize, zlibStream.size() - at);
        appendPngChunk(png, "IDAT", std::vector<uint8_t>(zlibStream.begin() + long(at), zlibStream.begin() + long(at + n)));
        at += n;
    } while (at < zlibStream.size());
    appendPngChunk(png, "IEND", {});
    return png;
}

std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, int channels,
                               const std::vector<uint8_t>& pixels, bool compress)
{
    PngImage image;
    image.width = width;
    image.height = height;
    image.colorType = channels == 4 ? 6 : 2;
    image.samples.assign(pixels.begin(), pixels.end());
    const std::vector<uint8_t> scanlines = filteredScanlines(image);
    return encodePng(image, zlibCompress(scanlines.data(), scanlines.size(), compress));
}

bool savePng(const std::string& path, uint32_t width, uint32_t height, int channels,
             const std::vector<uint8_t>& pixels, std::string& error)
{
    std::vector<uint8_t> png = encodePng(width, height, channels, pixels);
    return saveFileAtomically(path, std::string(png.begin(), png.end()), error);
}
