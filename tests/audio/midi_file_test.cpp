// The standard MIDI file check: what a well-formed tune measures, and the malformed files it
// refuses.
#include "audio/midi_file.h"

#include <gtest/gtest.h>

#include "audio/media_builders.h"

namespace {

using media::Bytes;

bool read(const Bytes& bytes, MidiFileInfo& info, std::string& error) {
    return readMidiFileInfo(bytes.data(), bytes.size(), info, error);
}

bool accepted(const Bytes& bytes) {
    MidiFileInfo info;
    std::string error;
    return read(bytes, info, error);
}

// One track: the events given as raw bytes (delta times included), without end-of-track.
Bytes oneTrack(const Bytes& events, int division = 480) {
    return media::midiFile(0, division, {events});
}

Bytes withEnd(Bytes events) {
    media::append(events, {0x00, 0xFF, 0x2F, 0x00});
    return events;
}

const Bytes kNote = {0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00};  // C4 for 480 ticks

TEST(MidiFile, MeasuresTracksNotesAndLengthThroughTheTempoMap) {
    // Tempo 120 bpm, then from tick 960 twice as fast; the longest track ends at tick 1920.
    media::Track conductor;
    conductor.tempo(0, 500000).tempo(960, 250000);
    media::Track melody;
    melody.program(0, 0, 11).note(0, 0, 60, 100, 240).note(480, 0, 64, 100, 240);
    media::Track drums;
    drums.note(0, 9, 42, 90, 10);
    Bytes file = media::midiFile(1, 480, {conductor.body(960), melody.body(1920), drums.body(10)});

    MidiFileInfo info;
    std::string error;
    ASSERT_TRUE(read(file, info, error)) << error;
    EXPECT_EQ(info.format, 1);
    EXPECT_EQ(info.trackCount, 3);
    EXPECT_EQ(info.division, 480);
    EXPECT_EQ(info.lengthTicks, 1920u);
    EXPECT_EQ(info.noteOnCount, 3);
    EXPECT_EQ(info.tempoChangeCount, 2);
    EXPECT_NEAR(info.lengthSeconds, 1.0 + 0.5, 1e-9);
}

TEST(MidiFile, TempoInALaterTrackAndRunningStatusCount) {
    // Running status: one 0x90 status carries three notes, the last with velocity 0 (an off). A
    // meta event cancels running status, so the final off repeats its status byte.
    Bytes events = {0x00, 0x90, 0x3C, 0x64,                    // tick 0
                    0x60, 0x3E, 0x64,                          // tick 96
                    0x60, 0x3C, 0x00,                          // tick 192
                    0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // 1 s a quarter from tick 192
                    0x83, 0x60, 0x80, 0x3E, 0x00};             // tick 672
    MidiFileInfo info;
    std::string error;
    ASSERT_TRUE(read(oneTrack(withEnd(events), 96), info, error)) << error;
    EXPECT_EQ(info.noteOnCount, 2);
    EXPECT_EQ(info.lengthTicks, 192u + 480u);
    // 192 ticks at 0.5 s a quarter (96 ticks), then 480 ticks at 1 s a quarter.
    EXPECT_NEAR(info.lengthSeconds, 1.0 + 5.0, 1e-9);
}

TEST(MidiFile, SkipsChunksAfterTheLastTrackAndTakesSysexAndTextEvents) {
    Bytes events = {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // GM on
                    0x00, 0xFF, 0x03, 0x04, 'l',  'e',  'a',  'd',   // track name
                    0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,  // 4/4
                    0x00, 0xFF, 0x59, 0x02, 0x00, 0x00};             // C major
    media::append(events, kNote);
    Bytes file = media::midiHeader(0, 1, 480);
    media::append(file, media::chunk("MTrk", withEnd(events)));
    media::append(file, media::chunk("XFKM", {9}));  // after the last track: ignored
    MidiFileInfo info;
    std::string error;
    ASSERT_TRUE(read(file, info, error)) << error;
    EXPECT_EQ(info.noteOnCount, 1);
    EXPECT_EQ(info.lengthTicks, 480u);
}

struct Malformed {
    const char* what;
    Bytes bytes;
};

std::vector<Malformed> malformedFiles() {
    Bytes good = oneTrack(withEnd(kNote));
    std::vector<Malformed> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"header cut short", Bytes(good.begin(), good.begin() + 13)});
    Bytes magic = good;
    magic[3] = 'h';
    cases.push_back({"wrong magic", magic});
    Bytes longHeader = media::chunk("MThd", {0, 0, 0, 1, 1, 0xE0, 0, 0});
    media::append(longHeader, media::chunk("MTrk", withEnd(kNote)));
    cases.push_back({"header of 8 bytes", longHeader});
    Bytes format2 = media::midiFile(2, 480, {withEnd(kNote)});
    cases.push_back({"format 2", format2});
    cases.push_back({"no tracks", media::midiHeader(1, 0, 480)});
    Bytes many = media::midiHeader(1, 129, 480);
    for (int i = 0; i < 129; ++i) media::append(many, media::chunk("MTrk", withEnd(kNote)));
    cases.push_back({"129 tracks", many});
    // FluidSynth's player reads a count of 128 as negative and loads nothing.
    Bytes tracks128 = media::midiHeader(1, 128, 480);
    for (int i = 0; i < 128; ++i) media::append(tracks128, media::chunk("MTrk", withEnd(kNote)));
    cases.push_back({"128 tracks", tracks128});
    // The player never finds a track behind another chunk.
    Bytes unknownFirst = media::midiHeader(0, 1, 480);
    media::append(unknownFirst, media::chunk("XFIH", {1, 2, 3}));
    media::append(unknownFirst, media::chunk("MTrk", withEnd(kNote)));
    cases.push_back({"unknown chunk before a track", unknownFirst});
    cases.push_back(
        {"format 0 with two tracks", media::midiFile(0, 480, {withEnd(kNote), withEnd(kNote)})});
    cases.push_back({"timecode division", oneTrack(withEnd(kNote), 0xE728)});
    cases.push_back({"division of zero", oneTrack(withEnd(kNote), 0)});
    Bytes fewer = media::midiHeader(1, 2, 480);
    media::append(fewer, media::chunk("MTrk", withEnd(kNote)));
    cases.push_back({"fewer tracks than declared", fewer});
    Bytes pastEnd = good;
    pastEnd[21] += 1;  // the track chunk claims one byte more than the file holds
    cases.push_back({"track length past the end of the file", pastEnd});
    cases.push_back({"data byte with no status", oneTrack(withEnd({0x00, 0x3C, 0x64}))});
    cases.push_back(
        {"running status after a meta event",
         oneTrack(withEnd({0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x10, 0x3C, 0x00}))});
    cases.push_back({"status inside a channel message",
                     oneTrack(withEnd({0x00, 0x90, 0x3C, 0x90, 0x3C, 0x00}))});
    cases.push_back({"five-byte delta time",
                     oneTrack(withEnd({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 0x3C, 0x64}))});
    cases.push_back({"delta time cut at the track end", oneTrack({0x00, 0x90, 0x3C, 0x64, 0x81})});
    cases.push_back(
        {"meta event longer than its track", oneTrack({0x00, 0xFF, 0x01, 0x40, 'a', 'b'})});
    cases.push_back({"sysex longer than its track", oneTrack({0x00, 0xF0, 0x7F, 0x01})});
    cases.push_back(
        {"sysex escape", oneTrack(withEnd({0x00, 0xF7, 0x01, 0xF8, 0x00, 0x90, 0x3C, 0x64}))});
    cases.push_back({"system message in a track", oneTrack(withEnd({0x00, 0xF2, 0x00, 0x00}))});
    cases.push_back(
        {"tempo of two bytes", oneTrack(withEnd({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0x90,
                                                 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}))});
    cases.push_back({"tempo of zero", oneTrack(withEnd({0x00, 0xFF, 0x51, 0x03, 0, 0, 0, 0x00, 0x90,
                                                        0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00}))});
    Bytes endWithData = kNote;
    media::append(endWithData, {0x00, 0xFF, 0x2F, 0x01, 0x00});
    cases.push_back({"end-of-track with data", oneTrack(endWithData)});
    Bytes afterEnd = withEnd(kNote);
    media::append(afterEnd, {0x00, 0x90, 0x3C, 0x64});
    cases.push_back({"events after end-of-track", oneTrack(afterEnd)});
    cases.push_back({"no end-of-track", oneTrack(kNote)});
    Bytes binaryId = media::midiHeader(0, 1, 480);
    media::append(binaryId, media::chunk("\x01\x02\x03\x04", {0}));
    media::append(binaryId, media::chunk("MTrk", withEnd(kNote)));
    cases.push_back({"binary chunk id", binaryId});
    cases.push_back({"tune of no length", oneTrack(withEnd({0x00, 0x90, 0x3C, 0x64}))});
    // The note's data bytes lie in the next chunk: reading must stop at its own chunk's end.
    Bytes straddle = media::midiHeader(1, 2, 480);
    media::append(straddle, media::chunk("MTrk", {0x00, 0x90}));
    media::append(straddle, media::chunk("MTrk", withEnd(kNote)));
    cases.push_back({"event across a chunk boundary", straddle});
    return cases;
}

TEST(MidiFile, RefusesEveryMalformedFile) {
    for (const Malformed& m : malformedFiles()) {
        MidiFileInfo info;
        std::string error;
        EXPECT_FALSE(read(m.bytes, info, error)) << m.what;
        EXPECT_FALSE(error.empty()) << m.what;
    }
}

TEST(MidiFile, EveryTruncationIsRefusedAndRandomDamageNeverReadsPastTheData) {
    media::Track track;
    track.tempo(0, 600000).program(0, 0, 5).note(0, 0, 60, 90, 100).note(100, 0, 62, 90, 100);
    track.event(150, {0xF0, 0x03, 0x43, 0x12, 0xF7});
    Bytes file =
        media::midiFile(1, 96, {track.body(400), media::Track().note(0, 9, 36, 90, 5).body(400)});
    ASSERT_TRUE(accepted(file));
    for (size_t n = 0; n < file.size(); ++n) {
        // Each prefix sits in a buffer of its own size, so a read past it is a heap overflow.
        Bytes prefix(file.begin(), file.begin() + long(n));
        EXPECT_FALSE(accepted(prefix)) << "prefix of " << n << " bytes";
    }
    uint32_t seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < 3000; ++i) {
        Bytes damaged = file;
        for (int k = 0; k < 3; ++k) damaged[next() % damaged.size()] = uint8_t(next());
        MidiFileInfo info;
        std::string error;
        if (read(damaged, info, error)) {
            EXPECT_GT(info.lengthTicks, 0u);
            EXPECT_GE(info.trackCount, 1);
        }
    }
}

}  // namespace
