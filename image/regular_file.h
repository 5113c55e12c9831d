// Opening and reading the files the loaders take (tree files, PNG images,
// shader sources): regular files only. A directory, a device or a pipe has no
// size to read (seeking to the end of a directory gives a huge one, a pipe
// blocks the open) and counts as a file that cannot be opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// The file opened for binary reading when it is a regular file, else null.
std::FILE* openRegularFile(const char* fileName);

// The whole regular file in bytes (resized to its length). False, with bytes
// empty, when the file cannot be opened, is not a regular file, is longer
// than maxBytes or cannot be read.
bool readWholeFile(const char* fileName, std::vector<unsigned char>& bytes,
                   size_t maxBytes = SIZE_MAX);
