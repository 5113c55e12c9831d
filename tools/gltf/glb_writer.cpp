// GlbBuffer's views and the GLB container: little-endian 32-bit words
// (magic "glTF", version 2, total length; per chunk its length and type).
#include "tools/gltf/glb_writer.h"

#include <cassert>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t GLB_MAGIC = 0x46546C67;  // "glTF"
constexpr uint32_t GLB_VERSION = 2;
constexpr uint32_t CHUNK_JSON = 0x4E4F534A; // "JSON"
constexpr uint32_t CHUNK_BIN = 0x004E4942;  // "BIN\0"

size_t padded(size_t n) { return (n + 3) & ~size_t(3); }

void putWord(std::vector<unsigned char>& out, uint32_t w)
{
    for (int k = 0; k < 4; ++k)
        out.push_back((unsigned char)(w >> (8 * k)));
}

}  // namespace

uint32_t GlbBuffer::addView(const void* data, size_t length, uint32_t target)
{
    bytes.resize(padded(bytes.size()), 0);
    BufferView view;
    view.offset = bytes.size();
    view.length = length;
    view.target = target;
    if (length > 0) {
        bytes.resize(bytes.size() + length);
        std::memcpy(bytes.data() + view.offset, data, length);
    }
    views.push_back(view);
    return uint32_t(views.size() - 1);
}

void GlbBuffer::appendToView(const void* data, size_t length)
{
    if (length == 0)
        return;
    BufferView& view = views.back();
    assert(view.offset + view.length == bytes.size() && "the last view ends the buffer");
    bytes.resize(bytes.size() + length);
    std::memcpy(bytes.data() + view.offset + view.length, data, length);
    view.length += length;
}

uint64_t glbFileSize(size_t jsonBytes, size_t binBytes)
{
    return 12 + 8 + uint64_t(padded(jsonBytes)) + (binBytes > 0 ? 8 + uint64_t(padded(binBytes)) : 0);
}

bool writeGlb(const std::string& path, const std::string& json, const std::vector<unsigned char>& bin,
              std::string& error)
{
    const uint64_t total = glbFileSize(json.size(), bin.size());
    if (total > GLB_MAX_BYTES) {
        error = "ERROR: the glTF file would take " + std::to_string(total) +
                " bytes, more than the 4 GiB (4294967295 bytes) a GLB file can hold";
        return false;
    }
    std::vector<unsigned char> head;
    putWord(head, GLB_MAGIC);
    putWord(head, GLB_VERSION);
    putWord(head, uint32_t(total));
    putWord(head, uint32_t(padded(json.size())));
    putWord(head, CHUNK_JSON);

    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        error = "ERROR: cannot write " + path;
        return false;
    }
    static const char spaces[4] = {' ', ' ', ' ', ' '};
    static const unsigned char zeros[4] = {0, 0, 0, 0};
    bool ok = std::fwrite(head.data(), 1, head.size(), out) == head.size() &&
              std::fwrite(json.data(), 1, json.size(), out) == json.size() &&
              std::fwrite(spaces, 1, padded(json.size()) - json.size(), out) == padded(json.size()) - json.size();
    if (ok && !bin.empty()) {
        std::vector<unsigned char> chunk;
        putWord(chunk, uint32_t(padded(bin.size())));
        putWord(chunk, CHUNK_BIN);
        ok = std::fwrite(chunk.data(), 1, chunk.size(), out) == chunk.size() &&
             std::fwrite(bin.data(), 1, bin.size(), out) == bin.size() &&
             std::fwrite(zeros, 1, padded(bin.size()) - bin.size(), out) == padded(bin.size()) - bin.size();
    }
    if (std::fclose(out) != 0)
        ok = false;
    if (!ok)
        error = "ERROR: cannot write " + path;
    return ok;
}
