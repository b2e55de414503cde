// The flight recorder: the control input of every flown frame, its replay, and the recording file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr int16_t kNoInput = 10000;
constexpr uint32_t kRecorderCapacity = 20000;

struct RecordEntry {
    int16_t turn;
    int16_t vertical;
    int16_t speedInput;
};
static_assert(sizeof(RecordEntry) == 6);

class FlightRecorder {
  public:
    explicit FlightRecorder(uint32_t capacity);
    ~FlightRecorder();
    FlightRecorder(const FlightRecorder&) = delete;
    FlightRecorder& operator=(const FlightRecorder&) = delete;

    int record(int16_t turn, int16_t vertical, int16_t speedInput);
    int play(int16_t& turn, int16_t& vertical, int16_t& speedInput);
    void startPlayback();
    void startRecording();
    bool saveToFile(const std::string& path);
    bool loadFromFile(const std::string& path);

    uint32_t capacity;
    RecordEntry* entries;
    RecordEntry* cursor;
    uint32_t position = 0;
    uint32_t recordedLength = 0;
    int32_t isRecording = 1;
};

// Checks and decodes a recording file held in memory: the 4-byte count and the full body of 20000
// entries (bytes after it are ignored), with a count of at most min(capacity, 20000). On success
// sets `count` and fills the first min(capacity, 20000) of `entries`; on failure touches neither.
bool parseRecording(const uint8_t* data, size_t size, uint32_t capacity, uint32_t& count,
                    RecordEntry* entries);

// The per-frame replay feed, used by the frame step instead of the live reader while replaying.
bool replayInput();
