// The binary side of a glTF file: the buffer that the BIN chunk holds, cut
// into buffer views, and the GLB container (12-byte header, a JSON chunk and
// a BIN chunk, each padded to 4 bytes) written from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// glTF's buffer view targets.
constexpr uint32_t GLTF_ARRAY_BUFFER = 34962;
constexpr uint32_t GLTF_ELEMENT_ARRAY_BUFFER = 34963;

// The largest GLB file: its header counts bytes in 32 bits.
constexpr uint64_t GLB_MAX_BYTES = 0xFFFFFFFFull;

struct BufferView {
    size_t offset = 0;   // bytes from the start of the buffer, a multiple of 4
    size_t length = 0;   // bytes
    uint32_t target = 0; // GLTF_ARRAY_BUFFER, GLTF_ELEMENT_ARRAY_BUFFER or 0 (none)
};

struct GlbBuffer {
    std::vector<unsigned char> bytes;
    std::vector<BufferView> views;

    // Appends bytes as a new view that starts on a 4-byte boundary (zeros
    // fill the gap), so that every accessor's components are aligned;
    // returns the view's index.
    uint32_t addView(const void* data, size_t length, uint32_t target = 0);
    // Appends bytes to the last view (pieces of one view, copied once).
    void appendToView(const void* data, size_t length);
};

// Bytes of the GLB file holding a JSON text of jsonBytes and a buffer of
// binBytes: header, chunk headers and the padding of both chunks.
uint64_t glbFileSize(size_t jsonBytes, size_t binBytes);

// Writes the GLB file: the JSON chunk padded with spaces, the BIN chunk
// (left out when bin is empty) padded with zeros. False with a message in
// error when the file cannot be written or would pass GLB_MAX_BYTES.
bool writeGlb(const std::string& path, const std::string& json, const std::vector<unsigned char>& bin,
              std::string& error);
