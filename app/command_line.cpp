// The program's command line: options first come, first served; one recording file at most.
#include "app/command_line.h"

#include "app/settings.h"

#ifndef DRAVIK_VERSION
#define DRAVIK_VERSION "unknown"
#endif

namespace {

// What an option sets: the action, a picture setting with a fixed value, or one with a value of
// its own (the next argument, or after '=').
enum class Sets {
    Action,
    Classic,
    Smooth,
    Fps,
    Vsync,
    Fill,
    Msaa,
    Fullscreen,
    Window,
    NoFocusPause,
    Ghost
};

struct OptionName {
    const char* shortName;  // "" when the option has none
    const char* longName;
    CommandLine::Action action;
    Sets sets = Sets::Action;
};

// New options go here (and into usageText).
constexpr OptionName kOptions[] = {
    {"-h", "--help", CommandLine::Action::Help},
    {"-V", "--version", CommandLine::Action::Version},
    {"", "--classic", CommandLine::Action::Play, Sets::Classic},
    {"", "--smooth", CommandLine::Action::Play, Sets::Smooth},
    {"", "--fps", CommandLine::Action::Play, Sets::Fps},
    {"", "--vsync", CommandLine::Action::Play, Sets::Vsync},
    {"", "--fill", CommandLine::Action::Play, Sets::Fill},
    {"", "--msaa", CommandLine::Action::Play, Sets::Msaa},
    {"", "--fullscreen", CommandLine::Action::Play, Sets::Fullscreen},
    {"", "--window", CommandLine::Action::Play, Sets::Window},
    {"", "--no-focus-pause", CommandLine::Action::Play, Sets::NoFocusPause},
    {"", "--ghost", CommandLine::Action::Play, Sets::Ghost},
};

bool takesValue(Sets sets) {
    return sets == Sets::Fps || sets == Sets::Vsync || sets == Sets::Msaa || sets == Sets::Ghost;
}

bool parseWhole(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = std::stoi(text);
    return out >= low && out <= high;
}

// Applies one picture option with its value; false with `error` for a bad value.
bool applyOption(Sets sets, const std::string& name, const std::string& value, CommandLine& out,
                 std::string& error) {
    int n = 0;
    bool on = false;
    switch (sets) {
        case Sets::Action:
            break;
        case Sets::Classic:
        case Sets::Smooth:
            out.classic = sets == Sets::Classic;
            break;
        case Sets::Fill:
            out.fill = true;
            break;
        case Sets::NoFocusPause:
            out.noFocusPause = true;
            break;
        case Sets::Ghost:
            if (value.empty()) {
                error = name + " needs a recording file or 'best'";
                return false;
            }
            out.ghost = value;
            break;
        case Sets::Fullscreen:
        case Sets::Window:
            out.fullscreen = sets == Sets::Fullscreen;
            break;
        case Sets::Fps:
            if (!parseWhole(value, 0, kMaxFps, n)) {
                error = name + " needs a number of frames a second from 0 to " +
                        std::to_string(kMaxFps) + " (0: the display's rate), not '" + value + "'";
                return false;
            }
            out.fps = n;
            break;
        case Sets::Msaa:
            if (!parseWhole(value, 0, kMaxMsaa, n)) {
                error = name + " needs a number of samples from 0 to " + std::to_string(kMaxMsaa) +
                        ", not '" + value + "'";
                return false;
            }
            out.msaa = n;
            break;
        case Sets::Vsync:
            if (!parseFlag(value, on)) {
                error = name + " needs on or off, not '" + value + "'";
                return false;
            }
            out.vsync = on;
            break;
    }
    return true;
}

}  // namespace

bool parseCommandLine(const std::vector<std::string>& args, CommandLine& out, std::string& error) {
    out = CommandLine{};
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            // An option with a value may also be written --name=value.
            size_t equals = arg.find('=');
            std::string name = arg.substr(0, equals);
            const OptionName* known = nullptr;
            for (const OptionName& option : kOptions) {
                if ((*option.shortName && arg == option.shortName) || arg == option.longName)
                    known = &option;
                else if (name == option.longName && takesValue(option.sets))
                    known = &option;
            }
            if (!known) {
                error = "unknown option '" + arg + "'";
                return false;
            }
            if (known->longName != arg && known->shortName != arg)
                equals = arg.find('=');
            else
                equals = std::string::npos;
            std::string value;
            if (takesValue(known->sets)) {
                if (equals != std::string::npos) {
                    value = arg.substr(equals + 1);
                } else if (i + 1 < args.size()) {
                    value = args[++i];
                } else {
                    error = "option '" + name + "' needs a value";
                    return false;
                }
            }
            if (!applyOption(known->sets, name, value, out, error))
                return false;
            if (known->sets != Sets::Action)
                continue;
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
           "  -h, --help       show this help and exit\n"
           "  -V, --version    show the version and exit\n"
           "      --classic    the original picture and pace: 640x480, one frame a step\n"
           "      --smooth     frames between the steps at the display's pace, drawn sharp\n"
           "                   (the default, unless the GL renderer is a software one)\n"
           "      --fps N      at most N frames a second (0: the display's refresh rate)\n"
           "      --vsync on|off  wait for the display's refresh when presenting\n"
           "      --fill       stretch the picture over the window instead of keeping 4:3\n"
           "      --msaa N     N samples a pixel for smoother edges (0: none)\n"
           "      --fullscreen, --window  start in full screen or in a window\n"
           "      --no-focus-pause  fly on when the window loses focus (by default the\n"
           "                   flight pauses as F1 does; the setting pause_on_focus_loss)\n"
           "      --ghost FILE|best  a ghost plane flies that recording (or the best flight\n"
           "                   kept) beside every flight; G turns it on or off (setting ghost)\n"
           "\n"
           "Settings are kept in $XDG_CONFIG_HOME/dravik/settings.ini (by default\n"
           "~/.config/dravik/settings.ini); an option given here wins for this run.\n"
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
