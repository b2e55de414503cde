// The three effect sounds, synthesised and written as 16-bit mono 44100 Hz PCM WAV files.
#pragma once

#include <string>
#include <vector>

constexpr int kSampleRate = 44100;

// Samples in -1..1, with silent ends and peaks of -3 dBFS (the alert -8 dBFS).
std::vector<float> makeCrash();
std::vector<float> makeRecordChime();
std::vector<float> makeAlert();

bool writeWav(const std::string& path, const std::vector<float>& samples);
