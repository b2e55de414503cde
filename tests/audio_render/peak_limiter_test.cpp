// The look-ahead peak limiter on its own: held under the ceiling, no step in the gain, and the
// level back once the peak has gone.
#include "platform/peak_limiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 44100;

TEST(PeakLimiterTest, GlidesDownBeforeAPeakHoldsItUnderTheCeilingAndLetsGoSlowly) {
    PeakLimiter limiter(kRate);
    const int d = limiter.delayFrames();
    // A quiet tone with one burst four times full scale (a pile of sounds) in the middle.
    const int frames = kRate;
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        float tone = 0.3f * float(std::sin(2 * M_PI * 440 * i / kRate));
        bool burst = i >= kRate / 4 && i < kRate / 4 + 2000;
        left[size_t(i)] = burst ? 4.0f * tone / 0.3f : tone;
        right[size_t(i)] = burst ? -left[size_t(i)] : tone;
    }
    std::vector<float> inLeft = left;
    // Frame by frame, to follow the gain.
    std::vector<float> gains;
    for (int i = 0; i < frames; ++i) {
        limiter.process(&left[size_t(i)], &right[size_t(i)], 1);
        gains.push_back(limiter.gain());
    }
    float loudest = 0;
    for (int i = 0; i < frames; ++i)
        loudest = std::max({loudest, std::fabs(left[size_t(i)]), std::fabs(right[size_t(i)])});
    EXPECT_LE(loudest, PeakLimiter::Ceiling * 1.0001f);
    EXPECT_GT(loudest, PeakLimiter::Ceiling * 0.99f);

    // Before the burst: the tone, delayed, untouched.
    for (int i = d; i < kRate / 4 - d; ++i) ASSERT_EQ(left[size_t(i)], inLeft[size_t(i - d)]) << i;
    // The gain never steps: at most a look-ahead's share of the way down per frame.
    float worstStep = 0;
    for (size_t i = 1; i < gains.size(); ++i)
        worstStep = std::max(worstStep, gains[i - 1] - gains[i]);
    EXPECT_LE(worstStep, 1.0f / float(d) + 1e-4f);
    // It comes back up over about the release time, not at once (that would pump), and gets there.
    int burstEnd = kRate / 4 + 2000 + d;
    EXPECT_LT(gains[size_t(burstEnd + kRate / 100)], 0.6f);
    EXPECT_GT(gains[size_t(frames - 1)], 0.98f);

    // Reset drops what waits in the delay line.
    limiter.reset();
    std::vector<float> zeros(static_cast<size_t>(d), 0.0f),
        zerosRight(static_cast<size_t>(d), 0.0f);
    limiter.process(zeros.data(), zerosRight.data(), d);
    for (float s : zeros) EXPECT_EQ(s, 0.0f);
    EXPECT_EQ(limiter.gain(), 1.0f);
}

}  // namespace
