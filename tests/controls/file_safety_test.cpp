// Saving a recording over what is already there: permissions, owner and group kept, symbolic
// links followed, write-protected and special files refused, names up to the file system's limit,
// and temporary files that a killed save left behind cleared by the next save. Loading refuses
// what is not a regular file without blocking, and says why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "controls/file_replace.h"
#include "controls/flight_recorder.h"
#include "gfx/file_access.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kFileBytes = 4 + 120000;

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FileSafety : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravik-safety-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        recorder.startRecording();
        for (int i = 0; i < 5; ++i) recorder.record(int16_t(i), kNoInput, int16_t(-i));
        takeFileFailure();
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }

    fs::path file(const std::string& name, const std::string& text = "old") {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::vector<std::string> temporaries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(kTemporaryPrefix, 0) == 0)
                names.push_back(name);
        }
        return names;
    }

    fs::path dir;
    FlightRecorder recorder{kRecorderCapacity};
};

TEST_F(FileSafety, AReplacedFileKeepsItsPermissionsOwnerAndGroup) {
    const fs::path path = file("private.dvk");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    // Root may give the file away: the save must then keep the other owner and group too.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 4322), 0);
    }
    ASSERT_TRUE(recorder.saveToFile(path.string())) << takeFileFailure();
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(info.st_size, off_t(kFileBytes));
    if (root) {
        EXPECT_EQ(info.st_uid, 4321u);
        EXPECT_EQ(info.st_gid, 4322u);
    }
    // A more open mode is kept as it is, not narrowed to the umask's idea.
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
    ASSERT_TRUE(recorder.saveToFile(path.string()));
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(FileSafety, ASymbolicLinkIsFollowedAndStays) {
    fs::create_directory(dir / "real");
    const fs::path target = file("real/flight.dvk");
    fs::create_symlink("real/flight.dvk", dir / "link.dvk");
    fs::create_symlink("link.dvk", dir / "link2.dvk");  // a chain of two
    ASSERT_TRUE(recorder.saveToFile((dir / "link2.dvk").string())) << takeFileFailure();
    EXPECT_TRUE(fs::is_symlink(dir / "link.dvk"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2.dvk"));
    EXPECT_EQ(fs::read_symlink(dir / "link2.dvk"), "link.dvk");
    EXPECT_EQ(fs::file_size(target), kFileBytes);
    // The temporary file was made beside the target, and is gone.
    EXPECT_TRUE(temporaries().empty());
    for (const auto& entry : fs::directory_iterator(dir / "real"))
        EXPECT_EQ(entry.path().filename(), "flight.dvk");

    // A dangling link makes its target, as a plain write through it would.
    fs::create_symlink("real/new.dvk", dir / "dangling.dvk");
    ASSERT_TRUE(recorder.saveToFile((dir / "dangling.dvk").string())) << takeFileFailure();
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.dvk"));
    EXPECT_EQ(fs::file_size(dir / "real/new.dvk"), kFileBytes);

    // A loop is refused with the system's reason.
    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");
    EXPECT_FALSE(recorder.saveToFile((dir / "loop-a").string()));
    EXPECT_NE(takeFileFailure().find("Too many levels of symbolic links"), std::string::npos);
}

TEST_F(FileSafety, AWriteProtectedFileIsRefusedAndLeftAsItIs) {
    const fs::path path = file("kept.dvk", "precious");
    ASSERT_EQ(::chmod(path.c_str(), 0400), 0);
    EXPECT_FALSE(recorder.saveToFile(path.string()));
    EXPECT_EQ(takeFileFailure(), "cannot write " + path.string() + ": Permission denied");
    EXPECT_EQ(contents(path), "precious");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0400u);
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(FileSafety, ANameAsLongAsTheFileSystemAllowsSaves) {
    // 250 bytes: the name itself fits; a temporary name built from it would not.
    const std::string name = std::string(246, 'n') + ".dvk";
    ASSERT_EQ(name.size(), 250u);
    ASSERT_TRUE(recorder.saveToFile((dir / name).string())) << takeFileFailure();
    EXPECT_EQ(fs::file_size(dir / name), kFileBytes);
    // Replacing it works the same way.
    ASSERT_TRUE(recorder.saveToFile((dir / name).string())) << takeFileFailure();
    // One byte past the limit is refused with the system's reason.
    const std::string tooLong = std::string(252, 'n') + ".dvk";
    EXPECT_FALSE(recorder.saveToFile((dir / tooLong).string()));
    EXPECT_NE(takeFileFailure().find("File name too long"), std::string::npos);
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(FileSafety, AKilledSavesTemporaryIsRemovedByTheNextSave) {
    // A save killed half-way: a child process that made its temporary file and died.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string name = (dir / (std::string(kTemporaryPrefix) +
                                         std::to_string(::getpid()) + "-0" + kTemporarySuffix))
                                     .string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        [[maybe_unused]] ssize_t n = ::write(fd, "half", 4);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(temporaries().size(), 1u);

    // One of a live process, fresh and unlocked (it may be just being made): kept. An old one of
    // a live process: removed. Files that only look alike: kept.
    const fs::path fresh =
        file(std::string(kTemporaryPrefix) + std::to_string(::getppid()) + "-7" + kTemporarySuffix);
    const fs::path old =
        file(std::string(kTemporaryPrefix) + std::to_string(::getppid()) + "-8" + kTemporarySuffix);
    const timeval longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimes(old.c_str(), longAgo), 0);
    const fs::path notOurs = file(std::string(kTemporaryPrefix) + "x-1" + kTemporarySuffix);
    const fs::path player = file("my.tmp");

    ASSERT_TRUE(recorder.saveToFile((dir / "next.dvk").string())) << takeFileFailure();
    std::vector<std::string> left = temporaries();
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {fresh.filename().string(), notOurs.filename().string()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_TRUE(fs::exists(player));
}

TEST_F(FileSafety, ATemporaryLockedByASaveInProgressIsKept) {
    const fs::path busy = file(std::string(kTemporaryPrefix) + "999999999-1" + kTemporarySuffix);
    const timeval longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimes(busy.c_str(), longAgo), 0);
    const int fd = ::open(busy.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(removeStaleTemporaries(dir.string()), 0);
    EXPECT_TRUE(fs::exists(busy));
    ::close(fd);
    EXPECT_EQ(removeStaleTemporaries(dir.string()), 1);
    EXPECT_FALSE(fs::exists(busy));
}

TEST_F(FileSafety, WhatIsNotARegularFileIsNeitherReplacedNorLoaded) {
    const fs::path fifo = dir / "pipe.dvk";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(dir / "folder.dvk");
    const auto started = std::chrono::steady_clock::now();
    for (const fs::path& path : {fifo, dir / "folder.dvk", fs::path("/dev/null")}) {
        EXPECT_FALSE(recorder.saveToFile(path.string())) << path;
        EXPECT_NE(takeFileFailure().find("not a regular file"), std::string::npos) << path;
        EXPECT_FALSE(recorder.loadFromFile(path.string())) << path;
        EXPECT_NE(takeFileFailure().find("cannot read " + path.string() + ": not a regular file"),
                  std::string::npos)
            << path;
    }
    // Nothing waited for a writer on the FIFO.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
    EXPECT_EQ(recorder.recordedLength, 5u);
}

TEST_F(FileSafety, FailedLoadsSayWhichFileAndWhy) {
    EXPECT_FALSE(recorder.loadFromFile((dir / "gone.dvk").string()));
    EXPECT_EQ(takeFileFailure(),
              "cannot read " + (dir / "gone.dvk").string() + ": No such file or directory");
    const fs::path shortFile = file("short.dvk", "1234567");
    EXPECT_FALSE(recorder.loadFromFile(shortFile.string()));
    EXPECT_EQ(takeFileFailure(), "cannot read " + shortFile.string() +
                                     ": too short for a recording (7 bytes of 120004)");
    std::string big(kFileBytes, '\0');
    big[0] = char(0x21);
    big[1] = char(0x4E);  // 20001 frames
    const fs::path tooMany = file("many.dvk", big);
    EXPECT_FALSE(recorder.loadFromFile(tooMany.string()));
    EXPECT_EQ(takeFileFailure(), "cannot read " + tooMany.string() +
                                     ": it claims 20001 frames, more than a recording holds");
    EXPECT_EQ(recorder.recordedLength, 5u);
}

}  // namespace
