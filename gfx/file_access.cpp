// Regular files opened for reading, and the note of the last file failure.
#include "gfx/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string lastFailure;

}  // namespace

const char* notRegularFileReason(unsigned mode) {
    if (S_ISDIR(mode))
        return "not a regular file (a folder)";
    if (S_ISFIFO(mode))
        return "not a regular file (a FIFO)";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "not a regular file (a device)";
    if (S_ISSOCK(mode))
        return "not a regular file (a socket)";
    return "not a regular file";
}

std::string fileFailure(const char* verb, const std::string& path, const std::string& reason) {
    return std::string("cannot ") + verb + " " + path + ": " + reason;
}

std::string fileFailure(const char* verb, const std::string& path, int errorNumber) {
    return fileFailure(verb, path, std::strerror(errorNumber));
}

int openRegularFile(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = fileFailure("read", path, ENOENT);
        return -1;
    }
    // O_NONBLOCK: a FIFO with no writer would otherwise hold the open for ever, and so would some
    // devices. It means nothing for a regular file's reads, but it is cleared all the same.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = fileFailure("read", path, errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        error = fileFailure("read", path, code);
        ::close(fd);
        errno = code;
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error = fileFailure("read", path, notRegularFileReason(info.st_mode));
        ::close(fd);
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

void noteFileFailure(const std::string& detail) {
    lastFailure = detail;
}

std::string takeFileFailure() {
    std::string detail;
    detail.swap(lastFailure);
    return detail;
}
