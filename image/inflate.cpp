// zlib and DEFLATE decompression: block headers, stored blocks, fixed and
// dynamic Huffman blocks, and the LZ77 copy into a bounded output area.
#include "image/inflate.h"

#include <algorithm>
#include <cstring>

#include "image/huffman.h"

bool huffmanTreeWalk = false;

// The length and distance tables of DEFLATE (RFC 1951, 3.2.5).
// Lengths 3 .. 258 of the length symbols 257 .. 285 and their extra bits.
const unsigned LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const unsigned LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distances 1 .. 32768 of the distance symbols 0 .. 29 and their extra bits.
const unsigned DISTANCE_BASE[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const unsigned DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

namespace {

// Order in which a dynamic block lists the code lengths of the code-length code.
const unsigned CODE_LENGTH_ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Bytes past the end of the output that a copy of 8-byte pieces may touch.
constexpr size_t OUTPUT_SLACK = 8;

HuffmanCode literalCode, distanceCode, codeLengthCode, fixedLiteralCode, fixedDistanceCode;
bool fixedCodesBuilt = false;

struct Inflater
{
    BitStream bs;
    std::vector<unsigned char>* out = nullptr;
    unsigned char* o = nullptr; // out->data()
    size_t pos = 0;             // bytes written
    size_t capacity = 0;        // bytes usable in *out now (without the slack)
    size_t area = 0;            // bytes the output may reach

    // Makes room for n more bytes if the area allows; false when it is full.
    bool room(size_t n)
    {
        if (pos + n <= capacity)
            return true;
        if (capacity >= area || n > area - pos)
            return false;
        capacity = std::min(area, std::max(2 * capacity, pos + n));
        out->resize(capacity + OUTPUT_SLACK);
        o = out->data();
        return true;
    }

    // Copies `length` bytes from `distance` bytes back; room is made already.
    void copyMatch(size_t distance, size_t length)
    {
        unsigned char* dst = o + pos;
        const unsigned char* src = dst - distance;
        pos += length;
        if (distance >= 8) {
            // Pieces of 8 never overlap their own source; the last may run up
            // to 7 bytes past the copy, into output not written yet.
            for (size_t i = 0; i < length; i += 8)
                std::memcpy(dst + i, src + i, 8);
        } else if (distance == 1) {
            std::memset(dst, *src, length);
        } else {
            for (size_t i = 0; i < length; ++i)
                dst[i] = src[i];
        }
    }

    template <bool TreeWalk> int decodeSymbol(const HuffmanCode& code)
    {
        return TreeWalk ? code.decodeByTree(bs) : code.decodeByTable(bs);
    }

    int storedBlock();
    template <bool TreeWalk> int readDynamicCodes();
    template <bool TreeWalk> int huffmanBlock(const HuffmanCode& literals, const HuffmanCode& distances);
    template <bool TreeWalk> int run();
};

int Inflater::storedBlock()
{
    bs.bit = (bs.bit + 7) & ~size_t(7);
    size_t p = bs.bit / 8;
    const size_t size = bs.endBit / 8;
    if (p + 4 >= size)
        return 52;
    const unsigned len = bs.data[p] | (bs.data[p + 1] << 8);
    const unsigned nlen = bs.data[p + 2] | (bs.data[p + 3] << 8);
    if (len + nlen != 65535)
        return 21;
    p += 4;
    // Byte by byte, a full output area (22) is met before the end of the data
    // (23) when both happen at the same byte.
    if (!room(len) || p + len > size) {
        const size_t outLeft = area - pos;
        const size_t inLeft = size - p;
        return outLeft <= inLeft ? 22 : 23;
    }
    std::memcpy(o + pos, bs.data + p, len);
    pos += len;
    bs.bit = (p + len) * 8;
    return 0;
}

// Reads the code lengths of a dynamic block and builds its two codes into
// literalCode and distanceCode.
template <bool TreeWalk> int Inflater::readDynamicCodes()
{
    if (bs.bit / 8 + 2 >= bs.endBit / 8)
        return 49;
    const unsigned hlit = bs.read(5) + 257;
    const unsigned hdist = bs.read(5) + 1;
    const unsigned hclen = bs.read(4) + 4;
    unsigned codeLengthLengths[19] = {};
    for (unsigned i = 0; i < hclen; ++i)
        codeLengthLengths[CODE_LENGTH_ORDER[i]] = bs.read(3);
    if (const int e = codeLengthCode.build(codeLengthLengths, 19))
        return e;

    unsigned lengths[288 + 32] = {};
    const unsigned total = hlit + hdist;
    unsigned n = 0;
    while (n < total) {
        const int symbol = decodeSymbol<TreeWalk>(codeLengthCode);
        if (symbol < 0)
            return -symbol;
        if (symbol < 16) {
            lengths[n++] = unsigned(symbol);
            continue;
        }
        unsigned value = 0, count = 0;
        if (symbol == 16) {
            if (n == 0)
                return 55;
            if (bs.bit >= bs.endBit)
                return 50;
            value = lengths[n - 1];
            count = 3 + bs.read(2);
            if (n + count > total)
                return 13;
        } else if (symbol == 17) {
            if (bs.bit >= bs.endBit)
                return 50;
            count = 3 + bs.read(3);
            if (n + count > total)
                return 14;
        } else if (symbol == 18) {
            if (bs.bit >= bs.endBit)
                return 50;
            count = 11 + bs.read(7);
            if (n + count > total)
                return 15;
        } else {
            return 16;
        }
        for (unsigned i = 0; i < count; ++i)
            lengths[n++] = value;
    }

    unsigned literalLengths[288] = {};
    unsigned distanceLengths[32] = {};
    std::copy(lengths, lengths + hlit, literalLengths);
    std::copy(lengths + hlit, lengths + total, distanceLengths);
    if (const int e = literalCode.build(literalLengths, 288))
        return e;
    return distanceCode.build(distanceLengths, 32);
}

template <bool TreeWalk>
int Inflater::huffmanBlock(const HuffmanCode& literals, const HuffmanCode& distances)
{
    for (;;) {
        const int symbol = decodeSymbol<TreeWalk>(literals);
        if (symbol < 0)
            return -symbol;
        if (symbol < 256) {
            if (!room(1))
                return 17;
            o[pos++] = (unsigned char)symbol;
            continue;
        }
        if (symbol == 256)
            return 0;
        if (symbol > 285)
            continue; // 286 and 287 carry no meaning and produce nothing

        const unsigned li = unsigned(symbol) - 257;
        size_t length = LENGTH_BASE[li];
        if (LENGTH_EXTRA[li]) {
            if (bs.bit >= bs.endBit)
                return 51;
            length += bs.read(LENGTH_EXTRA[li]);
        }
        const int di = decodeSymbol<TreeWalk>(distances);
        if (di < 0)
            return -di;
        if (di > 29)
            return 18;
        size_t distance = DISTANCE_BASE[di];
        if (DISTANCE_EXTRA[di]) {
            if (bs.bit >= bs.endBit)
                return 51;
            distance += bs.read(DISTANCE_EXTRA[di]);
        }
        if (distance > pos)
            return 56;
        if (!room(length))
            return 19;
        copyMatch(distance, length);
    }
}

template <bool TreeWalk> int Inflater::run()
{
    for (;;) {
        if (bs.bit >= bs.endBit)
            return 52; // no final block
        const unsigned final = bs.read(1);
        const unsigned type = bs.read(2);
        int e = 0;
        if (type == 0) {
            e = storedBlock();
        } else if (type == 1) {
            if (!fixedCodesBuilt) {
                unsigned lengths[288];
                for (unsigned s = 0; s < 288; ++s)
                    lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
                fixedLiteralCode.build(lengths, 288);
                for (unsigned s = 0; s < 32; ++s)
                    lengths[s] = 5;
                fixedDistanceCode.build(lengths, 32);
                fixedCodesBuilt = true;
            }
            e = huffmanBlock<TreeWalk>(fixedLiteralCode, fixedDistanceCode);
        } else if (type == 2) {
            e = readDynamicCodes<TreeWalk>();
            if (!e)
                e = huffmanBlock<TreeWalk>(literalCode, distanceCode);
        } else {
            e = 20;
        }
        if (e)
            return e;
        if (final)
            return 0;
    }
}

} // namespace

int inflateZlib(const unsigned char* zlib, size_t size, size_t area, std::vector<unsigned char>& out,
                size_t& produced)
{
    produced = 0;
    if (size <= 1)
        return 53;
    const unsigned cmf = zlib[0], flg = zlib[1];
    if ((cmf * 256 + flg) % 31 != 0)
        return 24;
    if ((cmf & 15) != 8 || (cmf & 128))
        return 25;
    if (flg & 0x20)
        return 26;

    Inflater z;
    z.bs.data = zlib + 2;
    z.bs.endBit = 8 * (size - 2);
    z.area = area;
    // DEFLATE expands at most 1032 times (258 bytes from a 1-bit length code
    // and a 1-bit distance code); start with that much when it is smaller
    // than the area, so that a small file cannot claim a huge buffer.
    z.capacity = std::min(area, 1032 * (size - 2) + 1024);
    out.assign(z.capacity + OUTPUT_SLACK, 0);
    z.out = &out;
    z.o = out.data();
    const int e = huffmanTreeWalk ? z.run<true>() : z.run<false>();
    // Bytes after the output that an 8-byte piece may have written: zero again.
    std::memset(z.o + z.pos, 0, std::min(OUTPUT_SLACK, out.size() - z.pos));
    produced = z.pos;
    return e;
}
