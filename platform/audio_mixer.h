// The sound mixer under the music: adds the playing wave sounds to each rendered buffer of music,
// scales the sum by the master volume, ramping every change so that it does not click, and limits
// the peaks so that the output never clips.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>

#include "audio/wave_file.h"
#include "platform/peak_limiter.h"

class AudioMixer {
  public:
    using Clock = std::chrono::steady_clock;

    // Sounds that can overlap; a further one takes the place of the oldest.
    static constexpr int VoiceCount = 16;
    // How long a change of the master volume takes.
    static constexpr int RampMilliseconds = 5;
    // The same sound asked for again this soon after it started is not started again: a cone
    // touched frame after frame (or many cones in one frame) sound as one crash, not a pile.
    static constexpr int RepeatMilliseconds = 100;
    // Started again later, the earlier one fades out over this time as the new one fades in, so
    // that the two together are never louder than one.
    static constexpr int RepeatFadeMilliseconds = 10;

    explicit AudioMixer(int sampleRate);

    // Starts the sound at the first frame of the next mixed buffer; `requested` is when the game
    // asked for it, for the latency figure.
    void play(std::shared_ptr<const WaveSound> sound, Clock::time_point requested);
    void stopAll();
    // Hundredths of a decibel: 0 plays at full level, -10000 and below are silence.
    void setVolume(int32_t volume);
    static float gainForVolume(int32_t volume);

    // Adds the sounds to the music in `left` and `right` (changed in place), applies the master
    // gain, limits the peaks and writes interleaved 16-bit stereo to `out`, `delayFrames()` after
    // it came in. `mixTime` is when this buffer is made.
    void mix(float* left, float* right, int frames, int16_t* out, Clock::time_point mixTime);

    int playingCount() const;
    // The limiter's look-ahead: the output runs this many frames behind the music and sounds.
    int delayFrames() const { return limiter_.delayFrames(); }
    // The limiter's gain on the last frame out: 1 when nothing is limited.
    float limiterGain() const { return limiter_.gain(); }
    float currentGain() const { return gain_; }
    // From play() to the mixing of the sound's first sample, for the last sound started; negative
    // before any.
    double lastStartLatencyMs() const { return lastStartLatencyMs_; }

  private:
    struct Voice {
        std::shared_ptr<const WaveSound> sound;
        double position = 0;  // in the sound's own frames
        double step = 1;      // its rate over the output rate
        bool started = false;
        int fadeOutLeft = 0;  // frames of the fade-out still to play; 0 when not fading out
        int fadeInLeft = 0;   // frames of the fade-in still to play
        uint64_t order = 0;
        Clock::time_point requested;
    };

    void addVoice(Voice& voice, float* left, float* right, int frames, Clock::time_point mixTime);

    int sampleRate_;
    int rampFrames_;
    int repeatFrames_;
    int repeatFadeFrames_;
    PeakLimiter limiter_;
    std::array<Voice, VoiceCount> voices_;
    uint64_t nextOrder_ = 1;
    float gain_ = 1.0f;
    float targetGain_ = 1.0f;
    float rampStep_ = 0.0f;
    int rampLeft_ = 0;
    double lastStartLatencyMs_ = -1;
};
