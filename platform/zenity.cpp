// Message boxes and recording file dialogs through zenity, run with fork and execvp.
#include "platform/zenity.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/dialog_paths.h"

std::vector<std::string> messageBoxArgs(const std::string& text, const std::string& caption) {
    return {"--info", "--no-wrap", "--no-markup", "--title=" + caption, "--text=" + text};
}

static std::vector<std::string> fileSelectionArgs(const FileDialog& dialog) {
    std::vector<std::string> args{"--file-selection", "--title=" + dialog.title};
    if (!dialog.filterPattern.empty()) {
        const std::string name =
            dialog.filterName.empty() ? dialog.filterPattern : dialog.filterName;
        args.push_back("--file-filter=" + name + " | " + dialog.filterPattern);
    }
    return args;
}

std::vector<std::string> openDialogArgs(const FileDialog& dialog) {
    return fileSelectionArgs(dialog);
}

std::vector<std::string> saveDialogArgs(const FileDialog& dialog) {
    std::vector<std::string> args = fileSelectionArgs(dialog);
    args.push_back("--save");
    if (dialog.confirmOverwrite)
        args.push_back("--confirm-overwrite");
    return args;
}

std::vector<std::string> overwriteQuestionArgs(const std::string& path, const std::string& title) {
    return {"--question", "--no-wrap", "--no-markup", "--title=" + title,
            "--text=" + path + " already exists.\nDo you want to replace it?"};
}

static void closeQuietly(int fd) {
    if (fd >= 0)
        ::close(fd);
}

// Reads until EOF, keeping at most `limit` bytes. False when more came or reading failed.
static bool readBounded(int fd, std::string& out, size_t limit) {
    bool fits = true;
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return fits;
        const size_t room = limit - out.size();
        if (static_cast<size_t>(n) > room) {
            out.append(buffer, room);
            fits = false;
        } else {
            out.append(buffer, static_cast<size_t>(n));
        }
    }
}

static bool waitForChild(pid_t pid, int& status) {
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

ZenityReply runZenity(const std::vector<std::string>& args) {
    ZenityReply reply;
    // Everything the child needs is made before fork: after it only async-signal-safe calls.
    std::vector<std::string> owned;
    owned.reserve(args.size() + 1);
    owned.push_back("zenity");
    owned.insert(owned.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : owned) argv.push_back(a.data());
    argv.push_back(nullptr);

    int output[2] = {-1, -1};
    int execError[2] = {-1, -1};  // the child reports a failed exec here; exec closes it
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(execError, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "Dravik: cannot run zenity: pipe: %s\n", std::strerror(errno));
        for (int fd : {output[0], output[1], execError[0], execError[1]}) closeQuietly(fd);
        return reply;
    }

    const pid_t pid = ::fork();
    if (pid < 0) {
        std::fprintf(stderr, "Dravik: cannot run zenity: fork: %s\n", std::strerror(errno));
        for (int fd : {output[0], output[1], execError[0], execError[1]}) closeQuietly(fd);
        return reply;
    }
    if (pid == 0) {
        if (output[1] == STDOUT_FILENO) {
            ::fcntl(STDOUT_FILENO, F_SETFD, 0);
        } else {
            ::dup2(output[1], STDOUT_FILENO);
        }
        // The game's own descriptors (display connection, audio, files) stay out of zenity.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
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
    const bool execFailed = got == static_cast<ssize_t>(sizeof code);

    const bool fits = execFailed || readBounded(output[0], reply.output, kZenityOutputLimit);
    ::close(output[0]);
    int status = 0;
    const bool waited = waitForChild(pid, status);

    if (execFailed) {
        reply.status = code == ENOENT ? ZenityStatus::Missing : ZenityStatus::Failed;
        if (reply.status == ZenityStatus::Failed) {
            std::fprintf(stderr, "Dravik: cannot run zenity: %s\n", std::strerror(code));
        }
        reply.output.clear();
        return reply;
    }
    if (!waited || !fits) {
        if (!fits)
            std::fprintf(stderr, "Dravik: zenity printed more than %zu bytes\n",
                         kZenityOutputLimit);
        reply.status = ZenityStatus::Failed;
        reply.output.clear();
        return reply;
    }
    if (WIFEXITED(status)) {
        const int exitCode = WEXITSTATUS(status);
        // 1: Cancel, No or the dialog closed; 5: the dialog's timeout ran out.
        if (exitCode == 0) {
            reply.status = ZenityStatus::Accepted;
        } else if (exitCode == 1 || exitCode == 5) {
            reply.status = ZenityStatus::Declined;
        } else {
            reply.status = ZenityStatus::Failed;
        }
    } else {
        reply.status = ZenityStatus::Failed;
    }
    if (reply.status != ZenityStatus::Accepted)
        reply.output.clear();
    return reply;
}

bool dialogsDisabled() {
    const char* value = std::getenv("DRAVIK_NO_DIALOGS");
    return value && std::strcmp(value, "1") == 0;
}

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

// The path of an accepted file selection; empty when the dialog gave none.
static std::string chosenPath(const ZenityReply& reply) {
    if (reply.status != ZenityStatus::Accepted)
        return {};
    return withoutTrailingNewline(reply.output);
}

bool zenityOpenFile(const FileDialog& dialog, std::string& path) {
    const std::string chosen = chosenPath(runZenity(openDialogArgs(dialog)));
    if (chosen.empty())
        return false;
    if (dialog.mustExist && !isRegularFile(chosen)) {
        std::fprintf(stderr, "Dravik: %s is not an existing file\n", chosen.c_str());
        return false;
    }
    path = chosen;
    return true;
}

bool zenitySaveFile(const FileDialog& dialog, std::string& path) {
    for (;;) {
        const std::string chosen = chosenPath(runZenity(saveDialogArgs(dialog)));
        if (chosen.empty())
            return false;
        const std::string full = withDefaultExtension(chosen, dialog.defaultExtension);
        // zenity confirmed the name without the extension; the name with it is asked about here.
        if (full != chosen && dialog.confirmOverwrite && pathExists(full)) {
            const ZenityReply answer = runZenity(overwriteQuestionArgs(full, dialog.title));
            if (answer.status == ZenityStatus::Declined)
                continue;
            if (answer.status != ZenityStatus::Accepted)
                return false;
        }
        path = full;
        return true;
    }
}
