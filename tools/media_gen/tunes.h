// The two tunes: "evening", the looping flight tune, and "velmo", the result-screen fanfare.
#pragma once

#include <string>

// Both write a format-1 standard MIDI file and report failure (bad score or file) as false.
bool writeEveningTune(const std::string& path);
bool writeVelmoTune(const std::string& path);

// Lengths the tunes are composed to, for the callers' reference.
constexpr int kEveningBars = 24;  // 57.6 s at 100 beats a minute
constexpr int kVelmoBars = 16;    // 32 s at 120 beats a minute
