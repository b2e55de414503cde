// The headless run: the real game's main loop on the virtual clock, fed by the script, writing the
// state log, screenshots and the final mix.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "headless_options.h"
#include "headless_platform.h"
#include "headless_script.h"

class HeadlessRunner {
  public:
    explicit HeadlessRunner(HeadlessOptions options);
    ~HeadlessRunner();

    // Runs the game to its end; the process exit code (2 for a bad input file).
    int run();

    // Called after every frame step, after the script's events for that step were delivered.
    std::function<void(uint64_t step)> afterStepHook;
    // Delivers one event now, as a script line would.
    void deliver(const ScriptEvent& e);
    // Ends the run: saves if asked, then closes the window.
    void close();
    // The records (with --keep-records) and the ghost (--ghost), before the start-up.
    bool prepareRecordsAndGhost();

    HeadlessInput input;
    uint64_t steps = 0;
    uint64_t frames = 0;  // presented frames
    bool smooth = false;  // the pacing chosen at start-up

  private:
    void deliverScriptUpTo(uint64_t step);
    void afterStep();
    // Classic or smooth pacing, once the GL renderer is known.
    void choosePacing();

    HeadlessOptions options_;
    VirtualTicks ticks_;
    std::unique_ptr<HeadlessWindow> window_;
    std::vector<ScriptEvent> script_;
    size_t nextScript_ = 0;
    bool closing_ = false;
    bool replayStarted_ = false;
    std::FILE* stateLog_ = nullptr;
};
