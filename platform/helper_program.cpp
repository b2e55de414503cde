// Helper programs run with fork and execvp, their output read through a pipe while waiting.
#include "platform/helper_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// How often the waiting side looks up from the pipe to let the window repaint.
constexpr int kWaitSliceMs = 10;
// A helper asked to stop gets this long before it is killed.
constexpr int kStopGraceMs = 1000;

void closeQuietly(int fd) {
    if (fd >= 0)
        ::close(fd);
}

// Reaps the child; false while it still runs (with `block` false).
bool reap(pid_t pid, int& status, bool block) {
    for (;;) {
        const pid_t got = ::waitpid(pid, &status, block ? 0 : WNOHANG);
        if (got == pid)
            return true;
        if (got == 0)
            return false;
        if (errno != EINTR) {
            status = -1;
            return true;  // nothing left to wait for
        }
    }
}

void stopChild(pid_t pid, int& status) {
    ::kill(pid, SIGTERM);
    for (int waited = 0; waited < kStopGraceMs; waited += kWaitSliceMs) {
        if (reap(pid, status, false))
            return;
        ::usleep(kWaitSliceMs * 1000);
    }
    ::kill(pid, SIGKILL);
    reap(pid, status, true);
}

}  // namespace

HelperReply runHelper(const std::string& program, const std::vector<std::string>& args,
                      const KeepWaiting& keepWaiting) {
    HelperReply reply;
    const char* name = program.c_str();
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::vector<std::string> owned;
    owned.reserve(args.size() + 1);
    owned.push_back(program);
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : owned) argv.push_back(a.data());
    argv.push_back(nullptr);

    int output[2] = {-1, -1};
    int execError[2] = {-1, -1};  // the child reports a failed exec here; exec closes it
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(execError, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "Dravik: cannot run %s: pipe: %s\n", name, std::strerror(errno));
        for (int fd : {output[0], output[1], execError[0], execError[1]}) closeQuietly(fd);
        return reply;
    }

    const pid_t pid = ::fork();
    if (pid < 0) {
        std::fprintf(stderr, "Dravik: cannot run %s: fork: %s\n", name, std::strerror(errno));
        for (int fd : {output[0], output[1], execError[0], execError[1]}) closeQuietly(fd);
        return reply;
    }
    if (pid == 0) {
        if (output[1] == STDOUT_FILENO) {
            ::fcntl(STDOUT_FILENO, F_SETFD, 0);
        } else {
            ::dup2(output[1], STDOUT_FILENO);
        }
        // The game's own descriptors (display connection, audio, files) stay out of the helper.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        // The game's handling of SIGTERM and SIGINT is not the helper's.
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
        ::execvp(argv[0], argv.data());
        const int code = errno;
        [[maybe_unused]] const ssize_t ignored = ::write(execError[1], &code, sizeof code);
        ::_exit(127);
    }

    ::close(output[1]);
    ::close(execError[1]);
    int code = 0;
    ssize_t got;
    do {
        got = ::read(execError[0], &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    ::close(execError[0]);
    int status = 0;
    if (got == static_cast<ssize_t>(sizeof code)) {
        ::close(output[0]);
        reap(pid, status, true);
        reply.status = code == ENOENT ? HelperStatus::Missing : HelperStatus::Failed;
        if (reply.status == HelperStatus::Failed)
            std::fprintf(stderr, "Dravik: cannot run %s: %s\n", name, std::strerror(code));
        return reply;
    }

    // Read what it prints until it closes its output, then wait for its end; between the two the
    // window is painted.
    bool fits = true;
    bool readFailed = false;
    bool interrupted = false;
    bool ended = false;
    int fd = output[0];
    while (!ended) {
        if (fd >= 0) {
            pollfd ready{fd, POLLIN, 0};
            const int n = ::poll(&ready, 1, keepWaiting ? kWaitSliceMs : -1);
            if (n > 0) {
                char buffer[1024];
                const ssize_t r = ::read(fd, buffer, sizeof buffer);
                if (r > 0) {
                    const size_t room = kHelperOutputLimit - reply.output.size();
                    reply.output.append(buffer, std::min(room, static_cast<size_t>(r)));
                    fits = fits && static_cast<size_t>(r) <= room;
                } else if (r == 0 || errno != EINTR) {
                    readFailed = r < 0;
                    ::close(fd);
                    fd = -1;
                }
            }
        } else if (keepWaiting) {
            ended = reap(pid, status, false);
            if (!ended)
                ::usleep(kWaitSliceMs * 1000);
        } else {
            ended = reap(pid, status, true);
        }
        if (!ended && keepWaiting && !keepWaiting()) {
            interrupted = true;
            stopChild(pid, status);
            break;
        }
    }
    closeQuietly(fd);

    if (interrupted) {
        reply.status = HelperStatus::Interrupted;
        reply.output.clear();
        return reply;
    }
    if (!fits || readFailed) {
        if (!fits)
            std::fprintf(stderr, "Dravik: %s printed more than %zu bytes\n", name,
                         kHelperOutputLimit);
        reply.status = HelperStatus::Failed;
        reply.output.clear();
        return reply;
    }
    if (status >= 0 && WIFEXITED(status)) {
        const int exitCode = WEXITSTATUS(status);
        // 1: Cancel, No or the dialog closed; 5: zenity's timeout ran out.
        if (exitCode == 0) {
            reply.status = HelperStatus::Accepted;
        } else if (exitCode == 1 || exitCode == 5) {
            reply.status = HelperStatus::Declined;
        } else {
            reply.status = HelperStatus::Failed;
        }
    } else {
        reply.status = HelperStatus::Failed;
    }
    if (reply.status != HelperStatus::Accepted)
        reply.output.clear();
    return reply;
}
