// The options of the modern shell around the original game, none of which the simulation reads:
// the classic picture and pace, the words on screen, pausing when the window loses focus. The
// entry point fills them from the settings file and the command line.
#pragma once

struct ShellOptions {
    // The original's exact picture and pace: a 640 x 480 back buffer, one frame per step,
    // stretched; no words on screen.
    bool classic = true;
    // The on-screen words (pause panel, replay mark, hints, notes); never in classic mode.
    bool overlays = true;
    // Live flight pauses as F1 does when the window loses focus.
    bool pauseOnFocusLoss = true;
    // The replay viewer's speed as a fraction, for the replay mark.
    unsigned replaySpeedNumerator = 1;
    unsigned replaySpeedDenominator = 1;
};

extern ShellOptions shellOptions;

// Whether the on-screen words are drawn now.
inline bool overlaysShown() {
    return shellOptions.overlays && !shellOptions.classic;
}
