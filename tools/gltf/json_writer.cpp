// JsonWriter's text: members and elements separated by commas, strings
// escaped as JSON requires (quote, backslash, control characters), numbers
// with 17 significant digits at most.
#include "tools/gltf/json_writer.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>

void JsonWriter::beforeValue()
{
    if (open.empty()) {
        assert(out.empty() && "one top-level value");
        return;
    }
    Level& level = open.back();
    if (level.isObject) {
        assert(level.keyPending && "a member's value follows its key");
        level.keyPending = false;
        return;
    }
    if (level.hasElement)
        out += ',';
    level.hasElement = true;
}

void JsonWriter::beginObject()
{
    beforeValue();
    out += '{';
    open.push_back({true});
}

void JsonWriter::endObject()
{
    assert(!open.empty() && open.back().isObject && !open.back().keyPending);
    open.pop_back();
    out += '}';
}

void JsonWriter::beginArray()
{
    beforeValue();
    out += '[';
    open.push_back({false});
}

void JsonWriter::endArray()
{
    assert(!open.empty() && !open.back().isObject);
    open.pop_back();
    out += ']';
}

void JsonWriter::key(const char* name)
{
    assert(!open.empty() && open.back().isObject && !open.back().keyPending);
    Level& level = open.back();
    if (level.hasElement)
        out += ',';
    level.hasElement = true;
    out += '"';
    for (const char* c = name; *c; ++c) {
        assert(*c != '"' && *c != '\\' && (unsigned char)*c >= 0x20 && "keys are plain names");
        out += *c;
    }
    out += "\":";
    level.keyPending = true;
}

namespace {

// Whether s is well-formed UTF-8 (no overlong forms, surrogates or code
// points above U+10FFFF).
bool isUtf8(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        size_t extra;
        uint32_t code;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const unsigned char d = s[i + k];
            if ((d & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (d & 0x3F);
        }
        const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
        if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

void JsonWriter::string(const std::string& s)
{
    beforeValue();
    // A name that is not UTF-8 (a file name in another encoding) is read as
    // Latin-1: every byte from 0x80 becomes its \u escape.
    const bool utf8 = isUtf8(s);
    out += '"';
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || (c >= 0x80 && !utf8)) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                // UTF-8 passes as it is.
                out += char(c);
            }
        }
    }
    out += '"';
}

void JsonWriter::number(double x)
{
    assert(std::isfinite(x) && "JSON has no infinity or NaN");
    beforeValue();
    // The shortest of %.9g (every float) and %.17g that reads back exactly.
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", x);
    if (std::strtod(text, nullptr) != x)
        std::snprintf(text, sizeof text, "%.17g", x);
    out += text;
}

void JsonWriter::integer(int64_t n)
{
    beforeValue();
    out += std::to_string(n);
}

void JsonWriter::boolean(bool b)
{
    beforeValue();
    out += b ? "true" : "false";
}
