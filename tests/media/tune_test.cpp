// The two tunes, read back with a standard MIDI file reader of this test's own: chunks,
// tracks, tempo, instruments, length in seconds and whether they loop cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "media_files.h"

namespace {

struct MidiEvent {
    uint32_t tick = 0;
    uint8_t status = 0;  // 0xFF for meta events
    uint8_t a = 0, b = 0;
    uint8_t metaType = 0;
    std::vector<uint8_t> data;

    int channel() const { return status & 0x0F; }
    bool noteOn() const { return (status & 0xF0) == 0x90 && b > 0; }
    bool noteOff() const { return (status & 0xF0) == 0x80 || ((status & 0xF0) == 0x90 && b == 0); }
};

struct MidiTune {
    uint16_t format = 0, division = 0;
    std::vector<std::vector<MidiEvent>> tracks;
    std::vector<uint32_t> trackEnds;  // tick of each track's end-of-track event
};

uint32_t readVarLen(ByteReader& r) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t byte = r.be(1);
        v = (v << 7) | (byte & 0x7F);
        if (!(byte & 0x80)) {
            return v;
        }
    }
    r.failed = true;  // longer than the four bytes the format allows
    return 0;
}

::testing::AssertionResult readMidi(const std::string& name, MidiTune& tune) {
    std::vector<uint8_t> bytes = readMediaFile(name);
    ByteReader r{bytes};
    if (r.tag(4) != "MThd" || r.be(4) != 6) {
        return ::testing::AssertionFailure() << name << ": no MThd header";
    }
    tune.format = static_cast<uint16_t>(r.be(2));
    uint32_t trackCount = r.be(2);
    tune.division = static_cast<uint16_t>(r.be(2));
    for (uint32_t t = 0; t < trackCount; ++t) {
        if (r.tag(4) != "MTrk") {
            return ::testing::AssertionFailure() << name << ": track " << t << " missing";
        }
        uint32_t size = r.be(4);
        if (!r.has(size)) {
            return ::testing::AssertionFailure()
                   << name << ": track " << t << " runs past the file";
        }
        std::vector<uint8_t> body(bytes.begin() + r.pos, bytes.begin() + r.pos + size);
        r.pos += size;
        ByteReader tr{body};
        std::vector<MidiEvent> events;
        uint32_t tick = 0;
        uint8_t running = 0;
        bool ended = false;
        while (!ended && tr.has(1)) {
            MidiEvent e;
            tick += readVarLen(tr);
            e.tick = tick;
            uint8_t status = static_cast<uint8_t>(tr.be(1));
            if (status == 0xFF) {
                e.status = 0xFF;
                e.metaType = static_cast<uint8_t>(tr.be(1));
                uint32_t len = readVarLen(tr);
                if (!tr.has(len)) {
                    return ::testing::AssertionFailure() << name << ": meta event too long";
                }
                e.data.assign(body.begin() + tr.pos, body.begin() + tr.pos + len);
                tr.pos += len;
                ended = e.metaType == 0x2F;
            } else if (status == 0xF0 || status == 0xF7) {
                uint32_t len = readVarLen(tr);
                if (!tr.has(len)) {
                    return ::testing::AssertionFailure() << name << ": sysex too long";
                }
                tr.pos += len;
                continue;
            } else {
                if (status < 0x80) {  // running status: this byte is the first data byte
                    if (!running) {
                        return ::testing::AssertionFailure() << name << ": data without status";
                    }
                    tr.pos -= 1;
                    status = running;
                }
                running = status;
                e.status = status;
                e.a = static_cast<uint8_t>(tr.be(1));
                uint8_t kind = status & 0xF0;
                if (kind != 0xC0 && kind != 0xD0) {
                    e.b = static_cast<uint8_t>(tr.be(1));
                }
                if (e.a > 127 || e.b > 127) {
                    return ::testing::AssertionFailure() << name << ": data byte above 127";
                }
            }
            if (tr.failed) {
                return ::testing::AssertionFailure() << name << ": track " << t << " is cut short";
            }
            events.push_back(e);
        }
        if (!ended || tr.pos != body.size()) {
            return ::testing::AssertionFailure()
                   << name << ": track " << t << " does not end with its end-of-track event";
        }
        tune.trackEnds.push_back(tick);
        tune.tracks.push_back(std::move(events));
    }
    if (r.pos != bytes.size()) {
        return ::testing::AssertionFailure() << name << ": bytes after the last track";
    }
    return ::testing::AssertionSuccess();
}

// Seconds from the start to `tick`, following every tempo change in the file.
double secondsAt(const MidiTune& tune, uint32_t tick) {
    std::map<uint32_t, uint32_t> tempos{{0, 500000}};  // the default until a tempo event
    for (const auto& track : tune.tracks) {
        for (const MidiEvent& e : track) {
            if (e.status == 0xFF && e.metaType == 0x51 && e.data.size() == 3) {
                tempos[e.tick] = (e.data[0] << 16) | (e.data[1] << 8) | e.data[2];
            }
        }
    }
    double seconds = 0;
    for (auto it = tempos.begin(); it != tempos.end() && it->first < tick; ++it) {
        auto next = std::next(it);
        uint32_t until = next == tempos.end() ? tick : std::min(tick, next->first);
        seconds += (until - it->first) * (it->second / 1e6) / tune.division;
    }
    return seconds;
}

double beatsPerMinuteAtStart(const MidiTune& tune) {
    for (const auto& track : tune.tracks) {
        for (const MidiEvent& e : track) {
            if (e.status == 0xFF && e.metaType == 0x51 && e.data.size() == 3 && e.tick == 0) {
                return 60e6 / ((e.data[0] << 16) | (e.data[1] << 8) | e.data[2]);
            }
        }
    }
    return 0;
}

void expectWellFormedLoop(const char* name, double minSeconds, double maxSeconds) {
    MidiTune tune;
    ASSERT_TRUE(readMidi(name, tune));
    EXPECT_EQ(tune.format, 1);
    ASSERT_GT(tune.division, 0);
    ASSERT_EQ(tune.division & 0x8000, 0) << "time code divisions are not used";
    ASSERT_GE(tune.tracks.size(), 4u);

    // The loop is the whole file: every track ends together, on a bar line of 4/4 time.
    uint32_t end = *std::max_element(tune.trackEnds.begin(), tune.trackEnds.end());
    for (uint32_t e : tune.trackEnds) {
        EXPECT_EQ(e, end) << name << ": tracks end at different times";
    }
    EXPECT_EQ(end % (4u * tune.division), 0u) << name << ": the loop ends mid-bar";
    double seconds = secondsAt(tune, end);
    EXPECT_GE(seconds, minSeconds) << name;
    EXPECT_LE(seconds, maxSeconds) << name;

    // Played at 0.8 to 1.8 times its own tempo the tune must stay in a sensible range.
    double bpm = beatsPerMinuteAtStart(tune);
    EXPECT_GE(bpm * 0.8, 60.0) << name << " drags at the slowest speed";
    EXPECT_LE(bpm * 1.8, 240.0) << name << " races at the fastest speed";

    std::set<int> programs;
    std::set<int> programmedChannels, melodicChannels;
    uint32_t firstNote = UINT32_MAX, lastNoteEnd = 0;
    int drumNotes = 0, notes = 0;
    std::set<uint32_t> drumBars;
    for (const auto& track : tune.tracks) {
        std::map<std::pair<int, int>, uint32_t> sounding;
        for (const MidiEvent& e : track) {
            if ((e.status & 0xF0) == 0xC0 && e.channel() != 9) {
                programs.insert(e.a);
                if (e.tick == 0) {
                    programmedChannels.insert(e.channel());
                }
            }
            auto key = std::make_pair(e.channel(), static_cast<int>(e.a));
            if (e.noteOn()) {
                ++notes;
                firstNote = std::min(firstNote, e.tick);
                EXPECT_EQ(sounding.count(key), 0u)
                    << name << ": key " << int(e.a) << " struck again while sounding";
                sounding[key] = e.tick;
                if (e.channel() == 9) {
                    ++drumNotes;
                    drumBars.insert(e.tick / (4 * tune.division));
                } else {
                    melodicChannels.insert(e.channel());
                }
            } else if (e.noteOff() && sounding.erase(key)) {
                lastNoteEnd = std::max(lastNoteEnd, e.tick);
            }
        }
        EXPECT_TRUE(sounding.empty()) << name << ": notes left hanging at the end of a track";
    }
    EXPECT_GE(programs.size(), 3u) << name << ": needs several instruments";
    for (int c : melodicChannels) {
        EXPECT_TRUE(programmedChannels.count(c))
            << name << ": channel " << c + 1 << " plays without choosing its instrument first";
    }
    EXPECT_GT(drumNotes, 0) << name << ": no drums on channel 10";
    uint32_t bars = end / (4 * tune.division);
    EXPECT_GE(drumBars.size(), bars * 9 / 10) << name << ": the drums drop out";
    // No silence to trip over at the loop point, and nothing cut off by it.
    EXPECT_EQ(firstNote, 0u) << name << " starts with silence";
    EXPECT_GT(lastNoteEnd, end - tune.division) << name << " ends with silence";
    EXPECT_LE(lastNoteEnd, end);
    double perSecond = notes / seconds;
    EXPECT_GT(perSecond, 3.0) << name;
    EXPECT_LT(perSecond, 40.0) << name;
}

TEST(FlightTune, AboutAMinuteLoopingWithBandAndDrums) {
    expectWellFormedLoop("evening.mid", 50, 70);
}

TEST(ResultTune, ShorterLoopWithBandAndDrums) {
    expectWellFormedLoop("velmo.mid", 25, 45);
}

TEST(ResultTune, IsADifferentPieceFromTheFlightTune) {
    MidiTune evening, velmo;
    ASSERT_TRUE(readMidi("evening.mid", evening));
    ASSERT_TRUE(readMidi("velmo.mid", velmo));
    auto melodic = [](const MidiTune& t) {
        std::vector<int> keys;
        for (const auto& track : t.tracks) {
            for (const MidiEvent& e : track) {
                if (e.noteOn() && e.channel() != 9) {
                    keys.push_back(e.a);
                }
            }
        }
        return keys;
    };
    std::vector<int> a = melodic(evening), b = melodic(velmo);
    size_t n = std::min(a.size(), b.size()), same = 0;
    for (size_t i = 0; i < n; ++i) {
        same += a[i] == b[i];
    }
    EXPECT_LT(same, n / 2);
}

}  // namespace
