// Fuzzes the MIDI file check on its own: what it accepts has a length, tracks and a division.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/midi_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MidiFileInfo info;
    std::string error;
    if (!readMidiFileInfo(data, size, info, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(info.format == 0 || info.format == 1);
    FUZZ_CHECK(info.trackCount >= 1 && info.trackCount <= 128);
    FUZZ_CHECK(info.division > 0 && info.division < 0x8000);
    FUZZ_CHECK(info.lengthTicks > 0);
    FUZZ_CHECK(std::isfinite(info.lengthSeconds) && info.lengthSeconds > 0);
    FUZZ_CHECK(info.noteOnCount >= 0 && info.tempoChangeCount >= 0);
    return 0;
}
