// Recording files: the byte layout, loads that fail without touching the recorder, saves that
// fail without touching the old file, and the locks between two copies of the game.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "controls/flight_recorder.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kFileBytes = 4 + 120000;

using Bytes = std::vector<uint8_t>;

Bytes readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A file as the original program lays it out: count, then 20000 entries, little-endian.
Bytes fileWith(uint32_t count, size_t size = kFileBytes) {
    Bytes bytes(size, 0);
    for (size_t i = 0; i < 4 && i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(count >> (8 * i));
    }
    for (size_t i = 4; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    return bytes;
}

// Everything a failed load must leave as it was.
struct Snapshot {
    uint32_t recordedLength, position;
    int32_t isRecording;
    ptrdiff_t cursor;
    std::vector<RecordEntry> entries;

    explicit Snapshot(const FlightRecorder& r)
        : recordedLength(r.recordedLength),
          position(r.position),
          isRecording(r.isRecording),
          cursor(r.cursor - r.entries),
          entries(r.entries, r.entries + r.capacity) {}

    void expectSame(const FlightRecorder& r) const {
        EXPECT_EQ(r.recordedLength, recordedLength);
        EXPECT_EQ(r.position, position);
        EXPECT_EQ(r.isRecording, isRecording);
        EXPECT_EQ(r.cursor - r.entries, cursor);
        EXPECT_EQ(std::memcmp(r.entries, entries.data(), entries.size() * sizeof(RecordEntry)), 0);
    }
};

class RecordingFile : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = fs::temp_directory_path() / "dravik-dvk-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        // A recorder in the middle of recording a flight, with something in every field.
        for (int i = 0; i < 321; ++i) {
            recorder.record(static_cast<int16_t>(i - 160), static_cast<int16_t>(-i),
                            static_cast<int16_t>(i % 3 == 0 ? kNoInput : i));
        }
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const char* name) const { return (fs::path(dir) / name).string(); }

    // The names in the test folder, so that a failed save can be seen to leave nothing behind.
    std::vector<std::string> folderNames() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir;
    FlightRecorder recorder{kRecorderCapacity};
};

TEST_F(RecordingFile, SaveWritesCountThenTheWholeBodyLittleEndian) {
    recorder.entries[0] = RecordEntry{0x1234, -2, kNoInput};
    std::string file = path("a.dvk");
    ASSERT_TRUE(recorder.saveToFile(file));
    Bytes bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), kFileBytes);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 10),
              (Bytes{0x41, 0x01, 0, 0, 0x34, 0x12, 0xFE, 0xFF, 0x10, 0x27}));
    // The unused tail is written too, zeros where nothing was ever recorded.
    EXPECT_EQ(bytes[4 + 6 * 321], 0);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"a.dvk"});
}

TEST_F(RecordingFile, FreshRecorderSavesAnEmptyRecording) {
    FlightRecorder fresh(kRecorderCapacity);
    std::string file = path("empty.dvk");
    ASSERT_TRUE(fresh.saveToFile(file));
    EXPECT_EQ(readBytes(file), Bytes(kFileBytes, 0));
}

TEST_F(RecordingFile, SaveThenLoadRestoresCountAndBufferByteForByte) {
    // Stale entries past the count from an earlier, longer flight travel along as they are.
    recorder.entries[5000] = RecordEntry{-1, 2, -3};
    std::string file = path("round.dvk");
    ASSERT_TRUE(recorder.saveToFile(file));

    FlightRecorder loaded(kRecorderCapacity);
    ASSERT_TRUE(loaded.loadFromFile(file));
    EXPECT_EQ(loaded.recordedLength, 321u);
    EXPECT_EQ(loaded.isRecording, 0);
    EXPECT_EQ(loaded.position, 0u);
    EXPECT_EQ(std::memcmp(loaded.entries, recorder.entries, 120000), 0);

    // And saved again, the file is the same.
    std::string again = path("again.dvk");
    ASSERT_TRUE(loaded.saveToFile(again));
    EXPECT_EQ(readBytes(again), readBytes(file));
}

TEST_F(RecordingFile, LoadsAFileLaidOutByHand) {
    Bytes bytes(kFileBytes, 0);
    bytes[0] = 3;
    // Entry 0: turn -150 (0xFF6A), vertical 10000 (0x2710), speed 200 (0x00C8).
    const uint8_t entry0[6] = {0x6A, 0xFF, 0x10, 0x27, 0xC8, 0x00};
    std::memcpy(&bytes[4], entry0, 6);
    bytes[4 + 6 * 2] = 0x01;
    bytes[4 + 6 * 2 + 1] = 0x80;
    std::string file = path("hand.dvk");
    writeBytes(file, bytes);

    ASSERT_TRUE(recorder.loadFromFile(file));
    EXPECT_EQ(recorder.recordedLength, 3u);
    int16_t turn, vertical, speedInput;
    EXPECT_EQ(recorder.play(turn, vertical, speedInput), 1);
    EXPECT_EQ(turn, -150);
    EXPECT_EQ(vertical, 10000);
    EXPECT_EQ(speedInput, 200);
    EXPECT_EQ(recorder.play(turn, vertical, speedInput), 2);
    EXPECT_EQ(recorder.play(turn, vertical, speedInput), -1);
    EXPECT_EQ(turn, -32767);
}

TEST_F(RecordingFile, ShortFilesFailAndLeaveTheRecorderAsItWas) {
    recorder.entries[7] = RecordEntry{1, 2, 3};
    Snapshot before(recorder);
    for (size_t size : {size_t{0}, size_t{1}, size_t{4}, size_t{5}, kFileBytes - 1}) {
        std::string file = path("short.dvk");
        writeBytes(file, fileWith(12, size));
        EXPECT_FALSE(recorder.loadFromFile(file)) << size;
        before.expectSame(recorder);
    }
}

TEST_F(RecordingFile, FullSizeAndLongerFilesLoadTheirFirstBytes) {
    Bytes exact = fileWith(20000 - 1);
    std::string file = path("exact.dvk");
    writeBytes(file, exact);
    ASSERT_TRUE(recorder.loadFromFile(file));
    EXPECT_EQ(recorder.recordedLength, 19999u);
    EXPECT_EQ(std::memcmp(recorder.entries, &exact[4], 120000), 0);

    Bytes longer = fileWith(77, 200000);
    file = path("long.dvk");
    writeBytes(file, longer);
    ASSERT_TRUE(recorder.loadFromFile(file));
    EXPECT_EQ(recorder.recordedLength, 77u);
    EXPECT_EQ(std::memcmp(recorder.entries, &longer[4], 120000), 0);
}

TEST_F(RecordingFile, CountBeyondTheBufferIsRejected) {
    Snapshot before(recorder);
    std::string file = path("big.dvk");
    for (uint32_t count : {20001u, 0xFFFFFFFFu, 0x80000000u}) {
        writeBytes(file, fileWith(count));
        EXPECT_FALSE(recorder.loadFromFile(file)) << count;
        before.expectSame(recorder);
    }
    // A count of exactly 20000 replays the whole buffer and stops at its end.
    writeBytes(file, fileWith(20000));
    ASSERT_TRUE(recorder.loadFromFile(file));
    int16_t turn, vertical, speedInput;
    int plays = 0;
    while (recorder.play(turn, vertical, speedInput) != -1) {
        ++plays;
    }
    EXPECT_EQ(plays, 19999);
    EXPECT_EQ(recorder.position, 20000u);
}

TEST_F(RecordingFile, SmallerRecorderRejectsCountsItCannotHold) {
    FlightRecorder small(100);
    std::string file = path("small.dvk");
    writeBytes(file, fileWith(101));
    EXPECT_FALSE(small.loadFromFile(file));
    writeBytes(file, fileWith(100));
    ASSERT_TRUE(small.loadFromFile(file));
    EXPECT_EQ(small.recordedLength, 100u);
}

TEST_F(RecordingFile, WhatIsNotARecordingFileFails) {
    Snapshot before(recorder);
    EXPECT_FALSE(recorder.loadFromFile(path("missing.dvk")));
    EXPECT_FALSE(recorder.loadFromFile(dir));
    EXPECT_FALSE(recorder.loadFromFile(""));
    // A FIFO nobody writes to must not block the game.
    std::string fifo = path("pipe.dvk");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(recorder.loadFromFile(fifo));
    before.expectSame(recorder);
}

TEST_F(RecordingFile, FileLockedByAnotherOpenIsNeitherLoadedNorReplaced) {
    std::string file = path("held.dvk");
    Bytes original = fileWith(5);
    writeBytes(file, original);
    Snapshot before(recorder);

    // flock locks belong to the open file description, so a second open in this process
    // stands in for another copy of the game.
    int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_FALSE(recorder.loadFromFile(file));
    before.expectSame(recorder);
    EXPECT_FALSE(recorder.saveToFile(file));
    EXPECT_EQ(readBytes(file), original);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"held.dvk"});

    ::close(fd);
    EXPECT_TRUE(recorder.loadFromFile(file));
    EXPECT_EQ(recorder.recordedLength, 5u);
}

TEST_F(RecordingFile, FileLockedByAnotherProcessFailsToLoad) {
    std::string file = path("other.dvk");
    writeBytes(file, fileWith(9));
    int ready[2], done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = ::open(file.c_str(), O_RDONLY);
        char c = (fd >= 0 && ::flock(fd, LOCK_EX) == 0) ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(done[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    Snapshot before(recorder);
    EXPECT_FALSE(recorder.loadFromFile(file));
    before.expectSame(recorder);
    EXPECT_FALSE(recorder.saveToFile(file));

    ASSERT_EQ(::write(done[1], "x", 1), 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    for (int p : {ready[0], ready[1], done[0], done[1]}) {
        ::close(p);
    }
    EXPECT_TRUE(recorder.loadFromFile(file));
}

TEST_F(RecordingFile, SaveReplacesAnExistingFile) {
    std::string file = path("over.dvk");
    writeBytes(file, Bytes(300000, 0xAB));
    ASSERT_TRUE(recorder.saveToFile(file));
    Bytes bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), kFileBytes);
    EXPECT_EQ(bytes[0], 0x41);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"over.dvk"});
}

TEST_F(RecordingFile, SaveWhereNoFileCanBeMadeFails) {
    // Root ignores permission bits, so these are paths that fail for anyone.
    std::string plain = path("plain");
    writeBytes(plain, Bytes{1, 2, 3});
    EXPECT_FALSE(recorder.saveToFile(path("no-such-folder/x.dvk")));
    EXPECT_FALSE(recorder.saveToFile(plain + "/x.dvk"));
    EXPECT_FALSE(recorder.saveToFile("/proc/dravik-test.dvk"));
    EXPECT_FALSE(recorder.saveToFile(""));
    EXPECT_FALSE(recorder.saveToFile(dir + "/"));
    EXPECT_EQ(readBytes(plain), (Bytes{1, 2, 3}));
    EXPECT_EQ(folderNames(), std::vector<std::string>{"plain"});
}

TEST_F(RecordingFile, FailedSaveLeavesAnExistingFileUntouched) {
    // An existing file in a folder where nothing new can be created.
    Bytes version = readBytes("/proc/version");
    ASSERT_FALSE(version.empty());
    EXPECT_FALSE(recorder.saveToFile("/proc/version"));
    EXPECT_EQ(readBytes("/proc/version"), version);

    // The rename fails when the target is a folder; the temporary file must go again.
    std::string folder = path("folder.dvk");
    ASSERT_TRUE(fs::create_directory(folder));
    writeBytes(folder + "/inside", Bytes{9});
    EXPECT_FALSE(recorder.saveToFile(folder));
    EXPECT_EQ(readBytes(folder + "/inside"), Bytes{9});
    EXPECT_EQ(folderNames(), std::vector<std::string>{"folder.dvk"});
}

TEST_F(RecordingFile, SaveThatRunsOutOfSpaceKeepsTheOldFile) {
    std::string file = path("keep.dvk");
    Bytes original = fileWith(42);
    writeBytes(file, original);
    // In a child, a file size limit makes the write fail part way, as a full disk would.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {
            50000, 50000
        };
        bool saved = ::setrlimit(RLIMIT_FSIZE, &limit) == 0 ? recorder.saveToFile(file) : true;
        ::_exit(saved ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not fail";
    EXPECT_EQ(readBytes(file), original);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"keep.dvk"});
}

TEST_F(RecordingFile, RelativePathSavesInTheCurrentFolder) {
    std::string previous = fs::current_path();
    fs::current_path(dir);
    EXPECT_TRUE(recorder.saveToFile("here.dvk"));
    FlightRecorder loaded(kRecorderCapacity);
    EXPECT_TRUE(loaded.loadFromFile("here.dvk"));
    fs::current_path(previous);
    EXPECT_EQ(loaded.recordedLength, 321u);
    EXPECT_EQ(folderNames(), std::vector<std::string>{"here.dvk"});
}

}  // namespace
