// The tests' own reader of a GLB file: the container's header and chunks,
// and a small JSON parser for the document, written apart from the export's
// writer so that each checks the other.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> members;

    bool has(const std::string& key) const { return members.count(key) > 0; }
    const Json& operator[](const std::string& key) const;
    const Json& operator[](size_t i) const { return items.at(i); }
    size_t size() const { return kind == Array ? items.size() : members.size(); }
    int64_t integer() const { return int64_t(number); }
};

// Parses one JSON text; false with a message when it is not well-formed
// (trailing text included).
bool parseJson(const std::string& text, Json& out, std::string& error);

struct Glb {
    uint32_t magic = 0, version = 0, length = 0;
    uint32_t jsonLength = 0, jsonType = 0, binLength = 0, binType = 0;
    size_t jsonOffset = 0, binOffset = 0;  // in bytes
    std::vector<unsigned char> bytes;      // the whole file
    std::string jsonText;
    Json json;
    std::vector<unsigned char> bin;
};

// Reads path as a GLB: header, a JSON chunk and an optional BIN chunk. False
// with a message when the structure is broken.
bool readGlb(const std::string& path, Glb& glb, std::string& error);
