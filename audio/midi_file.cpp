// Standard MIDI file structure check: header, track chunks and their events, bounded by the data.
#include "audio/midi_file.h"

#include <algorithm>
#include <vector>

namespace {

// The synthesizer's player keeps at most 128 tracks, and reads the count's low byte as a signed
// char: from 128 on it loads no track at all and reloads the file forever.
constexpr int kMaxTracks = 127;

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

uint16_t bigEndian16(const uint8_t* p) {
    return uint16_t((p[0] << 8) | p[1]);
}

struct TempoChange {
    uint64_t tick;
    uint32_t microsecondsPerQuarter;
};

class TrackReader {
  public:
    TrackReader(const uint8_t* begin, const uint8_t* end) : p_(begin), end_(end) {}

    // Reads every event of the chunk; the last one must be end-of-track, ending the chunk exactly.
    bool read(uint64_t& lengthTicks, std::vector<TempoChange>& tempos, int& noteOns,
              std::string& error) {
        uint64_t tick = 0;
        int runningStatus = 0;
        while (p_ < end_) {
            uint32_t delta = 0;
            if (!readNumber(delta, error))
                return false;
            tick += delta;
            if (p_ >= end_)
                return fail(error, "event missing after its delta time");
            int status = *p_;
            if (status < 0x80) {
                // A data byte: running status repeats the last channel message's status.
                if (runningStatus == 0)
                    return fail(error, "data byte without a status");
                status = runningStatus;
            } else {
                ++p_;
            }

            if (status < 0xF0) {
                runningStatus = status;
                int type = status & 0xF0;
                int dataBytes = (type == 0xC0 || type == 0xD0) ? 1 : 2;
                if (end_ - p_ < dataBytes)
                    return fail(error, "channel message cut short");
                for (int i = 0; i < dataBytes; ++i) {
                    if (p_[i] >= 0x80)
                        return fail(error, "status byte inside a channel message");
                }
                if (type == 0x90 && p_[1] > 0)
                    ++noteOns;
                p_ += dataBytes;
            } else if (status == 0xF0) {
                runningStatus = 0;
                uint32_t length = 0;
                if (!readNumber(length, error))
                    return false;
                if (uint64_t(end_ - p_) < length)
                    return fail(error, "sysex event runs past its track");
                p_ += length;
            } else if (status == 0xFF) {
                runningStatus = 0;
                if (p_ >= end_)
                    return fail(error, "meta event cut short");
                int type = *p_++;
                if (type >= 0x80)
                    return fail(error, "bad meta event type");
                uint32_t length = 0;
                if (!readNumber(length, error))
                    return false;
                if (uint64_t(end_ - p_) < length)
                    return fail(error, "meta event runs past its track");
                const uint8_t* body = p_;
                p_ += length;
                if (!checkMeta(type, body, length, tick, tempos, error))
                    return false;
                if (type == 0x2F) {
                    if (p_ != end_)
                        return fail(error, "data after the end-of-track event");
                    lengthTicks = tick;
                    return true;
                }
            } else if (status == 0xF7) {
                return fail(error, "sysex escape events are not supported");
            } else {
                return fail(error, "system message inside a track");
            }
        }
        return fail(error, "track without an end-of-track event");
    }

  private:
    // Variable-length number: at most four bytes, seven bits each.
    bool readNumber(uint32_t& value, std::string& error) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (p_ >= end_)
                return fail(error, "variable-length number cut short");
            uint8_t b = *p_++;
            value = (value << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return fail(error, "variable-length number longer than four bytes");
    }

    static bool checkMeta(int type, const uint8_t* body, uint32_t length, uint64_t tick,
                          std::vector<TempoChange>& tempos, std::string& error) {
        // The meta events with a fixed size; the player refuses them with any other.
        switch (type) {
            case 0x2F:
                if (length != 0)
                    return fail(error, "end-of-track event with data");
                break;
            case 0x51: {
                if (length != 3)
                    return fail(error, "tempo event of the wrong size");
                uint32_t tempo = (uint32_t(body[0]) << 16) | (uint32_t(body[1]) << 8) | body[2];
                if (tempo == 0)
                    return fail(error, "tempo of zero");
                tempos.push_back({tick, tempo});
                break;
            }
            case 0x54:
                if (length != 5)
                    return fail(error, "SMPTE offset event of the wrong size");
                break;
            case 0x58:
                if (length != 4)
                    return fail(error, "time signature event of the wrong size");
                break;
            case 0x59:
                if (length != 2)
                    return fail(error, "key signature event of the wrong size");
                break;
            default:
                break;
        }
        return true;
    }

    static bool fail(std::string& error, const char* why) {
        error = why;
        return false;
    }

    const uint8_t* p_;
    const uint8_t* end_;
};

bool fail(std::string& error, const std::string& why) {
    error = why;
    return false;
}

bool isPrintableChunkId(const uint8_t* id) {
    return std::all_of(id, id + 4, [](uint8_t c) { return c >= 0x20 && c < 0x7F; });
}

double secondsOf(uint64_t lengthTicks, int division, std::vector<TempoChange> tempos) {
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    double seconds = 0;
    uint64_t fromTick = 0;
    double tempo = 500000;  // 120 beats a minute until the first tempo event
    for (const TempoChange& change : tempos) {
        if (change.tick >= lengthTicks)
            break;
        seconds += double(change.tick - fromTick) * tempo / (double(division) * 1e6);
        fromTick = change.tick;
        tempo = change.microsecondsPerQuarter;
    }
    return seconds + double(lengthTicks - fromTick) * tempo / (double(division) * 1e6);
}

}  // namespace

bool readMidiFileInfo(const uint8_t* data, size_t size, MidiFileInfo& info, std::string& error) {
    info = MidiFileInfo{};
    if (data == nullptr || size < 14)
        return fail(error, "too short for a MIDI header");
    if (std::string(reinterpret_cast<const char*>(data), 4) != "MThd") {
        return fail(error, "no MThd header");
    }
    if (bigEndian32(data + 4) != 6)
        return fail(error, "MThd header of the wrong size");
    int format = bigEndian16(data + 8);
    int tracks = bigEndian16(data + 10);
    int division = bigEndian16(data + 12);
    if (format > 1)
        return fail(error, "MIDI format " + std::to_string(format) + " not supported");
    if (tracks < 1)
        return fail(error, "no tracks");
    if (tracks > kMaxTracks)
        return fail(error, "more than 127 tracks");
    if (format == 0 && tracks != 1)
        return fail(error, "format 0 with more than one track");
    if (division & 0x8000)
        return fail(error, "timecode division not supported");
    if (division == 0)
        return fail(error, "division of zero");

    std::vector<TempoChange> tempos;
    uint64_t longest = 0;
    int noteOns = 0;
    size_t pos = 14;
    int found = 0;
    while (found < tracks) {
        if (size - pos < 8)
            return fail(error, "file ends before track " + std::to_string(found + 1));
        const uint8_t* id = data + pos;
        uint32_t length = bigEndian32(data + pos + 4);
        pos += 8;
        if (length > size - pos)
            return fail(error, "chunk runs past the end of the file");
        if (std::string(reinterpret_cast<const char*>(id), 4) == "MTrk") {
            uint64_t ticks = 0;
            TrackReader reader(data + pos, data + pos + length);
            if (!reader.read(ticks, tempos, noteOns, error)) {
                error = "track " + std::to_string(found + 1) + ": " + error;
                return false;
            }
            longest = std::max(longest, ticks);
            ++found;
        } else {
            // The player does not find a track behind any other chunk and retries the file
            // forever; chunks after the last track are never read.
            return fail(error, isPrintableChunkId(id) ? "unknown chunk before a track"
                                                      : "unreadable chunk id");
        }
        pos += length;
    }
    if (longest == 0)
        return fail(error, "tune of no length");
    if (longest > 0x7FFFFFFF)
        return fail(error, "tune too long");

    info.format = format;
    info.trackCount = tracks;
    info.division = division;
    info.lengthTicks = uint32_t(longest);
    info.noteOnCount = noteOns;
    info.tempoChangeCount = int(tempos.size());
    info.lengthSeconds = secondsOf(longest, division, std::move(tempos));
    return true;
}
