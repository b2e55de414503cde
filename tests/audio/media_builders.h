// Small standard MIDI files and RIFF WAVE sounds built in memory, for the audio tests (also used by
// tests/audio_render).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace media {

using Bytes = std::vector<uint8_t>;

inline void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

inline Bytes bigEndian(uint32_t v, int bytes) {
    Bytes out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
    return out;
}

inline Bytes littleEndian(uint32_t v, int bytes) {
    Bytes out;
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
    return out;
}

inline Bytes varLength(uint32_t v) {
    Bytes out{uint8_t(v & 0x7F)};
    while (v >>= 7) out.insert(out.begin(), uint8_t(0x80 | (v & 0x7F)));
    return out;
}

inline Bytes chunk(const char* id, const Bytes& body) {
    Bytes out(id, id + 4);
    append(out, bigEndian(uint32_t(body.size()), 4));
    append(out, body);
    return out;
}

// A track from timed events, written in time order with delta times and closed by end-of-track.
class Track {
  public:
    Track& event(uint32_t tick, std::initializer_list<uint8_t> bytes) {
        events_.push_back({tick, order_++, Bytes(bytes)});
        return *this;
    }
    Track& tempo(uint32_t tick, uint32_t microsecondsPerQuarter) {
        return event(tick, {0xFF, 0x51, 0x03, uint8_t(microsecondsPerQuarter >> 16),
                            uint8_t(microsecondsPerQuarter >> 8), uint8_t(microsecondsPerQuarter)});
    }
    Track& program(uint32_t tick, int channel, int program) {
        return event(tick, {uint8_t(0xC0 | channel), uint8_t(program)});
    }
    Track& note(uint32_t tick, int channel, int key, int velocity, uint32_t length) {
        event(tick, {uint8_t(0x90 | channel), uint8_t(key), uint8_t(velocity)});
        return event(tick + length, {uint8_t(0x80 | channel), uint8_t(key), 0});
    }
    // The track body (the MTrk chunk's content), end-of-track at `endTick`.
    Bytes body(uint32_t endTick) const {
        auto sorted = events_;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Timed& a, const Timed& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        Bytes out;
        uint32_t last = 0;
        for (const Timed& e : sorted) {
            append(out, varLength(e.tick - last));
            append(out, e.bytes);
            last = e.tick;
        }
        append(out, varLength(endTick > last ? endTick - last : 0));
        append(out, {0xFF, 0x2F, 0x00});
        return out;
    }

  private:
    struct Timed {
        uint32_t tick;
        int order;
        Bytes bytes;
    };
    std::vector<Timed> events_;
    int order_ = 0;
};

inline Bytes midiHeader(int format, int tracks, int division) {
    Bytes body = bigEndian(uint32_t(format), 2);
    append(body, bigEndian(uint32_t(tracks), 2));
    append(body, bigEndian(uint32_t(division), 2));
    return chunk("MThd", body);
}

inline Bytes midiFile(int format, int division, const std::vector<Bytes>& trackBodies) {
    Bytes out = midiHeader(format, int(trackBodies.size()), division);
    for (const Bytes& body : trackBodies) append(out, chunk("MTrk", body));
    return out;
}

// A RIFF WAVE file of integer PCM (tag 1) or float (tag 3) samples, interleaved.
inline Bytes waveFile(int rate, int channels, int bits, const std::vector<float>& samples,
                      uint16_t tag = 1) {
    Bytes data;
    for (float s : samples) {
        s = std::clamp(s, -1.0f, 1.0f);
        if (tag == 3) {
            uint32_t u;
            static_assert(sizeof u == sizeof s);
            std::memcpy(&u, &s, sizeof u);
            append(data, littleEndian(u, 4));
        } else if (bits == 8) {
            data.push_back(uint8_t(std::lrint(std::clamp(s * 128.0f + 128.0f, 0.0f, 255.0f))));
        } else {
            double full = std::ldexp(1.0, bits - 1);
            double v = std::clamp(double(s) * full, -full, full - 1);
            append(data, littleEndian(uint32_t(int32_t(std::lrint(v))), bits / 8));
        }
    }
    Bytes fmt = littleEndian(tag, 2);
    append(fmt, littleEndian(uint32_t(channels), 2));
    append(fmt, littleEndian(uint32_t(rate), 4));
    append(fmt, littleEndian(uint32_t(rate * channels * bits / 8), 4));
    append(fmt, littleEndian(uint32_t(channels * bits / 8), 2));
    append(fmt, littleEndian(uint32_t(bits), 2));
    Bytes body{'W', 'A', 'V', 'E'};
    auto addChunk = [&body](const char* id, const Bytes& content) {
        body.insert(body.end(), id, id + 4);
        append(body, littleEndian(uint32_t(content.size()), 4));
        append(body, content);
        if (content.size() & 1)
            body.push_back(0);
    };
    addChunk("fmt ", fmt);
    addChunk("data", data);
    Bytes out{'R', 'I', 'F', 'F'};
    append(out, littleEndian(uint32_t(body.size()), 4));
    append(out, body);
    return out;
}

inline std::vector<float> sineTone(double frequency, double seconds, int rate, float amplitude) {
    std::vector<float> out(size_t(seconds * rate));
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = amplitude * float(std::sin(2 * M_PI * frequency * double(i) / rate));
    }
    return out;
}

inline bool writeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace media
