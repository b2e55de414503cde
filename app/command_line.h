// The program's command line: the options it knows, parsed into one record without touching the
// platform, so the entry point can answer --help and --version before any window opens.
#pragma once

#include <string>
#include <vector>

struct CommandLine {
    enum class Action {
        Play,     // start the game
        Help,     // print the usage and exit
        Version,  // print the version and exit
    };
    Action action = Action::Play;
    // A recording to load and replay once the game has started (empty: none).
    std::string recording;
    // --no-focus-pause: fly on when the window loses focus (this run only).
    bool noFocusPause = false;
    // --ghost FILE or --ghost best: the recording a ghost plane flies (empty: the setting's).
    std::string ghost;
};

// Parses argv[1..]. On failure returns false with a message for the player in `error`.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// The text --help prints, for the program named `program`.
std::string usageText(const std::string& program);
// The line --version prints.
std::string versionText();

// Exit codes of the program besides the game's own 0.
constexpr int kExitUsage = 2;  // a command line that cannot be understood
