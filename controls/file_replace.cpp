// Safe replacement of a file's content through a temporary file and a rename.
#include "controls/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "gfx/file_access.h"

namespace {

// Symbolic links followed before giving up, as the kernel does.
constexpr int kMaxLinks = 40;
// A temporary file this old is no save's work in progress, whoever made it.
constexpr time_t kStaleSeconds = 60;

// A descriptor closed on every way out.
class FileHandle {
  public:
    explicit FileHandle(int fd = -1) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

// Another copy of the game reading or writing the same file holds this lock.
bool lockExclusive(int fd) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file that `path` names once every symbolic link on its last component is followed; a
// dangling link names the file it would create, as a plain write through it would.
bool followLinks(const std::string& path, std::string& target, int& errorNumber) {
    target = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;  // a file that is not there yet is made at this name
        std::string link(size_t(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n < 0) {
            errorNumber = errno;
            return false;
        }
        link.resize(size_t(n));
        target = link.front() == '/' ? link : folderOf(target) + "/" + link;
    }
    errorNumber = ELOOP;
    return false;
}

bool isOurTemporaryName(const std::string& name, pid_t& pid) {
    const std::string prefix = kTemporaryPrefix;
    const std::string suffix = kTemporarySuffix;
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix)) {
        return false;
    }
    const std::string middle =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos ||
        middle.find_first_not_of("0123456789-") != std::string::npos) {
        return false;
    }
    pid = static_cast<pid_t>(std::strtol(middle.substr(0, dash).c_str(), nullptr, 10));
    return pid > 0;
}

bool processEnded(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// A fresh temporary file in `folder`, made with O_EXCL so that it never reuses another's file.
int createTemporaryIn(const std::string& folder, std::string& tempPath) {
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "/" + kTemporaryPrefix + std::to_string(::getpid()) + "-" +
                   std::to_string(serial++) + kTemporarySuffix;
        const int fd =
            ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Whether the caller may write the existing file, as a plain open for writing would decide; root,
// whom nothing stops, is still refused a file that has no write permission for anybody.
bool mayWrite(const std::string& target, const struct stat& info) {
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return false;
    return ::geteuid() != 0 || (info.st_mode & 0222) != 0;
}

}  // namespace

int removeStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        pid_t pid = 0;
        if (!isOurTemporaryName(entry->d_name, pid))
            continue;
        const std::string path = folder + "/" + entry->d_name;
        FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat info {};
        if (!file.valid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid()) {
            continue;
        }
        // A save in progress holds the lock on its temporary file.
        if (!lockExclusive(file.get()))
            continue;
        if (processEnded(pid) || now - info.st_mtime > kStaleSeconds) {
            if (::unlink(path.c_str()) == 0)
                ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}

bool replaceFileContents(const std::string& path, const uint8_t* data, size_t size,
                         std::string& error) {
    auto fail = [&](int errorNumber) {
        error = fileFailure("write", path, errorNumber);
        return false;
    };
    // A path that names no file would put the temporary file somewhere unexpected.
    if (path.empty() || path.back() == '/')
        return fail(EISDIR);

    std::string target;
    int linkError = 0;
    if (!followLinks(path, target, linkError))
        return fail(linkError);

    // The existing file: refused unless it is a regular file we may write; locked for the whole
    // save, so that no other copy of the game reads it while it is replaced.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return fail(errno);
    if (exists) {
        if (!S_ISREG(existing.st_mode)) {
            error = fileFailure("write", path, notRegularFileReason(existing.st_mode));
            return false;
        }
        if (!mayWrite(target, existing))
            return fail(EACCES);
    }
    FileHandle lock(exists ? ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1);
    // A file we may write but not read cannot be locked; it is replaced all the same.
    if (lock.valid() && !lockExclusive(lock.get())) {
        error = fileFailure("write", path, "another copy of the game is using it");
        return false;
    }

    const std::string folder = folderOf(target);
    removeStaleTemporaries(folder);
    std::string tempPath;
    FileHandle temp(createTemporaryIn(folder, tempPath));
    if (!temp.valid())
        return fail(errno);
    int writeError = 0;
    bool written = lockExclusive(temp.get());
    if (written && exists) {
        // Owner and group first: changing them may clear the set-id bits that the mode restores.
        if (::fchown(temp.get(), existing.st_uid, existing.st_gid) != 0) {
            [[maybe_unused]] const int groupOnly = ::fchown(temp.get(), uid_t(-1), existing.st_gid);
        }
        written = ::fchmod(temp.get(), existing.st_mode & 07777) == 0;
    }
    // The old file stays as it was until the new one is complete on disk.
    written = written && writeAll(temp.get(), data, size) && ::fsync(temp.get()) == 0;
    if (!written)
        writeError = errno;
    const bool closed = temp.close();
    if (written && !closed)
        writeError = errno;
    if (!written || !closed || ::rename(tempPath.c_str(), target.c_str()) != 0) {
        if (writeError == 0)
            writeError = errno;
        ::unlink(tempPath.c_str());
        return fail(writeError);
    }

    // Make the rename itself durable; the file is already complete, so a failure here is not
    // reported.
    FileHandle folderHandle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderHandle.valid())
        ::fsync(folderHandle.get());
    return true;
}
