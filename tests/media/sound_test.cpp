// The three effect sounds, read back with a WAV reader of this test's own: format, length,
// level, clean ends and the character each one needs.
#include <gtest/gtest.h>

#include <cmath>

#include "media_files.h"

namespace {

struct Wave {
    uint32_t rate = 0;
    uint16_t channels = 0, bits = 0, format = 0;
    std::vector<double> samples;  // first channel, -1..1

    double seconds() const { return rate ? static_cast<double>(samples.size()) / rate : 0; }
    size_t at(double t) const { return std::min(samples.size(), static_cast<size_t>(t * rate)); }
};

::testing::AssertionResult readWave(const std::string& name, Wave& w) {
    std::vector<uint8_t> bytes = readMediaFile(name);
    ByteReader r{bytes};
    if (r.tag(4) != "RIFF") {
        return ::testing::AssertionFailure() << name << ": not RIFF";
    }
    uint32_t riffSize = r.le(4);
    if (r.tag(4) != "WAVE" || riffSize + 8 != bytes.size()) {
        return ::testing::AssertionFailure() << name << ": not a WAVE of the stated size";
    }
    bool haveFormat = false, haveData = false;
    while (r.has(8)) {
        std::string id = r.tag(4);
        uint32_t size = r.le(4);
        if (!r.has(size)) {
            return ::testing::AssertionFailure()
                   << name << ": chunk " << id << " runs past the end";
        }
        size_t next = r.pos + size + (size & 1);
        if (id == "fmt " && size >= 16) {
            w.format = static_cast<uint16_t>(r.le(2));
            w.channels = static_cast<uint16_t>(r.le(2));
            w.rate = r.le(4);
            uint32_t byteRate = r.le(4);
            uint32_t align = r.le(2);
            w.bits = static_cast<uint16_t>(r.le(2));
            if (align != w.channels * w.bits / 8u || byteRate != w.rate * align) {
                return ::testing::AssertionFailure() << name << ": inconsistent fmt chunk";
            }
            haveFormat = true;
        } else if (id == "data" && haveFormat && w.bits == 16 && w.channels > 0) {
            size_t frames = size / (2u * w.channels);
            for (size_t i = 0; i < frames; ++i) {
                w.samples.push_back(static_cast<int16_t>(r.le(2)) / 32768.0);
                r.pos += 2u * (w.channels - 1);
            }
            haveData = true;
        }
        r.pos = next;
    }
    if (!haveFormat || !haveData) {
        return ::testing::AssertionFailure() << name << ": fmt or data chunk missing";
    }
    return ::testing::AssertionSuccess();
}

double rms(const Wave& w, double from, double to) {
    size_t a = w.at(from), b = w.at(to);
    double sum = 0;
    for (size_t i = a; i < b; ++i) {
        sum += w.samples[i] * w.samples[i];
    }
    return b > a ? std::sqrt(sum / (b - a)) : 0;
}

// Zero crossings a second: twice the frequency of a dominant tone.
double crossingsPerSecond(const Wave& w, double from, double to) {
    size_t a = w.at(from), b = w.at(to), n = 0;
    for (size_t i = a + 1; i < b; ++i) {
        n += (w.samples[i - 1] < 0) != (w.samples[i] < 0);
    }
    return b > a ? n / ((b - a) / static_cast<double>(w.rate)) : 0;
}

double dbfs(double v) {
    return 20.0 * std::log10(v);
}

void expectPlayableEffect(const char* name, Wave& w) {
    ASSERT_TRUE(readWave(name, w));
    EXPECT_EQ(w.format, 1) << name << ": not PCM";
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_TRUE(w.channels == 1 || w.channels == 2);
    EXPECT_GT(w.seconds(), 0.2) << name;
    EXPECT_LT(w.seconds(), 1.5) << name;
    double peak = 0;
    for (double s : w.samples) {
        peak = std::max(peak, std::abs(s));
    }
    EXPECT_LE(dbfs(peak), -2.5) << name << " peaks too close to full scale";
    EXPECT_GE(dbfs(peak), -12.0) << name << " is too quiet";
    EXPECT_GE(dbfs(rms(w, 0, w.seconds())), -40.0) << name << " is all but silent";
    ASSERT_FALSE(w.samples.empty());
    EXPECT_LT(std::abs(w.samples.front()), 0.01) << name << " starts with a click";
    EXPECT_LT(std::abs(w.samples.back()), 0.01) << name << " stops with a click";
}

TEST(CrashSound, NoiseBurstThatDiesAwayFast) {
    Wave w;
    expectPlayableEffect("crush.wav", w);
    if (HasFatalFailure()) {
        return;
    }
    double d = w.seconds();
    EXPECT_GT(rms(w, 0, 0.1), 8.0 * rms(w, d - 0.1, d));
    EXPECT_GT(crossingsPerSecond(w, 0.0, 0.05), 2000.0) << "a crash is noisy, not a tone";
}

TEST(RecordSound, BrightChimeThatRises) {
    Wave w;
    expectPlayableEffect("sound136.wav", w);
    if (HasFatalFailure()) {
        return;
    }
    double early = crossingsPerSecond(w, 0.005, 0.06);
    double later = crossingsPerSecond(w, 0.25, 0.35);
    EXPECT_GT(early, 1500.0) << "bright: well above the middle of the keyboard";
    EXPECT_GT(later, early * 1.3) << "the chime does not rise";
}

TEST(SlowerPassSound, ShortAlertOfTwoTones) {
    Wave w;
    expectPlayableEffect("alert.wav", w);
    if (HasFatalFailure()) {
        return;
    }
    EXPECT_LT(w.seconds(), 1.0);
    double first = crossingsPerSecond(w, 0.03, 0.12) / 2;
    double second = crossingsPerSecond(w, 0.21, 0.30) / 2;
    EXPECT_GT(first, 300.0);
    EXPECT_GT(second, 300.0);
    EXPECT_GT(std::abs(first - second), 0.1 * std::max(first, second)) << "one tone, not two";
}

}  // namespace
