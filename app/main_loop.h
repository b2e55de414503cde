// The main loop: one event per pass, the start-up stages, and a frame step whenever more than 30
// milliseconds have passed since the last one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// How frames are paced: classic, one frame drawn by each step; or smooth, the steps moving
// without drawing and frames drawn between them at `framesPerSecond` (on the tick clock).
struct FramePacing {
    bool smooth = false;
    int framesPerSecond = 60;
    // While paused (halted outside the intro and the result screen) a step does nothing: the loop
    // then waits for the next event instead of waking for each step. The first step after it
    // comes at once. (The headless runner keeps stepping: its logs count the paused steps.)
    bool idleWhilePaused = false;
};
void setFramePacing(const FramePacing& pacing);
// Called with the tick of every presented frame (DRAVIK_FRAME_LOG, the headless runner).
void setFrameHook(std::function<void(uint32_t)> hook);
// Called once when the start-up sequence has succeeded, before the first step (the entry point
// then knows the GL renderer and chooses the pacing).
void setStartedHook(std::function<void()> hook);
// The fraction of the step time passed at tick t since the last step, 0..1.
float stepFraction(uint32_t t);
// Draws, without presenting, a smooth frame `fraction` of the way between the last two steps
// (the headless runner's shots); false in classic pacing or before any step.
bool drawFrameBetweenSteps(float fraction);

// Runs one pass. Returns false when the loop ends, with the program's exit code in exitCode.
// `stepped`, when given, says whether the pass called the frame step.
bool runPass(int& exitCode, bool* stepped = nullptr);
// Runs passes until the loop ends; returns the exit code.
int runMainLoop();
// How long the next pass may wait for an event: until the next step is due, or without end
// (negative) while no frames are stepped yet.
int32_t eventWaitMs();
// A recording named on the command line: the keyboard is chosen as the controller (unless one
// has been chosen already) and, once the game runs, the file is loaded and replayed as F5 does
// after its dialog. An empty path cancels it.
void replayWhenRunning(const std::string& path);
