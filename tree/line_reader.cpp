// LineReader: lines of any length from a file, read in large blocks.
#include "tree/line_reader.h"

#include <cstring>

LineReader::LineReader(std::FILE* f) : file(f), buffer(1 << 20) {}

bool LineReader::next(const char*& line, size_t& length)
{
    for (;;) {
        char* start = buffer.data() + begin;
        if (auto* lf = static_cast<char*>(std::memchr(start, '\n', end - begin))) {
            line = start;
            length = static_cast<size_t>(lf - start);
            if (length > 0 && start[length - 1] == '\r')
                --length;
            begin += static_cast<size_t>(lf - start) + 1;
            ++lineNumber;
            return true;
        }
        if (atEnd) {
            if (begin == end)
                return false;
            // The last line has no LF.
            line = start;
            length = end - begin;
            begin = end;
            ++lineNumber;
            return true;
        }
        // Keep the unfinished line at the front, grow only when it fills
        // the whole buffer, and read more behind it.
        std::memmove(buffer.data(), start, end - begin);
        end -= begin;
        begin = 0;
        if (end == buffer.size())
            buffer.resize(buffer.size() * 2);
        const size_t got = std::fread(buffer.data() + end, 1, buffer.size() - end, file);
        if (got == 0)
            atEnd = true;
        end += got;
    }
}

void LineReader::rewind()
{
    std::clearerr(file);
    std::rewind(file);
    begin = end = 0;
    atEnd = false;
    lineNumber = 0;
}
