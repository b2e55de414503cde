// Fuzzes the RIFF WAVE reader: decoded sounds are mono or stereo with finite samples in -1..1.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/wave_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WaveSound sound;
    std::string error;
    if (!readWaveFile(data, size, sound, error)) {
        FUZZ_CHECK(!error.empty() && sound.samples.empty());
        return 0;
    }
    FUZZ_CHECK(sound.channels == 1 || sound.channels == 2);
    FUZZ_CHECK(sound.sampleRate > 0);
    FUZZ_CHECK(sound.frameCount() > 0);
    FUZZ_CHECK(sound.samples.size() % size_t(sound.channels) == 0);
    // At least one byte of the file for every decoded sample.
    FUZZ_CHECK(sound.samples.size() <= size);
    for (float sample : sound.samples)
        FUZZ_CHECK(std::isfinite(sample) && std::fabs(sample) <= 1.0f);
    return 0;
}
