// Fuzzes the recording file reader, then replays what it accepted through recorders of two
// sizes: a replay must end within the recorded length and never read past the buffer.
#include <cstddef>
#include <cstdint>

#include "controls/flight_recorder.h"
#include "fuzz_check.h"

namespace {

void loadAndReplay(FlightRecorder& recorder, const uint8_t* data, size_t size) {
    recorder.startRecording();
    recorder.record(1, 2, 3);
    const RecordEntry before = recorder.entries[0];
    uint32_t count = 12345678;
    if (!parseRecording(data, size, recorder.capacity, count, recorder.entries)) {
        // A refused file changes nothing.
        FUZZ_CHECK(count == 12345678);
        FUZZ_CHECK(recorder.entries[0].turn == before.turn &&
                   recorder.entries[0].speedInput == before.speedInput);
        return;
    }
    FUZZ_CHECK(count <= recorder.capacity && count <= kRecorderCapacity);
    recorder.recordedLength = count;
    recorder.startPlayback();
    int16_t turn = 0, vertical = 0, speedInput = 0;
    uint32_t played = 0;
    while (recorder.play(turn, vertical, speedInput) != -1) {
        ++played;
        FUZZ_CHECK(played <= recorder.capacity);
    }
    // Every entry but the last is handed out; the last one ends the replay.
    FUZZ_CHECK(played == (count > 0 ? count - 1 : 0));
    // Playing on after the end keeps answering the end.
    FUZZ_CHECK(recorder.play(turn, vertical, speedInput) == -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FlightRecorder full(kRecorderCapacity);
    static FlightRecorder small(64);
    loadAndReplay(full, data, size);
    loadAndReplay(small, data, size);
    return 0;
}
