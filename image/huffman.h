// Canonical Huffman codes of DEFLATE (RFC 1951, 3.2.2): a binary tree decoded
// one bit at a time, and a lookup table built from that tree that decodes a
// whole symbol per step with exactly the same results and errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// A DEFLATE stream as a sequence of bits, least-significant bit of each byte
// first. `data` must be followed by at least 32 readable bytes (zeros) so that
// bits just past the end can be peeked without a bounds check.
struct BitStream
{
    const unsigned char* data = nullptr;
    size_t endBit = 0; // 8 * number of data bytes
    size_t bit = 0;    // position of the next bit

    // The next 57 bits or more, from the current position (zeros past the end).
    uint64_t peek() const
    {
        uint64_t v;
        std::memcpy(&v, data + (bit >> 3), 8); // first byte lowest
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        v = __builtin_bswap64(v);
#endif
        return v >> (bit & 7);
    }
    // Reads n <= 32 bits as an unsigned number, first bit lowest; bits past
    // the end read as 0.
    unsigned read(unsigned n)
    {
        const unsigned v = unsigned(peek() & ((uint64_t(1) << n) - 1));
        bit += n;
        return v;
    }
};

class HuffmanCode
{
public:
    static constexpr unsigned MAX_CODES = 288;
    static constexpr unsigned MAX_BITS = 15;
    static constexpr unsigned ROOT_BITS = 10; // bits resolved by the first table
    static constexpr unsigned SUB_BITS = MAX_BITS - ROOT_BITS;
    static constexpr uint16_t EMPTY = 0xFFFF;

    // Tree: node i has children tree[2i] (bit 0) and tree[2i + 1] (bit 1). A
    // child below `codeCount` is a symbol, EMPTY is no code, any other value
    // v is node v - codeCount. Node 0 is the root. A canonical code with at
    // most 15 bits needs fewer than codeCount + MAX_BITS nodes.
    unsigned codeCount = 0;
    uint16_t tree[2 * (MAX_CODES + MAX_BITS + 1)];

    // Table: entry = symbol (bits 0-15) | total code length (bits 16-20) |
    // flags. Indexed by the next ROOT_BITS bits of the stream; a LINK entry
    // points (bits 0-15) at a sub-table indexed by the following SUB_BITS.
    // An INVALID entry's length is the depth at which the tree walk meets an
    // empty child.
    static constexpr uint32_t INVALID = 1u << 21;
    static constexpr uint32_t LINK = 1u << 22;
    uint32_t table[(1u << ROOT_BITS) + (MAX_CODES << SUB_BITS)];

    // Builds tree and table from the code length of every symbol (0 = unused).
    // Returns 0, or 54 when the lengths over-subscribe the code space.
    int build(const unsigned* lengths, unsigned count);

    // Decodes one symbol by walking the tree bit by bit: the reference
    // decoding. Returns the symbol, or -10 when the data run out, -11 for a
    // bit sequence that is no code.
    int decodeByTree(BitStream& bs) const
    {
        unsigned node = 0;
        for (;;) {
            if (bs.bit >= bs.endBit)
                return -10;
            const unsigned b = (bs.data[bs.bit >> 3] >> (bs.bit & 7)) & 1;
            ++bs.bit;
            const unsigned child = tree[2 * node + b];
            if (child == EMPTY)
                return -11;
            if (child < codeCount)
                return int(child);
            node = child - codeCount;
        }
    }

    // Decodes one symbol by table lookup; same results as decodeByTree.
    int decodeByTable(BitStream& bs) const
    {
        const uint64_t bits = bs.peek();
        uint32_t e = table[bits & ((1u << ROOT_BITS) - 1)];
        if (e & LINK)
            e = table[(e & 0xFFFF) + ((bits >> ROOT_BITS) & ((1u << SUB_BITS) - 1))];
        const unsigned length = (e >> 16) & 31;
        if (bs.bit + length > bs.endBit)
            return -10; // the walk would read a bit past the end first
        if (e & INVALID)
            return -11;
        bs.bit += length;
        return int(e & 0xFFFF);
    }

private:
    unsigned subTableEnd = 0;
    void fillTable(unsigned node, unsigned depth, unsigned prefix, uint32_t* base,
                   unsigned baseDepth, unsigned tableBits);
};
