// Opening the game's files: whatever is not a regular file is refused at once, with the file and
// the reason.
#include "gfx/file_access.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "gfx/texture_file.h"
#include "temp_files.h"

namespace {

TEST(OpenRegularFile, FifosDevicesAndFoldersAreRefusedWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir.file("star.dds");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto started = std::chrono::steady_clock::now();
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "not a regular file (a FIFO)"},
        {"/dev/null", "not a regular file (a device)"},
        {"/dev/zero", "not a regular file (a device)"},
        {dir.path(), "not a regular file (a folder)"},
        {dir.file("gone.dds"), "No such file or directory"},
    };
    for (const auto& [path, reason] : cases) {
        std::string error;
        EXPECT_EQ(openRegularFile(path, error), -1) << path;
        EXPECT_EQ(error, "cannot read " + path + ": " + reason);
        // The same through the texture reader, which reads media the same way.
        std::vector<uint8_t> bytes;
        EXPECT_FALSE(readFileBytes(path, 1 << 20, bytes, error)) << path;
        EXPECT_EQ(error, "cannot read " + path + ": " + reason);
    }
    // A FIFO without a writer, /dev/zero without end: neither held the reader up.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));

    std::string error;
    const int fd = openRegularFile(dir.write("real.dds", "DDS "), error);
    ASSERT_GE(fd, 0) << error;
    char bytes[8];
    EXPECT_EQ(::read(fd, bytes, sizeof bytes), 4);
    ::close(fd);
}

}  // namespace
