// The loaders' file reading: only regular files are read; a directory, a pipe
// or a file over the caller's limit reads as no bytes, like a missing file,
// without blocking or allocating its nonsense size.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "image/png_decoder.h"
#include "image/regular_file.h"
#include "png_test_files.h"

namespace {

std::string scratchDir()
{
    const std::string dir = std::string(DOR_BINARY_DIR) + "/tests/file-scratch";
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

TEST(RegularFile, ReadsAWholeFileUpToTheLimit)
{
    const std::string path = scratchDir() + "/ten.bin";
    std::ofstream(path, std::ios::binary) << "0123456789";
    Bytes bytes;
    ASSERT_TRUE(readWholeFile(path.c_str(), bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
    EXPECT_TRUE(readWholeFile(path.c_str(), bytes, 10));
    EXPECT_EQ(bytes.size(), 10u);
    EXPECT_FALSE(readWholeFile(path.c_str(), bytes, 9));
    EXPECT_TRUE(bytes.empty());

    std::ofstream(path, std::ios::binary | std::ios::trunc);
    EXPECT_TRUE(readWholeFile(path.c_str(), bytes));  // empty, but read
    EXPECT_TRUE(bytes.empty());
    std::filesystem::remove(path);
    EXPECT_FALSE(readWholeFile(path.c_str(), bytes));
    EXPECT_FALSE(readWholeFile(nullptr, bytes));
}

// A texture named "." (a directory) or a pipe: the decoder gets no bytes and
// reports 48, as for a missing file; nothing waits for a writer.
TEST(RegularFile, DirectoriesAndPipesReadAsMissingFiles)
{
    const std::string dir = scratchDir();
    const std::string pipe = dir + "/pipe.png";
    std::filesystem::remove(pipe);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& name : {std::string("."), dir, pipe}) {
        Bytes bytes = {1, 2, 3}, out;
        EXPECT_FALSE(readWholeFile(name.c_str(), bytes)) << name;
        loadFileBytes(name.c_str(), bytes);
        EXPECT_TRUE(bytes.empty()) << name;
        EXPECT_EQ(decodePngImage(bytes, out), 48) << name;
        EXPECT_EQ(openRegularFile(name.c_str()), nullptr) << name;
    }
    std::filesystem::remove(pipe);
}
