// libFuzzer entry point: decodes arbitrary bytes as a PNG file, in both
// Huffman decodings, which must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/inflate.h"
#include "image/png_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<unsigned char> in(data, data + size);
    // Images the decoder accepts but that take long to fill (up to 1 GiB)
    // are left out; those above its limit are refused before allocating and
    // stay in.
    if (size >= 24) {
        const uint64_t w = uint64_t(data[16]) << 24 | data[17] << 16 | data[18] << 8 | data[19];
        const uint64_t h = uint64_t(data[20]) << 24 | data[21] << 16 | data[22] << 8 | data[23];
        if (w * h > (uint64_t(1) << 22) && w * h <= (uint64_t(1) << 28))
            return 0;
    }
    std::vector<unsigned char> byTable, byTree;
    huffmanTreeWalk = false;
    const int tableError = decodePngImage(in, byTable);
    huffmanTreeWalk = true;
    const int treeError = decodePngImage(in, byTree);
    huffmanTreeWalk = false;
    if (tableError != treeError || (tableError == 0 && byTable != byTree))
        std::abort(); // the two Huffman decodings disagree
    if (tableError == 0 && byTable.size() != size_t(pngWidth()) * pngHeight() * 4)
        std::abort();
    return 0;
}
