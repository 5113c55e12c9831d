// The GLB reader and JSON parser of the tests (recursive descent, with the
// string escapes of RFC 8259 including \u surrogate pairs).
#include "gltf/glb_reader.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

const Json& Json::operator[](const std::string& key) const
{
    static const Json none;
    const auto it = members.find(key);
    return it == members.end() ? none : it->second;
}

namespace {

struct Parser {
    const std::string& s;
    size_t at = 0;
    std::string error;

    void blanks()
    {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\n' || s[at] == '\r'))
            ++at;
    }
    bool fail(const std::string& what)
    {
        if (error.empty())
            error = what + " at byte " + std::to_string(at);
        return false;
    }
    bool literal(const char* word)
    {
        const size_t n = std::strlen(word);
        if (s.compare(at, n, word) != 0)
            return fail(std::string("expected ") + word);
        at += n;
        return true;
    }
    static void putUtf8(std::string& out, uint32_t c)
    {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    bool hex4(uint32_t& c)
    {
        if (at + 4 > s.size())
            return fail("short \\u escape");
        c = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = s[at++];
            c <<= 4;
            if (h >= '0' && h <= '9')
                c |= uint32_t(h - '0');
            else if (h >= 'a' && h <= 'f')
                c |= uint32_t(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                c |= uint32_t(h - 'A' + 10);
            else
                return fail("bad \\u escape");
        }
        return true;
    }
    bool string(std::string& out)
    {
        if (at >= s.size() || s[at] != '"')
            return fail("expected a string");
        ++at;
        while (at < s.size() && s[at] != '"') {
            const unsigned char c = s[at++];
            if (c < 0x20)
                return fail("control character in a string");
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (at >= s.size())
                return fail("escape at the end");
            const char e = s[at++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t c1;
                if (!hex4(c1))
                    return false;
                if (c1 >= 0xD800 && c1 < 0xDC00) {
                    uint32_t c2;
                    if (!literal("\\u") || !hex4(c2) || c2 < 0xDC00 || c2 >= 0xE000)
                        return fail("lone surrogate");
                    c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                }
                putUtf8(out, c1);
                break;
            }
            default:
                return fail("bad escape");
            }
        }
        if (at >= s.size())
            return fail("unterminated string");
        ++at;
        return true;
    }
    bool number(double& x)
    {
        // JSON's grammar: -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
        const size_t start = at;
        auto digits = [&] {
            const size_t from = at;
            while (at < s.size() && s[at] >= '0' && s[at] <= '9')
                ++at;
            return at > from;
        };
        if (at < s.size() && s[at] == '-')
            ++at;
        if (at < s.size() && s[at] == '0')
            ++at;
        else if (!digits())
            return fail("bad number");
        if (at < s.size() && s[at] == '.') {
            ++at;
            if (!digits())
                return fail("bad fraction");
        }
        if (at < s.size() && (s[at] == 'e' || s[at] == 'E')) {
            ++at;
            if (at < s.size() && (s[at] == '+' || s[at] == '-'))
                ++at;
            if (!digits())
                return fail("bad exponent");
        }
        x = std::strtod(s.substr(start, at - start).c_str(), nullptr);
        return true;
    }
    bool value(Json& v, int depth)
    {
        if (depth > 64)
            return fail("nested too deep");
        blanks();
        if (at >= s.size())
            return fail("expected a value");
        const char c = s[at];
        if (c == '{') {
            v.kind = Json::Object;
            ++at;
            blanks();
            if (at < s.size() && s[at] == '}') {
                ++at;
                return true;
            }
            for (;;) {
                blanks();
                std::string key;
                if (!string(key))
                    return false;
                if (v.members.count(key))
                    return fail("duplicate key " + key);
                blanks();
                if (!literal(":") || !value(v.members[key], depth + 1))
                    return false;
                blanks();
                if (at < s.size() && s[at] == ',') {
                    ++at;
                    continue;
                }
                return literal("}");
            }
        }
        if (c == '[') {
            v.kind = Json::Array;
            ++at;
            blanks();
            if (at < s.size() && s[at] == ']') {
                ++at;
                return true;
            }
            for (;;) {
                v.items.emplace_back();
                if (!value(v.items.back(), depth + 1))
                    return false;
                blanks();
                if (at < s.size() && s[at] == ',') {
                    ++at;
                    continue;
                }
                return literal("]");
            }
        }
        if (c == '"') {
            v.kind = Json::String;
            return string(v.text);
        }
        if (c == 't' || c == 'f') {
            v.kind = Json::Bool;
            v.boolean = c == 't';
            return literal(v.boolean ? "true" : "false");
        }
        if (c == 'n')
            return literal("null");
        v.kind = Json::Number;
        return number(v.number);
    }
};

uint32_t word(const std::vector<unsigned char>& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

}  // namespace

bool parseJson(const std::string& text, Json& out, std::string& error)
{
    Parser p{text, 0, {}};
    out = Json{};
    if (!p.value(out, 0)) {
        error = p.error;
        return false;
    }
    p.blanks();
    if (p.at != text.size()) {
        error = "text after the value at byte " + std::to_string(p.at);
        return false;
    }
    return true;
}

bool readGlb(const std::string& path, Glb& glb, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    glb.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const std::vector<unsigned char>& b = glb.bytes;
    if (b.size() < 20) {
        error = "shorter than a header and a chunk header";
        return false;
    }
    glb.magic = word(b, 0);
    glb.version = word(b, 4);
    glb.length = word(b, 8);
    glb.jsonLength = word(b, 12);
    glb.jsonType = word(b, 16);
    glb.jsonOffset = 20;
    if (glb.length != b.size() || glb.jsonOffset + glb.jsonLength > b.size()) {
        error = "lengths do not match the file";
        return false;
    }
    glb.jsonText.assign(b.begin() + 20, b.begin() + 20 + glb.jsonLength);
    size_t next = 20 + glb.jsonLength;
    if (next + 8 <= b.size()) {
        glb.binLength = word(b, next);
        glb.binType = word(b, next + 4);
        glb.binOffset = next + 8;
        if (glb.binOffset + glb.binLength != b.size()) {
            error = "the BIN chunk does not end the file";
            return false;
        }
        glb.bin.assign(b.begin() + glb.binOffset, b.end());
    } else if (next != b.size()) {
        error = "bytes after the JSON chunk";
        return false;
    }
    return parseJson(glb.jsonText, glb.json, error);
}
