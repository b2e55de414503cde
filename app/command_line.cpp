// The program's command line: options first come, first served; one recording file at most.
#include "app/command_line.h"

#ifndef DRAVIK_VERSION
#define DRAVIK_VERSION "unknown"
#endif

namespace {

struct OptionName {
    const char* shortName;  // "" when the option has none
    const char* longName;
    CommandLine::Action action;
    // A switch the option turns on instead of choosing the action; null for the actions.
    bool CommandLine::*flag = nullptr;
};

// New options go here (and into usageText).
constexpr OptionName kOptions[] = {
    {"-h", "--help", CommandLine::Action::Help},
    {"-V", "--version", CommandLine::Action::Version},
    {"", "--no-focus-pause", CommandLine::Action::Play, &CommandLine::noFocusPause},
};

}  // namespace

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    out = CommandLine{};
    bool optionsEnded = false;
    bool ghostNext = false;
    for (const std::string& arg : args) {
        if (ghostNext) {
            ghostNext = false;
            if (arg.empty()) {
                error = "--ghost needs a recording file or 'best'";
                return false;
            }
            out.ghost = arg;
            continue;
        }
        if (!optionsEnded && (arg == "--ghost" || arg.rfind("--ghost=", 0) == 0)) {
            ghostNext = arg == "--ghost";
            if (!ghostNext) {
                out.ghost = arg.substr(8);
                if (out.ghost.empty()) {
                    error = "--ghost needs a recording file or 'best'";
                    return false;
                }
            }
            continue;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            const OptionName* known = nullptr;
            for (const OptionName& option : kOptions) {
                if ((*option.shortName && arg == option.shortName) || arg == option.longName)
                    known = &option;
            }
            if (!known) {
                error = "unknown option '" + arg + "'";
                return false;
            }
            if (known->flag) {
                out.*(known->flag) = true;
                continue;
            }
            // --help wins over --version, whatever their order.
            if (out.action != CommandLine::Action::Help)
                out.action = known->action;
            continue;
        }
        if (arg.empty()) {
            error = "an empty file name was given";
            return false;
        }
        if (!out.recording.empty()) {
            error = "only one recording can be replayed (got '" + out.recording + "' and '" + arg +
                    "')";
            return false;
        }
        out.recording = arg;
    }
    if (ghostNext) {
        error = "--ghost needs a recording file or 'best'";
        return false;
    }
    return true;
}

std::string usageText(const std::string& program) {
    return "Usage: " + program +
           " [OPTION]... [RECORDING.dvk]\n"
           "A small arcade flying game: fly low over a field of cones and through four targets,\n"
           "as fast as you can.\n"
           "\n"
           "With RECORDING, the game starts with the keyboard as its controller and replays the\n"
           "recorded flight, as F5 does.\n"
           "\n"
           "Options:\n"
           "  -h, --help        show this help and exit\n"
           "  -V, --version     show the version and exit\n"
           "  --no-focus-pause  fly on when the window loses focus (by default the flight\n"
           "                    pauses as F1 does; the setting pause_on_focus_loss)\n"
           "  --ghost FILE|best a ghost plane flies that recording (or the best flight kept)\n"
           "                    beside every flight; G turns it on or off (the setting ghost)\n"
           "\n"
           "Keys: F1 pause, F2 replay, F3 new game, F5 load a recording, F6 save it (F2, F3, F5\n"
           "and F6 act when paused, in the first intro or on the result screen), Ctrl chase or\n"
           "cockpit view, G ghost on or off, M sound on or off, Alt+Enter or F11 full screen, Esc "
           "quit.\n"
           "\n"
           "Exit status: 0 when the game ends (also when it could not start, which it reports in "
           "a\n"
           "message), 1 when the display goes away under it, 2 for a command line it does not\n"
           "understand.\n";
}

std::string versionText() {
    return "dravik " DRAVIK_VERSION "\n";
}
