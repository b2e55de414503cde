// The main loop: one event per pass, the start-up stages, and a frame step whenever more than 30
// milliseconds have passed since the last one.
#pragma once

#include <cstdint>
#include <string>

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
