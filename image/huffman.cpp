// Canonical Huffman codes of DEFLATE: building the decoding tree and the
// lookup table that mirrors it.
#include "image/huffman.h"

int HuffmanCode::build(const unsigned* lengths, unsigned count)
{
    codeCount = count;
    unsigned lengthCount[MAX_BITS + 1] = {};
    for (unsigned s = 0; s < count; ++s) {
        if (lengths[s] > MAX_BITS)
            return 54;
        ++lengthCount[lengths[s]];
    }
    lengthCount[0] = 0;

    // Kraft: with `left` free codes of the current length, each longer length
    // doubles them; more codes than free ones over-subscribe the code space.
    int left = 1;
    for (unsigned len = 1; len <= MAX_BITS; ++len) {
        left = 2 * left - int(lengthCount[len]);
        if (left < 0)
            return 54;
    }

    // First code of each length, then codes in symbol order (RFC 1951, 3.2.2).
    unsigned nextCode[MAX_BITS + 1] = {};
    unsigned code = 0;
    for (unsigned len = 1; len <= MAX_BITS; ++len) {
        code = (code + lengthCount[len - 1]) << 1;
        nextCode[len] = code;
    }

    const unsigned maxNodes = count + MAX_BITS + 1;
    for (unsigned i = 0; i < 2 * maxNodes; ++i)
        tree[i] = EMPTY;
    unsigned nodeCount = 1;
    for (unsigned s = 0; s < count; ++s) {
        const unsigned len = lengths[s];
        if (len == 0)
            continue;
        const unsigned c = nextCode[len]++;
        unsigned node = 0;
        for (unsigned i = len - 1; i > 0; --i) {
            uint16_t& slot = tree[2 * node + ((c >> i) & 1)];
            if (slot == EMPTY) {
                if (nodeCount >= maxNodes)
                    return 54; // cannot happen for a prefix-free code
                slot = uint16_t(count + nodeCount++);
            } else if (slot < count) {
                return 54; // a code passing through a shorter one: not prefix-free
            }
            node = slot - count;
        }
        tree[2 * node + (c & 1)] = uint16_t(s);
    }

    subTableEnd = 1u << ROOT_BITS;
    fillTable(0, 0, 0, table, 0, ROOT_BITS);
    return 0;
}

// Fills the entries of the table at `base` (tableBits index bits, starting at
// tree depth baseDepth) below `node`, which lies at `depth` and is reached by
// the bits `prefix` (depth - baseDepth of them, first bit lowest).
void HuffmanCode::fillTable(unsigned node, unsigned depth, unsigned prefix, uint32_t* base,
                            unsigned baseDepth, unsigned tableBits)
{
    const unsigned rel = depth - baseDepth;
    for (unsigned b = 0; b < 2; ++b) {
        const unsigned child = tree[2 * node + b];
        const unsigned p = prefix | (b << rel);
        const unsigned d = depth + 1;
        const bool leaf = child == EMPTY || child < codeCount;
        if (!leaf && rel + 1 < tableBits) {
            fillTable(child - codeCount, d, p, base, baseDepth, tableBits);
        } else if (!leaf && tableBits == ROOT_BITS) {
            const unsigned offset = subTableEnd;
            subTableEnd += 1u << SUB_BITS;
            base[p] = LINK | offset;
            fillTable(child - codeCount, d, 0, table + offset, d, SUB_BITS);
        } else {
            // A symbol, or no code: every index that starts with these bits.
            // (An inner node at depth 15 cannot exist; it would read as no code.)
            const uint32_t entry = (uint32_t(d) << 16) | (child < codeCount ? child : INVALID);
            const unsigned step = 1u << (rel + 1);
            for (unsigned i = p; i < (1u << tableBits); i += step)
                base[i] = entry;
        }
    }
}
