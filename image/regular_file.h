// Opening and reading the files the loaders take (tree files, PNG images,
// shader sources): regular files only; and writing whole files so that no
// half-written one is ever left under its name. A directory, a device or a pipe has no
// size to read (seeking to the end of a directory gives a huge one, a pipe
// blocks the open) and counts as a file that cannot be opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The file opened for binary reading when it is a regular file, else null.
std::FILE* openRegularFile(const char* fileName);

// The whole regular file in bytes (resized to its length). False, with bytes
// empty, when the file cannot be opened, is not a regular file, is longer
// than maxBytes or cannot be read.
bool readWholeFile(const char* fileName, std::vector<unsigned char>& bytes,
                   size_t maxBytes = SIZE_MAX);

// Opens `path`.tmp, lets `write` fill it, renames it to `path` on success and
// removes it on failure, so that no half-written file is ever left under the
// final name. False, with the reason in `error`, on failure.
bool writeFileAtomically(const std::string& path, std::string& error,
                         const std::function<bool(std::FILE*)>& write);

// Writes `bytes` to `path` the same way.
bool saveFileAtomically(const std::string& path, const std::string& bytes, std::string& error);
