// The headless runner's script: a timeline of player events at given frame steps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ScriptAction {
    KeyDown,
    KeyUp,
    Key,
    MouseDown,
    MouseUp,
    Move,
    Wheel,
    Expose,
    Close,
    Answer,
    Cancel,
    FocusLost,
    FocusGained
};

struct ScriptEvent {
    uint64_t step = 0;  // delivered after this many frame steps (0: before the first)
    ScriptAction action = ScriptAction::Expose;
    int virtualKey = 0;  // keys
    int scanCode = -1;   // keys that are also flight controls (arrows), else -1
    int button = 0;      // 0 left, 1 right, 2 middle
    int dx = 0, dy = 0;  // move: dx, dy; wheel: dx
    std::string path;    // answer
};

struct KeyName {
    const char* name;
    int virtualKey;
    int scanCode;
};

// up, down, left, right, ctrl, esc, m, f1 .. f6, or a single letter or digit.
bool lookUpKey(const std::string& name, int& virtualKey, int& scanCode);

// One event per line: "<step> <action> [arguments]"; '#' starts a comment. Lines must be in step
// order. False with a message naming the line on any error.
bool parseScript(const std::string& text, std::vector<ScriptEvent>& events, std::string& error);
