// Standard MIDI files (format 1): tracks of timed events, written with delta times.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MidiEvent {
    uint32_t tick = 0;
    int order = 0;  // at the same tick: meta and controls first, then note-offs, then note-ons
    std::vector<uint8_t> bytes;
};

class MidiTrack {
  public:
    explicit MidiTrack(std::string name) : name_(std::move(name)) {}

    void tempo(uint32_t tick, uint32_t microsecondsPerQuarter);
    void timeSignature(uint32_t tick, int numerator, int denominatorPower);
    void program(uint32_t tick, int channel, int program);
    void control(uint32_t tick, int channel, int controller, int value);
    // A note from `start` lasting `length` ticks.
    void note(uint32_t start, uint32_t length, int channel, int key, int velocity);

    const std::string& name() const { return name_; }
    const std::vector<MidiEvent>& events() const { return events_; }

  private:
    std::string name_;
    std::vector<MidiEvent> events_;
};

// Writes a format-1 file; every track ends with its end-of-track event at `endTick`, so the
// tune loops over exactly that length.
bool writeMidiFile(const std::string& path, uint16_t ticksPerQuarter,
                   const std::vector<MidiTrack>& tracks, uint32_t endTick);
