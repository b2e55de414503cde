// Parsing the headless runner's command line.
#include "headless_options.h"

#include <cerrno>
#include <cstdlib>
#include <string>

const char* const kHeadlessUsage =
    "Usage: dravik-headless [options]\n"
    "Runs the real game without a display: the same main loop, start-up, commands and frame\n"
    "steps, on a virtual clock that moves only when the game would wait.\n"
    "\n"
    "  --replay FILE        choose the keyboard, then press F5 and load FILE, before the first "
    "step\n"
    "  --script FILE        a timeline of events at given steps (see README)\n"
    "  --steps N            close the window after N frame steps (the shut-down runs)\n"
    "  --step-ms MS         the virtual clock's step in milliseconds (default 31)\n"
    "  --start-tick T       the tick counter's first value (default 0)\n"
    "  --state-log FILE     write one JSON object per frame step (JSON Lines)\n"
    "  --log-obstacles      add the 250 obstacle positions to every state-log line\n"
    "  --shot STEP:FILE.png save the presented 640x480 frame after that step (repeatable)\n"
    "  --shot STEP.FRACTION:FILE.png  save the frame drawn that far between STEP and the\n"
    "                       next step (1300.5: halfway), as smooth pacing draws it\n"
    "  --fps N              smooth pacing: N frames a second between the steps (0: 60)\n"
    "  --size WxH           draw as a window of that size would (smooth: at that\n"
    "                       resolution, 4:3; classic: 640x480 scaled)\n"
    "  --msaa N             smooth: N samples a pixel (0: one)\n"
    "  --classic, --smooth  one frame a step (the default on a software GL renderer), or\n"
    "                       frames between the steps\n"
    "  --save FILE          at the end, save the recording through F6 (F1 first if needed)\n"
    "  --audio-out FILE.wav write the final mix, in step with the virtual clock\n"
    "  --no-gl              use a graphics device that draws nothing (no shots)\n"
    "  --verify FILE        replay FILE without drawing and print one JSON object: finished,\n"
    "                       steps, count, finalTenths, passTimes, passSteps, bumps, bumpSteps;\n"
    "                       exit 0 when it flies the course, 1 when not, 2 when unreadable\n"
    "  --no-focus-pause     fly on when the window loses focus, as the game's option does\n"
    "  --overlays           leave classic mode so the words on screen are drawn (pause panel,\n"
    "                       replay mark, hints, notes)\n"
    "  --ghost FILE|best    a ghost plane flies the recording beside every flight\n"
    "  --keep-records       live flights update the records under XDG_DATA_HOME\n"
    "  --help               show this text\n"
    "\n"
    "Without --steps a run ends when a replay has stopped, when the script closes the window,\n"
    "or after 100000 steps.\n";

namespace {

bool parseNumber(const std::string& s, uint64_t max, uint64_t& out) {
    if (s.empty() || s[0] == '-' || s[0] == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v > max)
        return false;
    out = v;
    return true;
}

}  // namespace

bool parseHeadlessOptions(int argc, char** argv, HeadlessOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return false;
            }
            out = argv[++i];
            if (out.empty()) {
                error = a + " needs a non-empty value";
                return false;
            }
            return true;
        };
        std::string v;
        uint64_t n = 0;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--replay") {
            if (!value(o.replayFile))
                return false;
        } else if (a == "--ghost") {
            if (!value(o.ghost))
                return false;
        } else if (a == "--keep-records") {
            o.keepRecords = true;
        } else if (a == "--script") {
            if (!value(o.scriptFile))
                return false;
        } else if (a == "--steps") {
            if (!value(v))
                return false;
            if (!parseNumber(v, 1000000000ULL, n)) {
                error = "--steps takes a whole number of steps, not '" + v + "'";
                return false;
            }
            o.steps = n;
        } else if (a == "--step-ms") {
            if (!value(v))
                return false;
            if (!parseNumber(v, 60000, n) || n == 0) {
                error = "--step-ms takes milliseconds from 1 to 60000, not '" + v + "'";
                return false;
            }
            o.stepMs = static_cast<uint32_t>(n);
        } else if (a == "--start-tick") {
            if (!value(v))
                return false;
            if (!parseNumber(v, 0xFFFFFFFFULL, n)) {
                error = "--start-tick takes a tick count from 0 to 4294967295, not '" + v + "'";
                return false;
            }
            o.startTick = static_cast<uint32_t>(n);
        } else if (a == "--state-log") {
            if (!value(o.stateLog))
                return false;
        } else if (a == "--log-obstacles") {
            o.logObstacles = true;
        } else if (a == "--shot") {
            if (!value(v))
                return false;
            size_t colon = v.find(':');
            std::string at = v.substr(0, colon == std::string::npos ? 0 : colon);
            size_t dot = at.find('.');
            std::string digits = at.substr(dot == std::string::npos ? at.size() : dot + 1);
            uint64_t part = 0;
            bool fractionOk = dot == std::string::npos || (!digits.empty() && digits.size() <= 6 &&
                                                           parseNumber(digits, 999999, part));
            if (colon == std::string::npos || !parseNumber(at.substr(0, dot), 1000000000ULL, n) ||
                !fractionOk || colon + 1 >= v.size()) {
                error = "--shot takes STEP:FILE.png or STEP.FRACTION:FILE.png, not '" + v + "'";
                return false;
            }
            if (dot == std::string::npos)
                o.shots.emplace_back(n, v.substr(colon + 1));
            else
                o.betweenShots.push_back(
                    {n, static_cast<float>(std::stod("0." + digits)), v.substr(colon + 1)});
        } else if (a == "--fps") {
            if (!value(v))
                return false;
            if (!parseNumber(v, 1000, n)) {
                error = "--fps takes frames a second from 0 to 1000, not '" + v + "'";
                return false;
            }
            o.fps = static_cast<int>(n);
        } else if (a == "--msaa") {
            if (!value(v))
                return false;
            if (!parseNumber(v, 16, n)) {
                error = "--msaa takes samples a pixel from 0 to 16, not '" + v + "'";
                return false;
            }
            o.msaa = static_cast<int>(n);
        } else if (a == "--size") {
            if (!value(v))
                return false;
            size_t x = v.find('x');
            uint64_t w = 0, h = 0;
            if (x == std::string::npos || !parseNumber(v.substr(0, x), 8192, w) ||
                !parseNumber(v.substr(x + 1), 8192, h) || w < 64 || h < 48) {
                error = "--size takes WIDTHxHEIGHT from 64x48 to 8192x8192, not '" + v + "'";
                return false;
            }
            o.width = static_cast<int>(w);
            o.height = static_cast<int>(h);
        } else if (a == "--classic" || a == "--smooth") {
            o.classic = a == "--classic";
        } else if (a == "--save") {
            if (!value(o.saveFile))
                return false;
        } else if (a == "--audio-out") {
            if (!value(o.audioOut))
                return false;
        } else if (a == "--no-gl") {
            o.noGl = true;
        } else if (a == "--verify") {
            if (!value(o.verifyFile))
                return false;
        } else if (a == "--no-focus-pause") {
            o.noFocusPause = true;
        } else if (a == "--overlays") {
            o.overlays = true;
        } else {
            error = "unknown option '" + a + "' (see --help)";
            return false;
        }
    }
    if (!o.verifyFile.empty() && (!o.replayFile.empty() || !o.scriptFile.empty())) {
        error = "--verify replays its file alone; it takes no --replay or --script";
        return false;
    }
    if (o.noGl && (!o.shots.empty() || !o.betweenShots.empty())) {
        error = "--shot needs the GL device; it cannot be used with --no-gl";
        return false;
    }
    return true;
}
