// Scores of the two tunes, with the small note language they are written in.
#include "tunes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "midi_writer.h"

namespace {

constexpr uint16_t kTicksPerQuarter = 480;
constexpr uint32_t kSixteenth = kTicksPerQuarter / 4;
constexpr uint32_t kBar = 16 * kSixteenth;
constexpr int kDrumChannel = 9;  // channel 10 of General MIDI

// General MIDI programs (0-based) and drum keys used below.
enum Program {
    kElectricPiano = 4,
    kGlockenspiel = 9,
    kSynthBass = 38,
    kTimpani = 47,
    kStrings = 48,
    kTuba = 58,
    kBrassSection = 61,
    kSynthBrass = 62,
    kSquareLead = 80,
    kWarmPad = 89,
};
enum Drum {
    kKick = 36,
    kSnare = 38,
    kClosedHat = 42,
    kLowTom = 45,
    kOpenHat = 46,
    kMidTom = 47,
    kHighMidTom = 48,
    kCrash = 49,
    kHighTom = 50,
    kTambourine = 54,
};

// MIDI key of a name such as "C4" (60), "F#3" or "Bb4"; -1 if malformed.
int keyOf(const std::string& name) {
    static const int kSemitone[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name.empty() || name[0] < 'A' || name[0] > 'G') {
        return -1;
    }
    int key = kSemitone[name[0] - 'A'];
    size_t i = 1;
    if (i < name.size() && (name[i] == '#' || name[i] == 'b')) {
        key += name[i] == '#' ? 1 : -1;
        ++i;
    }
    if (i >= name.size() || name[i] < '0' || name[i] > '9') {
        return -1;
    }
    return key + 12 * (std::atoi(name.c_str() + i) + 1);
}

struct Note {
    uint32_t start, length;
    int key;  // -1 for a rest
};

// Melodies are written bar by bar: "E5:2" is the note E5 for two sixteenths, "r:4" a rest of
// a quarter; a token without ":n" keeps the previous length. Returns the notes of consecutive
// bars from `firstBar`; false on a malformed token or a bar that is not sixteen sixteenths.
bool buildMelody(const std::vector<const char*>& bars, int firstBar, std::vector<Note>& out) {
    int length = 4;
    for (size_t b = 0; b < bars.size(); ++b) {
        std::istringstream tokens(bars[b]);
        std::string token;
        uint32_t at = (firstBar + static_cast<uint32_t>(b)) * kBar;
        int total = 0;
        while (tokens >> token) {
            size_t colon = token.find(':');
            std::string pitch = token.substr(0, colon);
            if (colon != std::string::npos) {
                length = std::atoi(token.c_str() + colon + 1);
            }
            int key = pitch == "r" ? -1 : keyOf(pitch);
            if ((key < 0 && pitch != "r") || length <= 0) {
                std::fprintf(stderr, "buildMelody: bad token '%s' in bar %d\n", token.c_str(),
                             firstBar + static_cast<int>(b) + 1);
                return false;
            }
            out.push_back({at, length * kSixteenth, key});
            at += length * kSixteenth;
            total += length;
        }
        if (total != 16) {
            std::fprintf(stderr, "buildMelody: bar %d holds %d sixteenths, not 16\n",
                         firstBar + static_cast<int>(b) + 1, total);
            return false;
        }
    }
    return true;
}

void playMelody(MidiTrack& track, const std::vector<Note>& notes, int channel, int velocity,
                int transpose, uint32_t gap) {
    for (const Note& n : notes) {
        if (n.key >= 0) {
            // Every fourth sixteenth is a beat; notes on the beat are a little stronger.
            int accent = (n.start % (4 * kSixteenth)) == 0 ? 8 : 0;
            track.note(n.start, n.length - gap, channel, n.key + transpose, velocity + accent);
        }
    }
}

struct Chord {
    int root;  // pitch class 0..11
    std::vector<int> intervals;
};

// "F", "Dm", "Bb", "G7": root letter with its accidental, then "m" for minor, "7" for an
// added minor seventh.
Chord chordOf(const std::string& name) {
    size_t rootLength = name.size() > 1 && (name[1] == 'b' || name[1] == '#') ? 2 : 1;
    std::string rest = name.substr(rootLength);
    Chord c{keyOf(name.substr(0, rootLength) + "0") % 12, {0, 4, 7}};
    if (!rest.empty() && rest[0] == 'm') {
        c.intervals = {0, 3, 7};
    }
    if (!rest.empty() && rest.back() == '7') {
        c.intervals.push_back(10);
    }
    return c;
}

// Chord tones placed in the octave from `low` upwards: a close voicing that moves little.
std::vector<int> voicing(const Chord& c, int low) {
    std::vector<int> keys;
    for (int interval : c.intervals) {
        int pc = (c.root + interval) % 12;
        keys.push_back(low + ((pc - low) % 12 + 12) % 12);
    }
    return keys;
}

// Root of the chord in the octave from `low` upwards.
int rootIn(const Chord& c, int low) {
    return low + ((c.root - low) % 12 + 12) % 12;
}

// One bar of drums from a 16-step pattern: 'X' accented, 'x' normal, 'o' soft, '.' silent.
void drumBar(MidiTrack& track, uint32_t barStart, int key, const char* pattern) {
    for (int step = 0; step < 16 && pattern[step]; ++step) {
        int velocity = pattern[step] == 'X' ? 120 : pattern[step] == 'x' ? 98 : 72;
        if (pattern[step] != '.') {
            track.note(barStart + step * kSixteenth, kSixteenth / 2, kDrumChannel, key, velocity);
        }
    }
}

MidiTrack instrument(const char* name, int channel, int program, int volume, int pan) {
    MidiTrack t(name);
    t.program(0, channel, program);
    t.control(0, channel, 7, volume);  // channel volume
    t.control(0, channel, 10, pan);    // pan
    t.control(0, channel, 91, 40);     // reverb send
    return t;
}

MidiTrack conductor(const char* name, int beatsPerMinute) {
    MidiTrack t(name);
    t.tempo(0, 60000000u / beatsPerMinute);
    t.timeSignature(0, 4, 2);
    return t;
}

// ---------------------------------------------------------------------------------------------
// "evening": F major, 100 beats a minute, 24 bars (A, A', B). The last bar sits on the
// dominant and the drums fill into the crash that opens the first, so the loop runs on.

const char* const kEveningChords[kEveningBars] = {
    "F",  "C",  "Dm", "Bb", "F",  "C",  "Bb", "C",   // A
    "F",  "C",  "Dm", "Bb", "F",  "C",  "Bb", "C",   // A'
    "Dm", "Bb", "F",  "C",  "Dm", "Bb", "Gm", "C"};  // B

const std::vector<const char*> kEveningA = {
    "C5:2 F5 A5 G5 F5:4 C5",       "E5:2 G5 C6:4 Bb5:2 A5 G5:4",
    "A5:3 F5:1 D5:4 r:2 D5 E5 F5", "G5:2 F5 D5 Bb4 D5:4 F5",
    "C5:2 F5 A5 C6 D6:4 C6",       "Bb5:2 A5 G5 E5 C5:4 E5",
    "D5:2 F5 Bb5:4 A5:2 G5 F5:4",  "G5:4 E5 C5 r"};
const std::vector<const char*> kEveningAEnding = {"D6:2 C6 Bb5 A5 G5:4 A5:2 Bb5",
                                                  "C6:6 A5:2 G5:4 r"};
const std::vector<const char*> kEveningB = {
    "D5:4 F5:2 A5:6 G5:2 F5",      "F5:4 D5:2 Bb4:6 C5:2 D5",
    "C5:4 F5:2 A5:6 Bb5:2 A5",     "G5:8 E5:4 C5",
    "D5:2 E5 F5 A5 D6:4 A5",       "Bb5:2 A5 G5 F5 D5:4 F5",
    "G5:2 A5 Bb5 D6 C6 Bb5 A5 G5", "E5:4 G5 C6 Bb5:2 G5"};

bool eveningMelody(std::vector<Note>& melody) {
    std::vector<const char*> aPrime(kEveningA.begin(), kEveningA.begin() + 6);
    aPrime.insert(aPrime.end(), kEveningAEnding.begin(), kEveningAEnding.end());
    return buildMelody(kEveningA, 0, melody) && buildMelody(aPrime, 8, melody) &&
           buildMelody(kEveningB, 16, melody);
}

}  // namespace

bool writeEveningTune(const std::string& path) {
    std::vector<Note> melody;
    if (!eveningMelody(melody)) {
        return false;
    }
    MidiTrack tempo = conductor("Dravik: evening", 100);
    MidiTrack lead = instrument("Lead", 0, kSquareLead, 108, 64);
    MidiTrack brass = instrument("Brass", 3, kSynthBrass, 90, 80);
    MidiTrack bass = instrument("Bass", 1, kSynthBass, 120, 64);
    MidiTrack keys = instrument("Keys", 2, kElectricPiano, 100, 40);
    MidiTrack pad = instrument("Pad", 4, kWarmPad, 84, 90);
    MidiTrack drums("Drums");
    drums.control(0, kDrumChannel, 7, 120);

    playMelody(lead, melody, 0, 92, 0, 12);
    std::vector<Note> doubled;
    for (const Note& n : melody) {
        if (n.start >= 8 * kBar) {
            doubled.push_back(n);  // the brass joins an octave down from the second verse on
        }
    }
    playMelody(brass, doubled, 3, 70, -12, 30);

    static const int kBassSteps[8] = {0, 0, 12, 0, 0, 7, 12, 7};
    for (int bar = 0; bar < kEveningBars; ++bar) {
        uint32_t at = bar * kBar;
        Chord c = chordOf(kEveningChords[bar]);
        int root = rootIn(c, 36);
        for (int i = 0; i < 8; ++i) {
            bass.note(at + i * 2 * kSixteenth, 2 * kSixteenth - 40, 1, root + kBassSteps[i],
                      i % 2 == 0 ? 100 : 84);
        }
        for (int beat = 0; beat < 4; ++beat) {  // off-beat stabs
            for (int key : voicing(c, 55)) {
                keys.note(at + (4 * beat + 2) * kSixteenth, kSixteenth + 30, 2, key, 72);
            }
        }
        for (int key : voicing(c, 60)) {
            pad.note(at, kBar - 20, 4, key, 54);
        }

        // Every eighth bar fills into the next section; the last one rolls down the toms
        // into the crash that opens the loop again.
        bool fill = bar % 8 == 7;
        bool last = bar == kEveningBars - 1;
        drumBar(drums, at, kKick, fill ? "x...x...x......." : "x...x...x...x...");
        drumBar(drums, at, kSnare,
                last   ? "....x......x...."
                : fill ? "....x.......xxXX"
                       : "....x.......x...");
        drumBar(drums, at, kClosedHat, fill ? "x.o.x.o.x.o....." : "x.o.x.o.x.o.x...");
        if (!fill) {
            drumBar(drums, at, kOpenHat, "..............o.");
        }
        if (bar % 8 == 0) {
            drumBar(drums, at, kCrash, "X...............");
        }
        if (last) {
            drumBar(drums, at, kHighTom, "............x...");
            drumBar(drums, at, kHighMidTom, ".............x..");
            drumBar(drums, at, kMidTom, "..............x.");
            drumBar(drums, at, kLowTom, "...............X");
        }
    }
    return writeMidiFile(path, kTicksPerQuarter, {tempo, lead, brass, bass, keys, pad, drums},
                         kEveningBars * kBar);
}

namespace {

// ---------------------------------------------------------------------------------------------
// "velmo": a C major fanfare at 120 beats a minute, 16 bars, brass over strings and an
// oom-pah tuba, with the glockenspiel sparkling above; it ends on G to lead back to C.

const char* const kVelmoChords[kVelmoBars] = {"C", "F", "G", "C", "Am", "F", "G", "G7",
                                              "C", "F", "C", "F", "Dm", "G", "C", "G7"};

const std::vector<const char*> kVelmoMelody = {
    "G4:3 G4:1 C5:4 E5 G5", "A5:6 G5:2 F5:4 A5",    "G5:3 F5:1 E5:4 D5 B4",  "C5:8 G4:4 C5",
    "E5:3 E5:1 A5:4 C6 A5", "F5:3 G5:1 A5:4 C6 F5", "D5:3 E5:1 F5:4 G5 B5",  "D6:8 B5:4 G5",
    "C6:3 B5:1 C6:4 G5 E5", "F5:3 G5:1 A5:4 C6 A5", "G5:3 A5:1 G5:4 E5 C5",  "A5:4 G5 F5 A5",
    "D5:3 E5:1 F5:4 A5 D6", "B5:3 A5:1 G5:4 D5 B4", "C5:2 E5 G5 C6 E6:4 C6", "D6:4 B5 G5 D5:2 F5"};

}  // namespace

bool writeVelmoTune(const std::string& path) {
    std::vector<Note> melody;
    if (!buildMelody(kVelmoMelody, 0, melody)) {
        return false;
    }
    MidiTrack tempo = conductor("Dravik: velmo", 120);
    MidiTrack brass = instrument("Brass", 0, kBrassSection, 120, 64);
    MidiTrack glock = instrument("Glockenspiel", 1, kGlockenspiel, 96, 84);
    MidiTrack strings = instrument("Strings", 2, kStrings, 96, 44);
    MidiTrack tuba = instrument("Tuba", 3, kTuba, 112, 64);
    MidiTrack timpani = instrument("Timpani", 4, kTimpani, 104, 64);
    MidiTrack drums("Drums");
    drums.control(0, kDrumChannel, 7, 112);

    playMelody(brass, melody, 0, 96, 0, 24);
    std::vector<Note> second;
    for (const Note& n : melody) {
        if (n.start >= 8 * kBar) {
            second.push_back(n);
        }
    }
    playMelody(glock, second, 1, 76, 12, 0);

    for (int bar = 0; bar < kVelmoBars; ++bar) {
        uint32_t at = bar * kBar;
        Chord c = chordOf(kVelmoChords[bar]);
        std::vector<int> chord = voicing(c, 55);
        if (bar < 8) {  // glockenspiel arpeggios under the first statement
            for (int i = 0; i < 8; ++i) {
                int key = chord[i % chord.size()] + 24 + (i >= 4 ? 12 : 0);
                glock.note(at + i * 2 * kSixteenth, 2 * kSixteenth, 1, key, 60);
            }
        }
        for (int key : chord) {
            strings.note(at, kBar - 20, 2, key, 70);
        }
        int root = rootIn(c, 36);
        tuba.note(at, 3 * kSixteenth, 3, root, 96);
        tuba.note(at + 8 * kSixteenth, 3 * kSixteenth, 3, root + 7 > 47 ? root - 5 : root + 7, 88);
        timpani.note(at, 4 * kSixteenth, 4, rootIn(c, 43), 90);

        bool last = bar == kVelmoBars - 1;
        drumBar(drums, at, kKick, "x.......x.......");
        drumBar(drums, at, kSnare, last ? "....x...xxxxXXXX" : "....X...o...X.oo");
        drumBar(drums, at, kTambourine, "..x...x...x...x.");
        if (bar % 8 == 0) {
            drumBar(drums, at, kCrash, "X...............");
        }
        if (last) {
            for (int step = 8; step < 16; ++step) {  // timpani roll into the loop
                timpani.note(at + step * kSixteenth, kSixteenth, 4, rootIn(c, 43),
                             60 + 5 * (step - 8));
            }
        }
    }
    return writeMidiFile(path, kTicksPerQuarter,
                         {tempo, brass, glock, strings, tuba, timpani, drums}, kVelmoBars * kBar);
}
