// Regular files only: the file is opened without blocking (a pipe would wait
// for a writer) and its type taken from the open descriptor, so that what is
// checked is what is read.
#include "image/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

// A descriptor of the regular file, or -1; st holds its status.
static int openRegular(const char* fileName, struct stat& st)
{
    if (!fileName)
        return -1;
    const int fd = open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

std::FILE* openRegularFile(const char* fileName)
{
    struct stat st;
    const int fd = openRegular(fileName, st);
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "rb");
    if (!file)
        close(fd);
    return file;
}

bool readWholeFile(const char* fileName, std::vector<unsigned char>& bytes, size_t maxBytes)
{
    bytes.clear();
    struct stat st;
    const int fd = openRegular(fileName, st);
    if (fd < 0)
        return false;
    bool ok = st.st_size >= 0 && static_cast<uint64_t>(st.st_size) <= maxBytes;
    if (ok) {
        // The length at the open: a file that grows meanwhile is read up to
        // it, one that shrinks up to its new end.
        try {
            bytes.resize(static_cast<size_t>(st.st_size));
        } catch (const std::bad_alloc&) {
            ok = false;  // a (sparse) file larger than the memory
        }
        size_t got = 0;
        while (ok && got < bytes.size()) {
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                ok = false;
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(ok ? got : 0);
    }
    close(fd);
    return ok;
}

bool writeFileAtomically(const std::string& path, std::string& error,
                         const std::function<bool(std::FILE*)>& write)
{
    const std::string temp = path + ".tmp";
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) {
        error = "cannot create " + temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = write(out);
    ok = (std::fflush(out) == 0) && ok;
    ok = (std::fclose(out) == 0) && ok;
    if (!ok) {
        error = "cannot write " + temp;
        std::remove(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool saveFileAtomically(const std::string& path, const std::string& bytes, std::string& error)
{
    return writeFileAtomically(path, error, [&](std::FILE* out) {
        return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    });
}
