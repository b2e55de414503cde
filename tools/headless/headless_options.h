// The headless runner's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A frame `fraction` of the way between step `step` and the next one.
struct BetweenShot {
    uint64_t step = 0;
    float fraction = 0;
    std::string file;
};

struct HeadlessOptions {
    std::string replayFile;
    std::string scriptFile;
    std::optional<uint64_t> steps;
    uint32_t stepMs = 31;
    uint32_t startTick = 0;
    std::string stateLog;
    bool logObstacles = false;
    std::vector<std::pair<uint64_t, std::string>> shots;  // step, PNG file
    std::vector<BetweenShot> betweenShots;
    std::optional<bool> classic;    // --classic / --smooth; unset: by the GL renderer
    int width = 640, height = 480;  // --size WxH: the window's size
    std::optional<int> fps;         // --fps N: frames between steps, N a second (0: 60)
    int msaa = 0;                   // --msaa N: samples a pixel in smooth pacing
    std::string saveFile;
    std::string audioOut;
    bool noGl = false;
    // Replay this file without drawing and print its verdict as JSON.
    std::string verifyFile;
    // The game's options: fly on when the focus goes; the words on screen (out of classic mode).
    bool noFocusPause = false;
    bool overlays = false;
    // A ghost accompanies the flights: a recording file, or "best".
    std::string ghost;
    // Live flights update the records under XDG_DATA_HOME, as the game does.
    bool keepRecords = false;
    bool help = false;
};

extern const char* const kHeadlessUsage;

// False with a message for a bad argument.
bool parseHeadlessOptions(int argc, char** argv, HeadlessOptions& options, std::string& error);
