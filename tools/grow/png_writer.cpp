// PNG writer (see png_writer.h), written from RFC 1950, RFC 1951 and the PNG
// standard (ISO/IEC 15948).
#include "tools/grow/png_writer.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "image/inflate.h"
#include "tools/grow/tre_file.h"

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

namespace {

// DEFLATE's bit order: data elements least-significant bit first, Huffman
// codes most-significant bit first.
class CBitWriter {
public:
    explicit CBitWriter(std::vector<uint8_t>& o) : out(o) {}

    void bits(uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i) {
            if (used == 0)
                out.push_back(0);
            out.back() |= uint8_t(((value >> i) & 1) << used);
            used = (used + 1) & 7;
        }
    }
    void code(uint32_t code, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            bits((code >> i) & 1, 1);
    }
    void alignToByte() { used = 0; }

private:
    std::vector<uint8_t>& out;
    int used = 0;  // bits used in the last byte (0: start a new byte)
};

// Fixed literal/length code of RFC 1951, 3.2.6.
void fixedSymbol(CBitWriter& w, int symbol)
{
    if (symbol < 144)
        w.code(0x30 + symbol, 8);
    else if (symbol < 256)
        w.code(0x190 + (symbol - 144), 9);
    else if (symbol < 280)
        w.code(symbol - 256, 7);
    else
        w.code(0xC0 + (symbol - 280), 8);
}

void writeMatch(CBitWriter& w, int length, int distance)
{
    int l = 28;
    while (int(LENGTH_BASE[l]) > length)
        --l;
    fixedSymbol(w, 257 + l);
    w.bits(uint32_t(length - int(LENGTH_BASE[l])), LENGTH_EXTRA[l]);
    int d = 29;
    while (int(DISTANCE_BASE[d]) > distance)
        --d;
    w.code(uint32_t(d), 5);
    w.bits(uint32_t(distance - int(DISTANCE_BASE[d])), DISTANCE_EXTRA[d]);
}

// One final fixed-Huffman block; greedy LZ77 over a 32 KiB window with hash
// chains of three-byte prefixes.
void deflateFixed(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    CBitWriter w(out);
    w.bits(1, 1);  // BFINAL
    w.bits(1, 2);  // BTYPE 01: fixed Huffman codes
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
            fixedSymbol(w, data[i]);
            insert(i);
            ++i;
        }
    }
    fixedSymbol(w, 256);  // end of block
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

void putChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& body)
{
    putBigEndian(out, uint32_t(body.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    putBigEndian(out, crc32(out.data() + start, out.size() - start));
}

int paeth(int a, int b, int c)
{
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
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

std::vector<uint8_t> encodePng(uint32_t width, uint32_t height, int channels,
                               const std::vector<uint8_t>& pixels, bool compress)
{
    const size_t stride = size_t(width) * size_t(channels);
    // Scanlines, each with the filter (None, Sub, Up, Average, Paeth) whose
    // output has the smallest sum of absolute signed bytes.
    std::vector<uint8_t> filtered;
    filtered.reserve((stride + 1) * height);
    std::vector<uint8_t> zero(stride, 0), candidate(stride);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels.data() + y * stride;
        const uint8_t* up = y > 0 ? row - stride : zero.data();
        int bestType = 0;
        long bestCost = -1;
        std::vector<uint8_t> best(stride);
        for (int type = 0; type < 5; ++type) {
            long cost = 0;
            for (size_t x = 0; x < stride; ++x) {
                int a = x >= size_t(channels) ? row[x - channels] : 0;
                int b = up[x];
                int c = x >= size_t(channels) ? up[x - channels] : 0;
                int predictor = type == 0 ? 0 : type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : paeth(a, b, c);
                candidate[x] = uint8_t(row[x] - predictor);
                cost += std::abs(int(int8_t(candidate[x])));
            }
            if (bestCost < 0 || cost < bestCost) {
                bestCost = cost;
                bestType = type;
                best = candidate;
            }
        }
        filtered.push_back(uint8_t(bestType));
        filtered.insert(filtered.end(), best.begin(), best.end());
    }

    std::vector<uint8_t> png = {137, 80, 78, 71, 13, 10, 26, 10};
    std::vector<uint8_t> header;
    putBigEndian(header, width);
    putBigEndian(header, height);
    header.push_back(8);                          // bit depth
    header.push_back(channels == 4 ? 6 : 2);      // colour type: RGBA or RGB
    header.push_back(0);                          // compression method
    header.push_back(0);                          // filter method
    header.push_back(0);                          // no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibCompress(filtered.data(), filtered.size(), compress));
    putChunk(png, "IEND", {});
    return png;
}

bool savePng(const std::string& path, uint32_t width, uint32_t height, int channels,
             const std::vector<uint8_t>& pixels, std::string& error)
{
    std::vector<uint8_t> png = encodePng(width, height, channels, pixels);
    return saveFileAtomically(path, std::string(png.begin(), png.end()), error);
}
