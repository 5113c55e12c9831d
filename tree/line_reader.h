// LineReader: the tree file's lines, read whole whatever their length,
// through one buffer that grows only for a line longer than itself.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

class LineReader {
public:
    explicit LineReader(std::FILE* file);

    // The next line without its LF (and a CR right before the LF); false at
    // the end of the file. The text stays valid until the next call.
    bool next(const char*& line, size_t& length);
    // Back to the first line.
    void rewind();

    unsigned long lineNumber = 0;  // of the line last returned, from 1

private:
    std::FILE* file;
    std::vector<char> buffer;
    size_t begin = 0, end = 0;     // unread bytes: buffer[begin, end)
    bool atEnd = false;            // the file has no more bytes to give
};
