// JsonWriter: writes one JSON text into a string as it goes, with the commas
// and the escapes the format needs. Just what the glTF document uses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class JsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The key of the next member of the object being written.
    void key(const char* name);
    void string(const std::string& s);
    // A finite number (asserted: callers check their data before), written
    // so that it reads back to the same double.
    void number(double x);
    void integer(int64_t n);
    void boolean(bool b);

    // key(name) and the value, for the common case.
    void member(const char* name, const std::string& s) { key(name); string(s); }
    void member(const char* name, const char* s) { key(name); string(s); }
    void member(const char* name, double x) { key(name); number(x); }
    void member(const char* name, int64_t n) { key(name); integer(n); }
    void member(const char* name, int n) { key(name); integer(n); }
    void member(const char* name, uint32_t n) { key(name); integer(n); }
    void member(const char* name, size_t n) { key(name); integer(int64_t(n)); }
    void member(const char* name, bool b) { key(name); boolean(b); }

    // The text written; complete once every object and array is closed.
    const std::string& text() const { return out; }
    bool complete() const { return open.empty() && !out.empty(); }

private:
    // Before a value: the comma after an earlier element of an array.
    void beforeValue();

    std::string out;
    // Per open container: whether it has an element (or, for an object, a
    // key) yet, and whether a key is waiting for its value.
    struct Level {
        bool isObject;
        bool hasElement = false;
        bool keyPending = false;
    };
    std::vector<Level> open;
};
