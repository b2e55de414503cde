// Recording files under attack, through the headless runner: hostile files and files held by
// another process given to the replay, and saves into a full disk, a read-only folder and over a
// file in use. A failed load leaves the recorder's empty recording to replay; a failed save leaves
// the old file as it was and no temporary file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fault_harness.h"

namespace fs = std::filesystem;

namespace {

const char* const kLoadFailed = "記録ファイルの読み込みに失敗しました";
const char* const kSaveFailed = "記録ファイルの保存に失敗しました";
const std::string kKeptRecording =
    std::string(DRAVIK_SOURCE_DIR) + "/tests/data/keyboard_flight.dvk";

struct Replay {
    RunResult run;
    std::vector<std::string> log;
};

Replay replay(const Scratch& s, const std::string& file) {
    std::string log = s.root() + "/replay.jsonl";
    Replay r;
    r.run = s.runner({"--no-gl", "--replay", file, "--state-log", log});
    r.log = lines(readBytes(log));
    fs::remove(log);
    return r;
}

void expectClean(const RunResult& r) {
    EXPECT_EQ(r.exitCode, 0) << describe(r);
    EXPECT_EQ(r.signal, 0) << describe(r);
    EXPECT_FALSE(r.timedOut);
    EXPECT_FALSE(sanitizerReported(r.err)) << r.err;
}

// The replay of a loaded recording with count 0: what the recorder's own empty recording replays.
const std::vector<std::string>& emptyReplay() {
    static const std::vector<std::string> log = [] {
        Scratch s("empty-replay");
        writeBytes(s.root() + "/zero.dvk", recordingBytes(0, 0, 0, 0));
        Replay r = replay(s, s.root() + "/zero.dvk");
        EXPECT_TRUE(playerMessages(r.run.err).empty()) << r.run.err;
        return r.log;
    }();
    return log;
}

size_t countReplaying(const std::vector<std::string>& log) {
    size_t n = 0;
    for (const std::string& line : log) n += field(line, "replaying") == "1";
    return n;
}

// A failed load: its message once, then the replay of the empty recording, replaying at first
// and halted at the end, step for step as from a loaded empty file.
void expectFailedLoad(const Replay& r) {
    expectClean(r.run);
    EXPECT_EQ(playerMessages(r.run.err), std::vector<std::string>{kLoadFailed}) << r.run.err;
    ASSERT_FALSE(r.log.empty());
    EXPECT_EQ(field(r.log.front(), "replaying"), "1");
    EXPECT_EQ(field(r.log.back(), "replaying"), "0");
    EXPECT_EQ(field(r.log.back(), "halted"), "1");
    EXPECT_EQ(r.log, emptyReplay());
}

TEST(HostileRecording, FilesThatFailToLoadReplayTheEmptyRecording) {
    Scratch s("hostile");
    const std::string full = recordingBytes(19999, 8, 0, 2);
    std::string countTooLarge = full;
    countTooLarge[0] = static_cast<char>(20001 & 0xFF);
    countTooLarge[1] = static_cast<char>(20001 >> 8);
    std::string noise = garbage(200000, 4242);
    ASSERT_GT(static_cast<uint8_t>(noise[3]), 0u) << "the noise must carry a count above 20000";
    const std::pair<const char*, std::string> files[] = {
        {"zero-bytes", ""},
        {"count-only", std::string(4, '\xff')},  // a count of 2^32 - 1 and no body
        {"one-byte-short", full.substr(0, full.size() - 1)},
        {"count-20001", countTooLarge},
        {"noise-200000", noise},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        std::string path = s.root() + "/" + name + ".dvk";
        writeBytes(path, bytes);
        expectFailedLoad(replay(s, path));
    }
    // Names that are no recording file at all: none, a folder, and a FIFO that nobody writes
    // (which must not block the load).
    std::string fifo = s.root() + "/fifo.dvk";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0) << std::strerror(errno);
    for (const std::string& path : {s.root() + "/absent.dvk", s.root(), fifo}) {
        SCOPED_TRACE(path);
        expectFailedLoad(replay(s, path));
    }
}

// Loads that succeed on hostile content: the recorder must still never read past its buffer.
TEST(HostileRecording, ExtremeEntriesAndTheLargestCountReplayToTheirEnd) {
    Scratch s("hostile-loads");
    // A longer file loads its first 120004 bytes; the body is noise.
    std::string longNoise = garbage(200000, 99);
    longNoise[0] = static_cast<char>(44);
    longNoise[1] = static_cast<char>(1);  // count 300
    longNoise[2] = longNoise[3] = '\0';
    writeBytes(s.root() + "/long.dvk", longNoise);
    Replay r = replay(s, s.root() + "/long.dvk");
    expectClean(r.run);
    EXPECT_TRUE(playerMessages(r.run.err).empty()) << r.run.err;
    // A recording of n entries replays one entry per flight step and ends on the n-th.
    EXPECT_EQ(countReplaying(r.log), countReplaying(emptyReplay()) + 299);

    // Every entry at the far end of its range, and the count at the buffer's capacity, 20000
    // (the game itself writes at most 19999).
    writeBytes(s.root() + "/extreme.dvk", recordingBytes(20000, -32768, 32767, -32768));
    r = replay(s, s.root() + "/extreme.dvk");
    expectClean(r.run);
    EXPECT_TRUE(playerMessages(r.run.err).empty()) << r.run.err;
    EXPECT_EQ(countReplaying(r.log), countReplaying(emptyReplay()) + 19999);
    EXPECT_EQ(field(r.log.back(), "halted"), "1");
}

// A child process that opens `path` and holds an exclusive flock on it until released.
class LockHolder {
  public:
    explicit LockHolder(const std::string& path) {
        int ready[2], release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            int fd = ::open(path.c_str(), O_RDWR);
            char ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 1 : 0;
            if (::write(ready[1], &ok, 1) != 1)
                ::_exit(1);
            char c;
            while (::read(release[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char ok = 0;
        locked_ = ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
    }
    ~LockHolder() { release(); }
    bool locked() const { return locked_; }
    void release() {
        if (release_ >= 0)
            ::close(release_);
        release_ = -1;
        if (pid_ > 0)
            ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

TEST(RecordingInUse, AFileLockedByAnotherProcessFailsToLoadUntilItIsReleased) {
    Scratch s("locked-load");
    std::string path = s.root() + "/held.dvk";
    fs::copy_file(kKeptRecording, path);
    LockHolder holder(path);
    ASSERT_TRUE(holder.locked());
    expectFailedLoad(replay(s, path));

    holder.release();
    Replay r = replay(s, path);
    expectClean(r.run);
    EXPECT_TRUE(playerMessages(r.run.err).empty()) << r.run.err;
    EXPECT_GT(countReplaying(r.log), 4000u);
}

// A short live flight that saves to `target` at its end.
RunResult flyAndSave(const Scratch& s, const std::string& target, const RunOptions& options = {}) {
    writeBytes(s.root() + "/fly.txt", "0 key up\n160 key-down right\n200 key-up right\n");
    return s.runner(
        {"--no-gl", "--script", s.root() + "/fly.txt", "--steps", "220", "--save", target},
        options);
}

void expectFailedSave(const RunResult& r, const std::string& folder,
                      const std::set<std::string>& before) {
    expectClean(r);
    EXPECT_EQ(playerMessages(r.err), std::vector<std::string>{kSaveFailed}) << r.err;
    EXPECT_EQ(filesUnder(folder), before)
        << "a file appeared or went away (a temporary file left?)";
}

TEST(SaveFault, OverAFileInUseTheOldFileStays) {
    Scratch s("locked-save");
    std::string folder = s.root() + "/out";
    fs::create_directories(folder);
    std::string target = folder + "/held.dvk";
    fs::copy_file(kKeptRecording, target);
    const std::string old = readBytes(target);
    LockHolder holder(target);
    ASSERT_TRUE(holder.locked());
    expectFailedSave(flyAndSave(s, target), folder, filesUnder(folder));
    EXPECT_EQ(readBytes(target), old);

    // Into a folder that does not exist.
    expectFailedSave(flyAndSave(s, s.root() + "/no/such/folder/new.dvk"), s.root() + "/out",
                     filesUnder(folder));
    EXPECT_FALSE(fs::exists(s.root() + "/no"));
}

// The file size limit makes every write past 60000 bytes fail, as a full disk does; it needs no
// privileges, so it runs everywhere.
TEST(SaveFault, AWriteCutOffByTheFileSizeLimitLeavesTheOldFile) {
    Scratch s("fsize");
    std::string folder = s.root() + "/out";
    fs::create_directories(folder);
    std::string target = folder + "/old.dvk";
    fs::copy_file(kKeptRecording, target);
    const std::string old = readBytes(target);
    RunOptions limited;
    limited.fileSizeLimit = 60000;
    expectFailedSave(flyAndSave(s, target, limited), folder, filesUnder(folder));
    EXPECT_EQ(readBytes(target), old);

    // Without the limit the same save replaces the file.
    RunResult r = flyAndSave(s, target);
    expectClean(r);
    EXPECT_TRUE(playerMessages(r.err).empty()) << r.err;
    EXPECT_EQ(fs::file_size(target), 120004u);
    EXPECT_NE(readBytes(target), old);
}

// For a user other than root a folder without write permission is read-only; root needs the
// read-only mount below.
TEST(SaveFault, AFolderWithoutWritePermissionLeavesTheOldFile) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder; see SmallDisk";
    Scratch s("no-write");
    std::string folder = s.root() + "/out";
    fs::create_directories(folder);
    std::string target = folder + "/old.dvk";
    fs::copy_file(kKeptRecording, target);
    const std::string old = readBytes(target);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    expectFailedSave(flyAndSave(s, target), folder, filesUnder(folder));
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(readBytes(target), old);
}

// Mounts made here stay in this process's own mount namespace, so nothing is left mounted on the
// machine whatever happens to the test.
bool ownMountNamespace(std::string& why) {
    static int state = 0;  // 0 untried, 1 ready, -1 unavailable
    static std::string reason;
    if (state == 0) {
        if (::unshare(CLONE_NEWNS) != 0)
            reason = std::string("unshare: ") + std::strerror(errno);
        else if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            reason = std::string("private mounts: ") + std::strerror(errno);
        state = reason.empty() ? 1 : -1;
    }
    why = reason;
    return state == 1;
}

class SmallDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string why;
        if (!ownMountNamespace(why))
            GTEST_SKIP() << "cannot mount a tmpfs here (" << why << ")";
        fs::create_directories(disk);
        if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=512k,mode=0777") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        mounted = true;
        target = disk + "/old.dvk";
        fs::copy_file(kKeptRecording, target);
        old = readBytes(target);
    }
    void TearDown() override {
        if (mounted)
            ::umount2(disk.c_str(), MNT_DETACH);
    }

    Scratch s{"disk"};
    std::string disk = s.root() + "/disk";
    std::string target, old;
    bool mounted = false;
};

TEST_F(SmallDisk, ASaveIntoAFullDiskLeavesTheOldFileAndNoTemporaryFile) {
    // Fill every block that is left.
    int fd = ::open((disk + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ASSERT_EQ(errno, ENOSPC);
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
    const std::set<std::string> before = filesUnder(disk);

    expectFailedSave(flyAndSave(s, target), disk, before);
    EXPECT_EQ(readBytes(target), old);
    expectFailedSave(flyAndSave(s, disk + "/new.dvk"), disk, before);

    // With room again, the same save goes through.
    fs::remove(disk + "/filler");
    RunResult r = flyAndSave(s, target);
    expectClean(r);
    EXPECT_TRUE(playerMessages(r.err).empty()) << r.err;
    EXPECT_EQ(fs::file_size(target), 120004u);
}

TEST_F(SmallDisk, ASaveIntoAReadOnlyFolderLeavesTheOldFile) {
    ASSERT_EQ(::mount("tmpfs", disk.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);
    const std::set<std::string> before = filesUnder(disk);
    expectFailedSave(flyAndSave(s, target), disk, before);
    EXPECT_EQ(readBytes(target), old);
    expectFailedSave(flyAndSave(s, disk + "/new.dvk"), disk, before);
}

}  // namespace
