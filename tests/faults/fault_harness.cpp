// Child processes in scratch folders for the fault-injection tests: start, wait with a timeout,
// capture stderr; scratch folders with the media; file and stderr helpers.
#include "fault_harness.h"

#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "headless/runner_helpers.h"

namespace fs = std::filesystem;

const std::string& runnerPath() {
    return headless_test::kRunner;
}

const std::string& gamePath() {
    static const std::string path = std::string(DRAVIK_BINARY_DIR) + "/dravik";
    return path;
}

// Under AddressSanitizer the leak check runs at exit, after Mesa has unloaded its GL driver: what
// the driver's globals held then looks leaked. Preloading the driver keeps it mapped to the end;
// the sanitizer's runtime must come first in the preload list. Outside libraries' own lasting
// allocations are suppressed by name.
std::vector<std::string> sanitizerEnvironment() {
#if defined(__SANITIZE_ADDRESS__)
    std::string runtime;
    dl_iterate_phdr(
        [](struct dl_phdr_info* info, size_t, void* out) {
            std::string name = info->dlpi_name ? info->dlpi_name : "";
            if (name.find("libasan.so") == std::string::npos)
                return 0;
            *static_cast<std::string*>(out) = name;
            return 1;
        },
        &runtime);
    std::vector<std::string> env;
    if (!runtime.empty() && !std::getenv("LD_PRELOAD")) {
        std::string preload = runtime;
        for (const char* lib : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                "/usr/lib/x86_64-linux-gnu/libEGL_mesa.so.0"})
            if (fs::exists(lib))
                preload += std::string(" ") + lib;
        env.push_back("LD_PRELOAD=" + preload);
    }
    if (!std::getenv("LSAN_OPTIONS"))
        env.push_back(std::string("LSAN_OPTIONS=suppressions=") + DRAVIK_SOURCE_DIR +
                      "/tests/faults/outside_leaks.supp:print_suppressions=0");
    return env;
#else
    return {};
#endif
}

pid_t startProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& folder, const std::string& errFile,
                   const RunOptions& options) {
    // Everything the child needs is made before the fork: after it only async-signal-safe calls.
    std::vector<std::string> argStrings;
    argStrings.push_back(program);
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> extra = sanitizerEnvironment();
    extra.insert(extra.end(), options.env.begin(), options.env.end());
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& mine : extra)
            if (mine.substr(0, mine.find('=')) == name)
                replaced = true;
        if (!replaced)
            envStrings.push_back(entry);
    }
    envStrings.insert(envStrings.end(), extra.begin(), extra.end());
    std::vector<char*> envp;
    for (std::string& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    int errFd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (errFd < 0 || nullFd < 0) {
        if (errFd >= 0)
            ::close(errFd);
        if (nullFd >= 0)
            ::close(nullFd);
        return -1;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::dup2(nullFd, 0);
        ::dup2(nullFd, 1);
        ::dup2(errFd, 2);
        if (options.fileSizeLimit) {
            // Ignored, SIGXFSZ turns a write past the limit into an EFBIG error.
            ::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {options.fileSizeLimit, options.fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(126);
        }
        if (options.addressSpaceLimit) {
            struct rlimit limit = {options.addressSpaceLimit, options.addressSpaceLimit};
            if (::setrlimit(RLIMIT_AS, &limit) != 0)
                ::_exit(126);
        }
        if (::chdir(folder.c_str()) != 0)
            ::_exit(126);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(errFd);
    ::close(nullFd);
    return pid;
}

RunResult finishProgram(pid_t pid, const std::string& errFile, int timeoutSeconds) {
    RunResult r;
    if (pid < 0)
        return r;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    int status = 0;
    for (;;) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return r;
        if (std::chrono::steady_clock::now() > deadline) {
            r.timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    r.err = readBytes(errFile);
    return r;
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& folder, const RunOptions& options) {
    static std::atomic<unsigned> serial{0};
    std::string errFile =
        (fs::temp_directory_path() /
         ("dravik-faults-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".err"))
            .string();
    RunResult r = finishProgram(startProgram(program, args, folder, errFile, options), errFile,
                                options.timeoutSeconds);
    ::unlink(errFile.c_str());
    return r;
}

Scratch::Scratch(const std::string& name) {
    static unsigned serial = 0;
    root_ = (fs::temp_directory_path() / ("dravik-faults-" + std::to_string(::getpid()) + "-" +
                                          name + "-" + std::to_string(serial++)))
                .string();
    game_ = root_ + "/game";
    std::error_code ec;
    fs::remove_all(root_, ec);
    fs::create_directories(game_);
    fs::copy(std::string(DRAVIK_BINARY_DIR) + "/media", game_ + "/media",
             fs::copy_options::recursive);
}

Scratch::~Scratch() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

RunResult Scratch::runner(const std::vector<std::string>& args, const RunOptions& options) const {
    return runProgram(runnerPath(), args, game_, options);
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

std::string garbage(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    uint32_t state = seed;
    for (char& c : out) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return out;
}

std::string recordingBytes(uint32_t count, int16_t turn, int16_t vertical, int16_t speedInput) {
    std::string out(4 + 20000 * 6, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(count >> (8 * i));
    for (size_t e = 0; e < 20000; ++e) {
        int16_t values[3] = {turn, vertical, speedInput};
        for (int v = 0; v < 3; ++v) {
            out[4 + e * 6 + v * 2] = static_cast<char>(static_cast<uint16_t>(values[v]));
            out[4 + e * 6 + v * 2 + 1] = static_cast<char>(static_cast<uint16_t>(values[v]) >> 8);
        }
    }
    return out;
}

std::set<std::string> filesUnder(const std::string& folder) {
    std::set<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = fs::relative(it->path(), folder).string();
        out.insert(it->is_directory() ? rel + "/" : rel);
    }
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> playerMessages(const std::string& err) {
    std::vector<std::string> out;
    for (const std::string& line : lines(err))
        if (line.rfind("Dravik: ", 0) == 0)
            out.push_back(line.substr(8));
    return out;
}

bool sanitizerReported(const std::string& err) {
    return err.find("Sanitizer") != std::string::npos ||
           err.find("runtime error:") != std::string::npos ||
           err.find("Assertion") != std::string::npos;
}

std::string field(const std::string& line, const std::string& key) {
    return headless_test::field(line, key);
}

std::string describe(const RunResult& r) {
    std::ostringstream s;
    s << "exit " << r.exitCode << ", signal " << r.signal << (r.timedOut ? ", timed out" : "")
      << ", stderr:\n"
      << r.err;
    return s.str();
}
