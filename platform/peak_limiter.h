// A look-ahead peak limiter for the final mix: the stereo sum comes out a few milliseconds later,
// its gain lowered smoothly ahead of any peak above the ceiling, so no sample reaches full scale.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

class PeakLimiter {
  public:
    // -1 dBFS: the loudest sample that leaves the limiter.
    static constexpr float Ceiling = 0.8912509f;
    static constexpr int LookAheadMilliseconds = 2;
    static constexpr int ReleaseMilliseconds = 120;

    explicit PeakLimiter(int sampleRate);
    static int delayFramesFor(int sampleRate);

    // Frames between a sample going in and coming out.
    int delayFrames() const { return delay_; }
    // Changes `left` and `right` in place: each frame out is the one `delayFrames()` earlier,
    // scaled by the gain of that moment.
    void process(float* left, float* right, int frames);
    // Forgets what is on its way out and any gain reduction.
    void reset();
    // The gain of the last frame out, 1 when nothing is being limited.
    float gain() const { return lastGain_; }

  private:
    struct Need {
        int64_t frame;
        float gain;
    };

    int delay_;
    double releaseCoefficient_;
    std::vector<float> delayedLeft_, delayedRight_;
    std::vector<float> recentGains_;  // the last `delay_` envelope values, for their average
    double gainSum_ = 0;
    int position_ = 0;
    int64_t frame_ = 0;
    std::deque<Need> window_;  // rising gains needed over the look-ahead, lowest first
    double envelope_ = 1;
    float lastGain_ = 1;
};
