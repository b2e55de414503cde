// The FluidSynth music service rendered offline: tunes that loop and follow the tempo, sounds over
// them, the master volume and its ramp, stop, and the files it refuses without hanging.
#include "platform/fluid_music_service.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "app/window_services.h"
#include "audio/media_builders.h"
#include "audio/midi_file.h"
#include "audio/sound_system.h"
#include "game/game_state.h"
#include "platform/peak_limiter.h"

namespace {

constexpr int kRate = 44100;

using Samples = std::vector<int16_t>;  // interleaved stereo

class MessageWindow : public WindowServices {
  public:
    std::vector<std::string> texts;
    bool nextEvent(WindowEvent&, int32_t) override { return false; }
    void postQuit(int) override {}
    void destroyWindow() override {}
    void invalidate() override {}
    ClientRect clientRect() override { return {}; }
    void paintStatus(const char*, int, int, int) override {}
    void messageBox(const std::string& text, const std::string&) override { texts.push_back(text); }
    bool openFileDialog(const FileDialog&, std::string&) override { return false; }
    bool saveFileDialog(const FileDialog&, std::string&) override { return false; }
};

Samples render(FluidMusicService& service, double seconds) {
    Samples out(size_t(std::lround(seconds * kRate)) * 2);
    // Pull in buffers of an SDL-like size, as the device would.
    for (size_t frame = 0; frame < out.size() / 2; frame += 1024) {
        int n = int(std::min<size_t>(1024, out.size() / 2 - frame));
        service.renderOffline(out.data() + frame * 2, n);
    }
    return out;
}

Samples renderFrames(FluidMusicService& service, int frames) {
    Samples out(size_t(frames) * 2);
    service.renderOffline(out.data(), frames);
    return out;
}

double rms(const Samples& s, double from = 0, double to = 1e9) {
    size_t a = std::min(s.size(), size_t(from * kRate) * 2);
    size_t b = std::min(s.size(), size_t(to * kRate) * 2);
    if (b <= a)
        return 0;
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(b - a));
}

double decibels(double ratio) {
    return 20 * std::log10(ratio);
}

int peak(const Samples& s, size_t fromFrame = 0) {
    int p = 0;
    for (size_t i = fromFrame * 2; i < s.size(); ++i) p = std::max(p, std::abs(int(s[i])));
    return p;
}

// Times (seconds) at which the level jumps up out of quiet: the starts of short, loud notes.
std::vector<double> onsets(const Samples& s) {
    const size_t window = 256;
    std::vector<int> envelope;
    for (size_t i = 0; i + window * 2 <= s.size(); i += window * 2) {
        int m = 0;
        for (size_t k = i; k < i + window * 2; ++k) m = std::max(m, std::abs(int(s[k])));
        envelope.push_back(m);
    }
    std::vector<double> found;
    for (size_t w = 0; w < envelope.size(); ++w) {
        int before = 0;  // quiet before the first window
        for (size_t k = w >= 3 ? w - 3 : 0; k < w; ++k) before = std::max(before, envelope[k]);
        double t = double(w * window) / kRate;
        if (envelope[w] > 1500 && envelope[w] > 4 * before &&
            (found.empty() || t - found.back() > 0.1)) {
            found.push_back(t);
        }
    }
    return found;
}

double meanInterval(const std::vector<double>& times) {
    if (times.size() < 2)
        return 0;
    return (times.back() - times.front()) / double(times.size() - 1);
}

class FluidMusicServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        game.mainWindow = &window;
        dir = std::filesystem::temp_directory_path() /
              ("dravik-audio-render-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        resetGameState();
        std::filesystem::remove_all(dir);
    }

    std::string write(const std::string& name, const media::Bytes& bytes) {
        std::string path = (dir / name).string();
        EXPECT_TRUE(media::writeFile(path, bytes));
        return path;
    }

    // Loaded and downloaded, ready to play; null on failure.
    std::unique_ptr<Segment> ready(FluidMusicService& service, const std::string& path) {
        auto segment = service.loadSegment(path);
        if (segment && !service.download(*segment))
            segment.reset();
        return segment;
    }

    // One wood-block hit at the start of each loop of `seconds` at the file's own tempo (120 bpm).
    std::string clickTune(double seconds = 1.0) {
        media::Track track;
        track.tempo(0, 500000).note(0, 9, 76, 127, 60);
        return write("click.mid", media::midiFile(0, 480, {track.body(uint32_t(seconds * 960))}));
    }

    // A piano chord held through the loop of two seconds.
    std::string chordTune() {
        media::Track track;
        track.tempo(0, 500000).program(0, 0, 0);
        for (int key : {60, 64, 67}) track.note(0, 0, key, 100, 1900);
        return write("chord.mid", media::midiFile(0, 480, {track.body(1920)}));
    }

    // The flight tune from the media folder when it has been generated, else the chord.
    std::string flightTune() {
        std::string real = std::string(DRAVIK_MEDIA_DIR) + "/evening.mid";
        return std::filesystem::exists(real) ? real : chordTune();
    }

    std::string constantSound(const char* name, float level, double seconds, int rate = kRate,
                              int channels = 1) {
        std::vector<float> samples(size_t(seconds * rate) * size_t(channels), level);
        return write(name, media::waveFile(rate, channels, 16, samples));
    }

    MessageWindow window;
    std::filesystem::path dir;
};

TEST_F(FluidMusicServiceTest, TuneIsAudibleAndLoopsAcrossItsEnd) {
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto tune = ready(service, clickTune(1.0));
    ASSERT_TRUE(tune);
    ASSERT_TRUE(service.playPrimary(*tune));
    Samples out = render(service, 4.5);
    std::vector<double> hits = onsets(out);
    ASSERT_EQ(hits.size(), 5u) << "one hit at the start and one after each of four loops";
    for (size_t i = 0; i < hits.size(); ++i) EXPECT_NEAR(hits[i], double(i), 0.012) << i;
    EXPECT_LT(peak(out), 32767) << "no clipping";
}

TEST_F(FluidMusicServiceTest, FlightTunePlaysOnPastItsLoopPoint) {
    std::string path = flightTune();
    std::vector<uint8_t> bytes;
    {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
        std::fclose(f);
    }
    MidiFileInfo info;
    std::string error;
    ASSERT_TRUE(readMidiFileInfo(bytes.data(), bytes.size(), info, error)) << error;
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto tune = ready(service, path);
    ASSERT_TRUE(tune);
    ASSERT_TRUE(service.playPrimary(*tune));
    double length = info.lengthSeconds;
    Samples out = render(service, length + 2.0);
    double start = rms(out, 0.1, 1.5);
    double afterLoop = rms(out, length + 0.1, length + 1.5);
    EXPECT_GT(decibels(start / 32767), -50) << path;
    EXPECT_GT(decibels(afterLoop / 32767), -50) << "the tune starts again after its end";
    EXPECT_NEAR(decibels(afterLoop / start), 0, 6) << "it starts again as it began";
    EXPECT_LT(peak(out), 32767) << "no clipping";
}

TEST_F(FluidMusicServiceTest, TempoFactorScalesTheTuneAndFollowsChangesWhilePlaying) {
    auto loopAt = [&](float factor) {
        FluidMusicService service;
        EXPECT_TRUE(service.startOffline(kRate));
        auto tune = ready(service, clickTune(1.0));
        EXPECT_TRUE(tune && service.setMasterTempo(factor) && service.playPrimary(*tune));
        return meanInterval(onsets(render(service, 6.0)));
    };
    double slow = loopAt(0.8f), fast = loopAt(1.8f);
    EXPECT_NEAR(slow, 1.25, 0.01);
    EXPECT_NEAR(fast, 1.0 / 1.8, 0.01);
    EXPECT_NEAR(slow / fast, 2.25, 0.05);

    // A change while the tune plays takes effect at once and lasts across the loop.
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto tune = ready(service, clickTune(1.0));
    ASSERT_TRUE(tune && service.playPrimary(*tune));
    render(service, 0.5);
    ASSERT_TRUE(service.setMasterTempo(2.0f));
    std::vector<double> hits = onsets(render(service, 3.0));
    ASSERT_GE(hits.size(), 5u);
    // Half the first loop was played at 1.0; the remaining 0.5 beats of the loop take 0.25 s.
    EXPECT_NEAR(hits[0], 0.25, 0.012);
    EXPECT_NEAR(meanInterval(hits), 0.5, 0.01);

    EXPECT_FALSE(service.setMasterTempo(0.0f));
    EXPECT_FALSE(service.setMasterTempo(std::nanf("")));
}

TEST_F(FluidMusicServiceTest, MasterVolumeScalesTheMusicInDecibels) {
    auto renderAt = [&](int32_t volume) {
        FluidMusicService service;
        EXPECT_TRUE(service.startOffline(kRate));
        auto tune = ready(service, chordTune());
        EXPECT_TRUE(service.setMasterVolume(volume));
        EXPECT_TRUE(tune && service.playPrimary(*tune));
        return render(service, 2.5);
    };
    Samples full = renderAt(0), lowered = renderAt(-1000), silent = renderAt(-10000);
    double fullRms = rms(full, 0.05, 2.5);
    ASSERT_GT(decibels(fullRms / 32767), -50);
    EXPECT_NEAR(decibels(rms(lowered, 0.05, 2.5) / fullRms), -10.0, 0.5);
    EXPECT_EQ(peak(silent, size_t(kRate * 0.01)), 0) << "-10000 is silence";
    Samples game = renderAt(1);
    EXPECT_NEAR(decibels(rms(game, 0.05, 2.5) / fullRms), 0.01, 0.05) << "1 is the playing level";
}

TEST_F(FluidMusicServiceTest, VolumeChangesRampInAFewMillisecondsAndStayAcrossANewTune) {
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto level = ready(service, constantSound("half.wav", 0.5f, 1.0));
    ASSERT_TRUE(level && service.playSecondary(*level));
    Samples before = renderFrames(service, 100);
    EXPECT_EQ(before[198], 16384);
    ASSERT_TRUE(service.setMasterVolume(-10000));
    Samples ramp = renderFrames(service, 1000);
    // Falls step by step over about 5 ms, then stays at exact silence.
    int rampFrames = 0;
    for (int i = 1; i < 1000; ++i) {
        EXPECT_LE(ramp[2 * i], ramp[2 * (i - 1)]);
        EXPECT_LE(ramp[2 * (i - 1)] - ramp[2 * i], 16384 / 100) << "no click at frame " << i;
        if (ramp[2 * i] > 0)
            rampFrames = i + 1;
    }
    EXPECT_GE(rampFrames, kRate * 3 / 1000);
    EXPECT_LE(rampFrames, kRate * 10 / 1000);
    EXPECT_EQ(peak(ramp, size_t(rampFrames)), 0);

    // A new tune and a new sound started while muted stay muted.
    auto tune = ready(service, chordTune());
    ASSERT_TRUE(tune && service.playPrimary(*tune) && service.playSecondary(*level));
    EXPECT_EQ(peak(render(service, 0.5)), 0);

    // A fade step: the level settles at 10^(-1000/2000) of full within the ramp.
    ASSERT_TRUE(service.stop());
    ASSERT_TRUE(service.playSecondary(*level));
    ASSERT_TRUE(service.setMasterVolume(-1000));
    Samples faded = renderFrames(service, 1000);
    EXPECT_NEAR(faded[2 * 999], 16384 * std::pow(10.0, -0.5), 1.0);
}

TEST_F(FluidMusicServiceTest, SoundsStartAtOnceOverlapAndEnd) {
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto quarter = ready(service, constantSound("quarter.wav", 0.25f, 0.1));
    auto otherQuarter = ready(service, constantSound("quarter2.wav", 0.25f, 0.1));
    auto slowRate = ready(service, constantSound("slow.wav", 0.125f, 0.1, 22050));
    auto stereo = ready(
        service, write("stereo.wav", media::waveFile(kRate, 2, 16, {0.5f, -0.25f, 0.5f, -0.25f})));
    ASSERT_TRUE(quarter && otherQuarter && slowRate && stereo);
    // Everything comes out after the limiter's look-ahead, the same for music and sounds.
    const int d = PeakLimiter::delayFramesFor(kRate);
    ASSERT_GT(d, 0);
    ASSERT_LT(d, kRate * 5 / 1000) << "a few milliseconds at most";

    // The first sample of the next buffer already carries the sound.
    ASSERT_TRUE(service.playSecondary(*quarter));
    Samples a = renderFrames(service, 1000);
    EXPECT_EQ(peak(Samples(a.begin(), a.begin() + 2 * d)), 0);
    EXPECT_EQ(a[2 * d], 8192);
    EXPECT_EQ(a[2 * d + 1], 8192);
    // Another sound in quick succession mixes over the first instead of replacing it.
    ASSERT_TRUE(service.playSecondary(*otherQuarter));
    Samples b = renderFrames(service, 5000);
    EXPECT_EQ(b[2 * d], 16384);
    EXPECT_EQ(b[2 * (3409 + d)], 16384) << "both until the first ends after 4410 frames";
    EXPECT_EQ(b[2 * (3410 + d)], 8192);
    EXPECT_EQ(b[2 * (4409 + d)], 8192);
    EXPECT_EQ(b[2 * (4410 + d)], 0) << "and the second 1000 frames later";

    // Another sample rate lasts as long; stereo keeps its sides.
    ASSERT_TRUE(service.playSecondary(*slowRate));
    ASSERT_TRUE(service.playSecondary(*stereo));
    Samples c = renderFrames(service, 5000);
    EXPECT_EQ(c[2 * d], 4096 + 16384);
    EXPECT_EQ(c[2 * d + 1], 4096 - 8192);
    EXPECT_EQ(c[2 * (2 + d)], 4096);
    EXPECT_EQ(c[2 * (4408 + d)], 4096);
    EXPECT_EQ(peak(c, 4410 + size_t(d)), 0);

    // Sixteen overlap; a seventeenth takes the place of the oldest.
    std::vector<std::unique_ptr<Segment>> small;
    for (int i = 0; i < 17; ++i) {
        small.push_back(ready(service, constantSound(("small" + std::to_string(i) + ".wav").c_str(),
                                                     1.0f / 64, 0.05)));
        ASSERT_TRUE(small.back());
    }
    for (auto& sound : small) ASSERT_TRUE(service.playSecondary(*sound));
    Samples e = renderFrames(service, 10 + d);
    EXPECT_EQ(e[2 * d], 16 * 512);
}

// A cone touched frame after frame asks for the crash every 31 ms, and many cones touched in one
// frame ask for it many times at once: heard as one crash at a time, never a pile.
TEST_F(FluidMusicServiceTest, TheSameSoundAskedForAgainSoonIsHeardOnceAtATime) {
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto level = ready(service, constantSound("level.wav", 0.25f, 0.5));
    ASSERT_TRUE(level);
    const int d = PeakLimiter::delayFramesFor(kRate);

    // Ten times in one frame: one sound.
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(service.playSecondary(*level));
    Samples once = renderFrames(service, 1000);
    EXPECT_EQ(once[2 * (999)], 8192);

    // Again every 31 ms for a second, as a long contact does: never above one sound's level, and
    // it keeps sounding (each restart comes in as the earlier one goes).
    service.stop();
    int loudest = 0, quietest = 32767;
    const int stepFrames = kRate * 31 / 1000;
    for (int step = 0; step < 32; ++step) {
        ASSERT_TRUE(service.playSecondary(*level));
        Samples s = renderFrames(service, stepFrames);
        for (size_t i = (step == 0 ? 2 * size_t(d) : 0); i < s.size(); ++i) {
            loudest = std::max(loudest, int(s[i]));
            quietest = std::min(quietest, int(s[i]));
        }
    }
    EXPECT_LE(loudest, 8192 + 1) << "no louder than one";
    EXPECT_GE(quietest, 8192 - 1) << "no gap at a restart";

    // A different sound still mixes over it.
    auto other = ready(service, constantSound("other.wav", 0.125f, 0.5));
    ASSERT_TRUE(other && service.playSecondary(*other));
    Samples both = renderFrames(service, 2 * d + 10);
    EXPECT_EQ(both[2 * (2 * d)], 8192 + 4096);
}

// The mix never reaches full scale, however many loud sounds pile up over the music, and a sound
// that fits is not touched: the music and one sound come out as they went in.
TEST_F(FluidMusicServiceTest, LoudSoundsOverTheMusicNeverClipAndOneSoundKeepsItsLevel) {
    std::string tunePath = flightTune();
    std::vector<std::string> loud;
    for (int i = 0; i < 4; ++i) {
        loud.push_back(write(
            "loud" + std::to_string(i) + ".wav",
            media::waveFile(kRate, 1, 16, media::sineTone(220.0 * (i + 1), 0.4, kRate, 0.9f))));
    }
    std::string single =
        write("single.wav", media::waveFile(kRate, 1, 16, media::sineTone(660, 0.4, kRate, 0.4f)));
    auto play = [&](const std::vector<std::string>& sounds) {
        FluidMusicService service;
        EXPECT_TRUE(service.startOffline(kRate));
        auto tune = ready(service, tunePath);
        EXPECT_TRUE(tune && service.playPrimary(*tune));
        std::vector<std::unique_ptr<Segment>> segments;
        for (const std::string& path : sounds) segments.push_back(ready(service, path));
        Samples out = render(service, 0.5);
        for (auto& segment : segments) EXPECT_TRUE(segment && service.playSecondary(*segment));
        Samples rest = render(service, 1.5);
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    };
    Samples music = play({}), pile = play(loud), one = play({single});

    int fullScale = 0;
    for (int16_t s : pile) fullScale += (s >= 32767 || s <= -32768);
    EXPECT_EQ(fullScale, 0);
    EXPECT_LE(peak(pile), int(32768 * PeakLimiter::Ceiling) + 1) << "held at the ceiling";
    EXPECT_GT(peak(pile), int(32768 * PeakLimiter::Ceiling) - 400) << "and limited, not lowered";
    EXPECT_GT(decibels(rms(pile, 0.55, 0.85) / rms(music, 0.55, 0.85)), 10) << "loud it is";
    // After the pile, the limiter lets go and the music comes back at its level.
    EXPECT_NEAR(decibels(rms(pile, 1.5, 2.0) / rms(music, 1.5, 2.0)), 0, 0.5);
    EXPECT_EQ(peak(Samples(pile.begin(), pile.begin() + kRate)),
              peak(Samples(music.begin(), music.begin() + kRate)))
        << "the same music until the sounds";

    // One sound that fits under the ceiling: the mix is music plus sound, sample for sample.
    std::vector<float> tone = media::sineTone(660, 0.4, kRate, 0.4f);
    const size_t d = size_t(PeakLimiter::delayFramesFor(kRate));
    const size_t start = size_t(kRate / 2);  // the sound's first frame, before the look-ahead
    int worst = 0;
    for (size_t i = 0; i + 1 < tone.size(); ++i) {
        size_t frame = start + d + i;
        int expected = int(std::lrint(tone[i] * 32768.0f));
        worst = std::max(worst, std::abs(one[2 * frame] - music[2 * frame] - expected));
    }
    EXPECT_LE(worst, 2);
}
TEST_F(FluidMusicServiceTest, SoundOverMusicRaisesTheLevelEndsAndLeavesTheMusicPlaying) {
    std::string tunePath = chordTune();
    std::string soundPath = std::string(DRAVIK_MEDIA_DIR) + "/crush.wav";
    if (!std::filesystem::exists(soundPath)) {
        soundPath = write("tone.wav",
                          media::waveFile(kRate, 1, 16, media::sineTone(880, 0.3, kRate, 0.5f)));
    }
    auto play = [&](bool withSound) {
        FluidMusicService service;
        EXPECT_TRUE(service.startOffline(kRate));
        auto tune = ready(service, tunePath);
        auto sound = ready(service, soundPath);
        EXPECT_TRUE(tune && sound && service.playPrimary(*tune));
        Samples out = render(service, 0.5);
        if (withSound) {
            EXPECT_TRUE(service.playSecondary(*sound));
        }
        Samples rest = render(service, 2.0);
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    };
    Samples music = play(false), mixed = play(true);
    ASSERT_EQ(music.size(), mixed.size());
    Samples difference(music.size());
    size_t lastDifferent = 0;
    for (size_t i = 0; i < music.size(); ++i) {
        difference[i] = int16_t(std::clamp(mixed[i] - music[i], -32768, 32767));
        if (difference[i] != 0)
            lastDifferent = i;
    }
    EXPECT_EQ(rms(difference, 0, 0.5), 0) << "the same music until the sound";
    EXPECT_GT(rms(mixed, 0.5, 0.8), rms(music, 0.5, 0.8) * 1.2) << "the sound raises the level";
    double ended = double(lastDifferent / 2) / kRate;
    EXPECT_LT(ended, 0.5 + 1.6) << "the sound ends";
    EXPECT_GT(ended, 0.5 + 0.1);
    EXPECT_GT(decibels(rms(mixed, 2.2, 2.5) / 32767), -50) << "the music goes on";
}

TEST_F(FluidMusicServiceTest, StopSilencesTuneAndSoundsAndANewTuneStartsFromItsStart) {
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto chord = ready(service, chordTune());
    auto click = ready(service, clickTune(1.0));
    auto level = ready(service, constantSound("half.wav", 0.5f, 2.0));
    ASSERT_TRUE(chord && click && level);
    ASSERT_TRUE(service.playPrimary(*chord) && service.playSecondary(*level));
    render(service, 0.7);
    ASSERT_TRUE(service.stop());
    EXPECT_EQ(peak(render(service, 1.0)), 0) << "silence from the first frame after stop()";

    // Replacing a tune: what follows is the new tune from its start, as a fresh service plays it.
    FluidMusicService fresh;
    ASSERT_TRUE(fresh.startOffline(kRate));
    auto freshClick = ready(fresh, clickTune(1.0));
    ASSERT_TRUE(freshClick && fresh.playPrimary(*freshClick));
    Samples expected = render(fresh, 1.5);

    ASSERT_TRUE(service.playPrimary(*chord));
    render(service, 0.7);
    ASSERT_TRUE(service.playPrimary(*click));
    Samples replaced = render(service, 1.5);
    std::vector<double> hits = onsets(replaced);
    ASSERT_FALSE(hits.empty());
    EXPECT_LT(hits[0], 0.012) << "the new tune starts at once";
    // The level of each tenth of a second follows the fresh service's, also in the quiet between
    // the hits, where the held chord would sound some 30 dB louder.
    for (int tenth = 0; tenth < 7; ++tenth) {
        double from = tenth / 10.0, to = from + 0.1;
        EXPECT_NEAR(decibels(rms(replaced, from, to) / rms(expected, from, to)), 0, 3)
            << from << " s";
    }
}

TEST_F(FluidMusicServiceTest, SegmentsMayGoAwayWhilePlaying) {
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto tune = ready(service, clickTune(0.5));
    auto sound = ready(service, constantSound("half.wav", 0.5f, 0.5));
    ASSERT_TRUE(tune && sound && service.playPrimary(*tune) && service.playSecondary(*sound));
    tune.reset();
    sound.reset();
    Samples out = render(service, 1.2);
    EXPECT_GE(onsets(out).size(), 2u) << "the tune keeps looping";
    EXPECT_NEAR(out[2 * 1000], 16384, 16384 * 0.2) << "the sound plays to its end";
}

TEST_F(FluidMusicServiceTest, RefusesWhatItCannotPlay) {
    FluidMusicService other;
    ASSERT_TRUE(other.startOffline(kRate));
    FluidMusicService service;
    std::string clickPath = clickTune(1.0);
    std::string soundPath = constantSound("half.wav", 0.5f, 0.1);

    // Nothing plays before the service runs, nor without a download.
    auto early = service.loadSegment(clickPath);
    ASSERT_TRUE(early);
    EXPECT_FALSE(service.download(*early));
    EXPECT_FALSE(service.playPrimary(*early));
    EXPECT_FALSE(service.setMasterVolume(0));
    EXPECT_FALSE(service.stop());
    ASSERT_TRUE(service.startOffline(kRate));
    EXPECT_FALSE(service.playPrimary(*early)) << "not downloaded";
    ASSERT_TRUE(service.download(*early));
    EXPECT_TRUE(service.playPrimary(*early));

    // A tune is no sound and a sound no tune; another service's segments are foreign.
    auto sound = ready(service, soundPath);
    ASSERT_TRUE(sound);
    EXPECT_FALSE(service.playSecondary(*early));
    EXPECT_FALSE(service.playPrimary(*sound));
    EXPECT_FALSE(service.setStandardMidiFile(*sound));
    EXPECT_TRUE(service.setStandardMidiFile(*early));
    auto foreign = ready(other, clickPath);
    ASSERT_TRUE(foreign);
    EXPECT_FALSE(service.playPrimary(*foreign));
    EXPECT_FALSE(service.download(*foreign));

    // Files that are missing, of another kind, too large or damaged.
    EXPECT_FALSE(service.loadSegment((dir / "missing.mid").string()));
    EXPECT_FALSE(service.loadSegment(write("text.mid", {'h', 'e', 'l', 'l', 'o'})));
    media::Bytes huge = media::midiHeader(0, 1, 480);
    huge.resize(FluidMusicService::MaxTuneBytes + 1, 0);
    EXPECT_FALSE(service.loadSegment(write("huge.mid", huge)));
    media::Bytes wave = media::waveFile(kRate, 1, 16, {0.1f, 0.2f});
    wave[4] += 10;  // the RIFF chunk claims more than the file holds
    EXPECT_FALSE(service.loadSegment(write("short.wav", wave)));
}

TEST_F(FluidMusicServiceTest, UnparsableTunesFailToLoadAndNeverHang) {
    // A looping player handed a file it cannot parse would spin for ever inside rendering, so the
    // work runs on a thread of its own with a time limit.
    auto work = std::async(std::launch::async, [this] {
        FluidMusicService service;
        EXPECT_TRUE(service.startOffline(kRate));
        auto tune = ready(service, clickTune(0.5));
        EXPECT_TRUE(tune && service.playPrimary(*tune));
        media::Bytes good =
            media::midiFile(0, 480, {media::Track().note(0, 0, 60, 100, 100).body(480)});
        std::vector<media::Bytes> bad;
        bad.push_back(media::Bytes(good.begin(), good.end() - 3));  // track cut short
        bad.push_back(media::midiHeader(0, 1, 480));                // no track at all
        media::Bytes garbage = media::midiHeader(0, 1, 480);
        media::append(garbage, media::chunk("MTrk", {0x00, 0x12, 0x34, 0x56, 0x78}));
        bad.push_back(garbage);  // no status byte
        media::Bytes noLength = media::midiFile(0, 480, {media::Track().body(0)});
        bad.push_back(noLength);  // loops in no time
        media::Bytes smpte = good;
        smpte[12] = 0xE7;
        bad.push_back(smpte);  // timecode division
        int refused = 0;
        for (size_t i = 0; i < bad.size(); ++i) {
            auto segment = service.loadSegment(write("bad" + std::to_string(i) + ".mid", bad[i]));
            if (!segment)
                ++refused;
            if (segment && service.download(*segment))
                service.playPrimary(*segment);
            render(service, 0.2);
        }
        EXPECT_EQ(refused, int(bad.size()));
        // The tune that played before the failed loads plays on.
        return onsets(render(service, 1.2)).size();
    });
    if (work.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << "rendering hung on an unparsable tune";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    EXPECT_GE(work.get(), 2u);
}

TEST_F(FluidMusicServiceTest, MissingSoundFontFailsStartNamingThePackageToInstall) {
    FluidMusicService service({(dir / "none.sf2").string()});
    EXPECT_FALSE(service.start());
    EXPECT_FALSE(service.startOffline(kRate));
    EXPECT_FALSE(service.running());
    ASSERT_EQ(window.texts.size(), 2u);
    EXPECT_NE(window.texts[0].find("timgm6mb-soundfont"), std::string::npos) << window.texts[0];
    EXPECT_NE(window.texts[0].find("fluid-soundfont-gm"), std::string::npos);

    window.texts.clear();
    std::string junk = write("junk.sf2", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'j', 'u', 'n', 'k'});
    FluidMusicService broken({junk});
    EXPECT_FALSE(broken.startOffline(kRate));
    ASSERT_EQ(window.texts.size(), 1u);
    EXPECT_NE(window.texts[0].find(junk), std::string::npos);
    EXPECT_NE(window.texts[0].find("timgm6mb-soundfont"), std::string::npos);
}

// The device path: SDL_mixer's music hook pulls the same mix on SDL's dummy output.
TEST_F(FluidMusicServiceTest, DeviceModeMixesOnTheAudioThread) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    FluidMusicService service;
    ASSERT_TRUE(service.start());
    ASSERT_TRUE(service.deviceOpen());
    auto tune = ready(service, flightTune());
    auto sound = ready(service, constantSound("half.wav", 0.5f, 0.2));
    ASSERT_TRUE(tune && sound && service.playPrimary(*tune));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    uint64_t mixed = service.stats().framesMixed;
    EXPECT_GT(mixed, 0u) << "the hook pulls the mix";
    // Sounds asked for at odd moments against the device's buffer clock.
    double sum = 0, worst = 0;
    const int count = 12;
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(service.playSecondary(*sound));
        std::this_thread::sleep_for(std::chrono::milliseconds(60 + 7 * i));
        double latency = service.stats().lastSoundLatencyMs;
        EXPECT_GE(latency, 0.0) << "the sound reached the mix";
        sum += latency;
        worst = std::max(worst, latency);
    }
    FluidMusicService::Stats stats = service.stats();
    EXPECT_GT(stats.framesMixed, mixed);
    std::printf(
        "device mode (%s output): playSecondary to the mix %.1f ms on average, %.1f ms at "
        "most; then a buffer of %d frames (%.1f ms) to the output\n",
        service.silentOutput() ? "silent" : "real", sum / count, worst,
        FluidMusicService::DeviceBufferFrames,
        1000.0 * FluidMusicService::DeviceBufferFrames / FluidMusicService::DeviceSampleRate);
    EXPECT_TRUE(service.setMasterVolume(-10000));
    EXPECT_TRUE(service.stop());
    service.closeDown();
    EXPECT_FALSE(service.deviceOpen());
    EXPECT_FALSE(service.playPrimary(*tune));
    service.closeDown();  // twice is harmless
}

TEST_F(FluidMusicServiceTest, WithoutAnyAudioOutputTheSameMixerRunsSilently) {
    const char* saved = std::getenv("SDL_AUDIODRIVER");
    std::string previous = saved ? saved : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    FluidMusicService service;
    bool started = service.start();
    if (saved) {
        setenv("SDL_AUDIODRIVER", previous.c_str(), 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
    ASSERT_TRUE(started) << "the game must stay playable";
    EXPECT_TRUE(service.deviceOpen());
    EXPECT_TRUE(service.silentOutput());
    auto tune = ready(service, clickTune(1.0));
    ASSERT_TRUE(tune && service.playPrimary(*tune));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GT(service.stats().framesMixed, 0u);
}

// The sound system over the real service and the generated media, from the folder that holds
// media/, as the game starts.
TEST_F(FluidMusicServiceTest, SoundSystemLoadsAndPlaysTheGameMedia) {
    std::filesystem::path media(DRAVIK_MEDIA_DIR);
    if (!std::filesystem::exists(media / "evening.mid"))
        GTEST_SKIP() << "no generated media yet";
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(media.parent_path());
    FluidMusicService service;
    game.musicPlatform = &service;
    SoundSystem sound;
    bool initialised = sound.init();
    std::filesystem::current_path(home);
    ASSERT_TRUE(initialised);
    EXPECT_TRUE(window.texts.empty());
    EXPECT_TRUE(sound.setTempo(0.8f));
    EXPECT_TRUE(sound.playMusic(0));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(sound.playSound(i));
    EXPECT_FALSE(sound.playSound(3));
    EXPECT_TRUE(sound.setTempo(1.8f));
    EXPECT_TRUE(sound.setVolume(-4499));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(sound.stopAll());
    EXPECT_TRUE(sound.setVolume(1));
    EXPECT_TRUE(sound.playMusic(1));
    EXPECT_GT(service.stats().framesMixed, 0u);
    sound.release();
    EXPECT_FALSE(service.running());
    EXPECT_FALSE(sound.setTempo(-1.0f));
}

// Figures for the record: the mixer's share of real time and where a sound starts. Nothing here
// is timed against a limit.
TEST_F(FluidMusicServiceTest, MixerCostAndSoundStart) {
    FluidMusicService service;
    ASSERT_TRUE(service.startOffline(kRate));
    auto tune = ready(service, flightTune());
    auto sound = ready(service, constantSound("half.wav", 0.5f, 0.3));
    ASSERT_TRUE(tune && sound && service.playPrimary(*tune));
    const double seconds = 20;
    for (int i = 0; i < int(seconds); ++i) {
        EXPECT_TRUE(service.playSecondary(*sound));
        render(service, 1.0);
    }
    FluidMusicService::Stats stats = service.stats();
    EXPECT_EQ(stats.framesMixed, uint64_t(seconds * kRate));
    double share = stats.mixSeconds / seconds;
    std::printf("mixer: %.0f s of audio in %.3f s (%.2f%% of real time), %llu buffers\n", seconds,
                stats.mixSeconds, share * 100, static_cast<unsigned long long>(stats.buffersMixed));
    RecordProperty("mixer_share_percent", std::to_string(share * 100));
}

}  // namespace
