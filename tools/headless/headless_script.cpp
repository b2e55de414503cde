// Parsing the headless runner's script.
#include "headless_script.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "app/window_services.h"
#include "controls/input_source.h"

namespace {

const KeyName kKeys[] = {
    {"up", kVkUp, kScanUp},
    {"down", kVkDown, kScanDown},
    {"left", kVkLeft, kScanLeft},
    {"right", kVkRight, kScanRight},
    {"ctrl", kVkControl, -1},
    {"esc", kVkEscape, -1},
    {"m", kVkM, -1},
    {"f1", kVkF1, -1},
    {"f2", kVkF2, -1},
    {"f3", kVkF3, -1},
    {"f4", kVkF4, -1},
    {"f5", kVkF5, -1},
    {"f6", kVkF6, -1},
    {"home", kVkHome, -1},
    {"plus", kVkOemPlus, -1},
    {"minus", kVkOemMinus, -1},
    {"period", kVkOemPeriod, -1},
    {"kp-plus", kVkAdd, -1},
    {"kp-minus", kVkSubtract, -1},
};

bool parseInt(const std::string& s, long long lo, long long hi, long long& out) {
    if (s.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool parseButton(const std::string& s, int& button) {
    if (s == "left")
        button = 0;
    else if (s == "right")
        button = 1;
    else if (s == "middle")
        button = 2;
    else
        return false;
    return true;
}

}  // namespace

bool lookUpKey(const std::string& name, int& virtualKey, int& scanCode) {
    std::string lower;
    for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const KeyName& k : kKeys) {
        if (lower == k.name) {
            virtualKey = k.virtualKey;
            scanCode = k.scanCode;
            return true;
        }
    }
    if (lower.size() == 1 && std::isalnum(static_cast<unsigned char>(lower[0]))) {
        virtualKey = std::toupper(static_cast<unsigned char>(lower[0]));
        scanCode = -1;
        return true;
    }
    return false;
}

bool parseScript(const std::string& text, std::vector<ScriptEvent>& events, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    uint64_t lastStep = 0;
    while (std::getline(lines, line)) {
        ++number;
        size_t hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty())
            continue;

        auto fail = [&](const std::string& why) {
            error = "script line " + std::to_string(number) + ": " + why;
            return false;
        };
        if (w.size() < 2)
            return fail("expected '<step> <action> ...'");
        long long step = 0;
        if (!parseInt(w[0], 0, 1000000000LL, step))
            return fail("bad step '" + w[0] + "'");
        if (static_cast<uint64_t>(step) < lastStep)
            return fail("steps must not go backwards");
        lastStep = static_cast<uint64_t>(step);

        ScriptEvent e;
        e.step = static_cast<uint64_t>(step);
        const std::string& a = w[1];
        auto need = [&](size_t n) { return w.size() == n + 2; };
        if (a == "key-down" || a == "key-up" || a == "key") {
            if (!need(1))
                return fail(a + " takes one key name");
            e.action = a == "key"        ? ScriptAction::Key
                       : a == "key-down" ? ScriptAction::KeyDown
                                         : ScriptAction::KeyUp;
            if (!lookUpKey(w[2], e.virtualKey, e.scanCode))
                return fail("unknown key '" + w[2] + "'");
        } else if (a == "mouse-down" || a == "mouse-up") {
            if (!need(1) || !parseButton(w[2], e.button))
                return fail(a + " takes left, right or middle");
            e.action = a == "mouse-down" ? ScriptAction::MouseDown : ScriptAction::MouseUp;
        } else if (a == "move") {
            long long dx, dy;
            if (!need(2) || !parseInt(w[2], -1000000, 1000000, dx) ||
                !parseInt(w[3], -1000000, 1000000, dy))
                return fail("move takes two whole numbers");
            e.action = ScriptAction::Move;
            e.dx = static_cast<int>(dx);
            e.dy = static_cast<int>(dy);
        } else if (a == "wheel") {
            long long d;
            if (!need(1) || !parseInt(w[2], -1000000, 1000000, d))
                return fail("wheel takes one whole number");
            e.action = ScriptAction::Wheel;
            e.dx = static_cast<int>(d);
        } else if (a == "expose" || a == "close" || a == "cancel" || a == "focus-lost" ||
                   a == "focus-gained") {
            if (!need(0))
                return fail(a + " takes no arguments");
            e.action = a == "expose"       ? ScriptAction::Expose
                       : a == "close"      ? ScriptAction::Close
                       : a == "focus-lost" ? ScriptAction::FocusLost
                       : a == "cancel"     ? ScriptAction::Cancel
                                           : ScriptAction::FocusGained;
        } else if (a == "answer") {
            if (w.size() < 3)
                return fail("answer takes a path");
            e.action = ScriptAction::Answer;
            // The path is the rest of the line, so it may hold blanks.
            size_t at = line.find("answer");
            std::string rest = line.substr(at + 6);
            size_t first = rest.find_first_not_of(" \t");
            size_t last = rest.find_last_not_of(" \t\r");
            e.path = rest.substr(first, last - first + 1);
        } else {
            return fail("unknown action '" + a + "'");
        }
        events.push_back(e);
    }
    return true;
}
