// The program's command line: the options it knows, parsed into one record without touching the
// platform, so the entry point can answer --help and --version before any window opens.
#pragma once

#include <optional>
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
    // The picture's settings for this run; unset: as the settings file says.
    std::optional<bool> classic;     // --classic / --smooth
    std::optional<int> fps;          // --fps N: frames a second at most, 0 the display's rate
    std::optional<bool> vsync;       // --vsync on|off
    std::optional<bool> fill;        // --fill: the picture fills the window, not kept 4:3
    std::optional<int> msaa;         // --msaa N: samples a pixel (0 none)
    std::optional<bool> fullscreen;  // --fullscreen / --window
    // --no-focus-pause: fly on when the window loses focus (this run only).
    bool noFocusPause = false;
    // --ghost FILE or --ghost best: the recording a ghost plane flies (empty: the setting's).
    std::string ghost;
};

// Ranges of the numbered settings.
constexpr int kMaxFps = 1000;
constexpr int kMaxMsaa = 16;

// Parses argv[1..]. On failure returns false with a message for the player in `error`.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error);

// The text --help prints, for the program named `program`.
std::string usageText(const std::string& program);
// The line --version prints.
std::string versionText();

// Exit codes of the program besides the game's own 0.
constexpr int kExitUsage = 2;  // a command line that cannot be understood
