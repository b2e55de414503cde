// Reader of the standard MIDI file structure: checks that a tune is well formed before a
// synthesizer sees it, and measures its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MidiFileInfo {
    int format = 0;  // 0 or 1
    int trackCount = 0;
    int division = 0;          // ticks per quarter note
    uint32_t lengthTicks = 0;  // the longest track, up to its end-of-track event
    double lengthSeconds = 0;  // lengthTicks through the file's tempo map
    int noteOnCount = 0;       // note-on events with a velocity above 0
    int tempoChangeCount = 0;
};

// Walks the header and every track chunk, bounded by the data: variable-length numbers, running
// status, channel, meta and sysex events. Rejects anything malformed or anything a looping player
// could not play (no tracks, more than 127, no length, timecode division, format 2, escape
// sequences, system messages, a track without an end-of-track event, any chunk but a track before
// the last track). On failure `error` says why.
bool readMidiFileInfo(const uint8_t* data, size_t size, MidiFileInfo& info, std::string& error);
