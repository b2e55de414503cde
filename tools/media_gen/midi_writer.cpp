// Serialises MIDI tracks: "MThd" header, then one "MTrk" chunk per track with variable-length
// delta times.
#include "midi_writer.h"

#include <algorithm>
#include <cstdio>

namespace {

uint8_t byte(int v) {
    return static_cast<uint8_t>(v & 0xFF);
}

void putVarLen(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t buf[5];
    int n = 0;
    buf[n++] = v & 0x7F;
    while (v >>= 7) {
        buf[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
    }
    while (n > 0) {
        out.push_back(buf[--n]);
    }
}

void putBig(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

}  // namespace

void MidiTrack::tempo(uint32_t tick, uint32_t us) {
    events_.push_back({tick, 0, {0xFF, 0x51, 0x03, byte(us >> 16), byte(us >> 8), byte(us)}});
}

void MidiTrack::timeSignature(uint32_t tick, int numerator, int denominatorPower) {
    events_.push_back(
        {tick, 0, {0xFF, 0x58, 0x04, byte(numerator), byte(denominatorPower), 24, 8}});
}

void MidiTrack::program(uint32_t tick, int channel, int program) {
    events_.push_back({tick, 0, {byte(0xC0 | channel), byte(program)}});
}

void MidiTrack::control(uint32_t tick, int channel, int controller, int value) {
    events_.push_back({tick, 0, {byte(0xB0 | channel), byte(controller), byte(value)}});
}

void MidiTrack::note(uint32_t start, uint32_t length, int channel, int key, int velocity) {
    events_.push_back({start, 2, {byte(0x90 | channel), byte(key), byte(velocity)}});
    events_.push_back({start + length, 1, {byte(0x80 | channel), byte(key), 64}});
}

bool writeMidiFile(const std::string& path, uint16_t ticksPerQuarter,
                   const std::vector<MidiTrack>& tracks, uint32_t endTick) {
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
    putBig(out, 6, 4);
    putBig(out, 1, 2);
    putBig(out, static_cast<uint32_t>(tracks.size()), 2);
    putBig(out, ticksPerQuarter, 2);
    for (const MidiTrack& track : tracks) {
        std::vector<MidiEvent> events = track.events();
        std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        if (!events.empty() && events.back().tick > endTick) {
            std::fprintf(stderr, "writeMidiFile: track '%s' runs past the end of '%s'\n",
                         track.name().c_str(), path.c_str());
            return false;
        }
        std::vector<uint8_t> body;
        putVarLen(body, 0);
        body.insert(body.end(), {0xFF, 0x03});
        putVarLen(body, static_cast<uint32_t>(track.name().size()));
        body.insert(body.end(), track.name().begin(), track.name().end());
        uint32_t now = 0;
        for (const MidiEvent& e : events) {
            putVarLen(body, e.tick - now);
            now = e.tick;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        }
        putVarLen(body, endTick - now);
        body.insert(body.end(), {0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        putBig(out, static_cast<uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "writeMidiFile: cannot create '%s'\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "writeMidiFile: short write to '%s'\n", path.c_str());
    }
    return ok;
}
