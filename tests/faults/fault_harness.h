// Running the headless runner and the game as child processes in scratch folders that hold a copy
// of the media, with their stderr captured, for the fault-injection tests.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

const std::string& runnerPath();  // the build's dravik-headless
const std::string& gamePath();    // the build's dravik

struct RunResult {
    int exitCode = -1;  // -1 unless the child exited normally
    int signal = 0;     // the signal that ended it, 0 if none
    bool timedOut = false;
    std::string err;  // everything it wrote to stderr
};

struct RunOptions {
    std::vector<std::string> env;    // NAME=VALUE set in the child only
    uint64_t fileSizeLimit = 0;      // RLIMIT_FSIZE in bytes (SIGXFSZ ignored); 0: no limit
    uint64_t addressSpaceLimit = 0;  // RLIMIT_AS in bytes; 0: no limit
    int timeoutSeconds = 120;
};

// Starts `program` with `args` in `folder`, stderr to `errFile`, stdout to /dev/null. The pid, or
// -1 when it could not be started.
pid_t startProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& folder, const std::string& errFile,
                   const RunOptions& options = {});
// Waits for a child from startProgram; kills it when the timeout runs out.
RunResult finishProgram(pid_t pid, const std::string& errFile, int timeoutSeconds);
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& folder, const RunOptions& options = {});

// A fresh folder under the temporary directory: `game()` is the current folder for the child and
// holds media/ copied from the build; the rest of the folder is for the test's own files.
class Scratch {
  public:
    explicit Scratch(const std::string& name);
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& root() const { return root_; }
    const std::string& game() const { return game_; }
    std::string media(const std::string& file) const { return game_ + "/media/" + file; }
    RunResult runner(const std::vector<std::string>& args, const RunOptions& options = {}) const;

  private:
    std::string root_;
    std::string game_;
};

std::string readBytes(const std::string& path);
bool writeBytes(const std::string& path, const std::string& bytes);
// The same bytes for the same size and seed on every run.
std::string garbage(size_t size, uint32_t seed);
// A whole 120004-byte recording file: the count, then all 20000 entries set to one value.
std::string recordingBytes(uint32_t count, int16_t turn, int16_t vertical, int16_t speedInput);

// Every path under `folder`, relative to it (folders end with '/').
std::set<std::string> filesUnder(const std::string& folder);
// The lines of stderr that are messages to the player ("Dravik: ..."), without the prefix.
std::vector<std::string> playerMessages(const std::string& err);
// Any sign of a sanitizer report or a failed check in stderr.
bool sanitizerReported(const std::string& err);
std::vector<std::string> lines(const std::string& text);
// The value of one number or flag in a state-log line.
std::string field(const std::string& line, const std::string& key);
// A short description of how a run ended, for failure messages.
std::string describe(const RunResult& r);
