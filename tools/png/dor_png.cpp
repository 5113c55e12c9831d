// dor-png FILE [OUT.rgba]: decodes FILE with the DOR PNG decoder, prints
// "FILE: W x H" or "FILE: error N", and with OUT writes the raw RGBA bytes
// (width * height * 4, rows from the top). Exit status 0 on success.
#include <cstdio>
#include <vector>

#include "image/png_decoder.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::printf("usage: dor-png FILE [OUT.rgba]\n");
        return 1;
    }
    std::vector<unsigned char> bytes, rgba;
    loadFileBytes(argv[1], bytes);
    if (decodePngImage(bytes, rgba) != 0) {
        std::printf("%s: error %d\n", argv[1], pngError());
        return 1;
    }
    std::printf("%s: %u x %u\n", argv[1], pngWidth(), pngHeight());
    if (argc == 3) {
        FILE* f = std::fopen(argv[2], "wb");
        bool written = f && std::fwrite(rgba.data(), 1, rgba.size(), f) == rgba.size();
        if (f && std::fclose(f) != 0)
            written = false;
        if (!written) {
            std::printf("ERROR: cannot write %s\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
