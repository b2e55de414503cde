// The look-ahead peak limiter: the lowest gain any sample in the look-ahead needs, released
// slowly, then averaged over the look-ahead so the gain glides down before a peak instead of
// stepping (a step would click).
#include "platform/peak_limiter.h"

#include <algorithm>
#include <cmath>

int PeakLimiter::delayFramesFor(int sampleRate) {
    int rate = sampleRate > 0 ? sampleRate : 44100;
    return std::max(1, rate * LookAheadMilliseconds / 1000);
}

PeakLimiter::PeakLimiter(int sampleRate) {
    int rate = sampleRate > 0 ? sampleRate : 44100;
    delay_ = delayFramesFor(rate);
    releaseCoefficient_ = 1.0 - std::exp(-1000.0 / (double(ReleaseMilliseconds) * rate));
    reset();
}

void PeakLimiter::reset() {
    delayedLeft_.assign(size_t(delay_), 0.0f);
    delayedRight_.assign(size_t(delay_), 0.0f);
    recentGains_.assign(size_t(delay_), 1.0f);
    gainSum_ = double(delay_);
    position_ = 0;
    window_.clear();
    envelope_ = 1;
    lastGain_ = 1;
}

void PeakLimiter::process(float* left, float* right, int frames) {
    for (int i = 0; i < frames; ++i, ++frame_) {
        float level = std::max(std::fabs(left[i]), std::fabs(right[i]));
        float need = level > Ceiling ? Ceiling / level : 1.0f;

        // The lowest need over this frame and the `delay_` before it: every frame still in the
        // delay line is covered.
        while (!window_.empty() && window_.back().gain >= need) window_.pop_back();
        window_.push_back({frame_, need});
        while (window_.front().frame < frame_ - delay_) window_.pop_front();

        // Down at once to what is needed, back up slowly so that the music does not pump.
        envelope_ = std::min<double>(window_.front().gain,
                                     envelope_ + (1.0 - envelope_) * releaseCoefficient_);

        // The average of `delay_` envelope values that each cover the frame leaving now never
        // exceeds its need.
        float envelope = float(envelope_);
        gainSum_ += double(envelope) - double(recentGains_[size_t(position_)]);
        recentGains_[size_t(position_)] = envelope;
        float gain = float(gainSum_ / double(delay_));

        float outLeft = delayedLeft_[size_t(position_)] * gain;
        float outRight = delayedRight_[size_t(position_)] * gain;
        delayedLeft_[size_t(position_)] = left[i];
        delayedRight_[size_t(position_)] = right[i];
        left[i] = outLeft;
        right[i] = outRight;
        lastGain_ = gain;

        if (++position_ == delay_) {
            position_ = 0;
            // Sum afresh once per round so that rounding cannot creep.
            gainSum_ = 0;
            for (float g : recentGains_) gainSum_ += double(g);
        }
    }
}
