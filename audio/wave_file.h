// Reader of RIFF WAVE sounds: checks the header and chunk structure, bounded by the data, and
// decodes the PCM samples to floats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct WaveSound {
    int sampleRate = 0;
    int channels = 0;            // 1 or 2
    std::vector<float> samples;  // interleaved, -1..1

    size_t frameCount() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
    double seconds() const { return sampleRate > 0 ? double(frameCount()) / sampleRate : 0; }
};

// Integer PCM of 8, 16, 24 or 32 bits or 32-bit float, mono or stereo, plain or extensible format
// chunk. Rejects truncated or inconsistent files and files without samples; `error` says why.
bool readWaveFile(const uint8_t* data, size_t size, WaveSound& sound, std::string& error);
