// Synthesis of the effect sounds and the WAV writer. Noise comes from the generator's own
// linear congruential generator, so every run writes the same samples.
#include "sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMinus3dB = 0.70794578;
constexpr double kMinus8dB = 0.39810717;

class Noise {
  public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    // White noise in -1..1.
    double next() {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) / 8388607.5 - 1.0;
    }

  private:
    uint32_t state_;
};

// Fades, then scales the sound to the given peak level.
std::vector<float> finish(std::vector<double> s, double level) {
    // Short fades at both ends, so the sound starts and stops without a click.
    const size_t fadeIn = kSampleRate / 1000, fadeOut = kSampleRate / 50;
    for (size_t i = 0; i < fadeIn && i < s.size(); ++i) {
        s[i] *= static_cast<double>(i) / fadeIn;
    }
    for (size_t i = 0; i < fadeOut && i < s.size(); ++i) {
        s[s.size() - 1 - i] *= static_cast<double>(i) / fadeOut;
    }
    double peak = 0.0;
    for (double v : s) {
        peak = std::max(peak, std::abs(v));
    }
    std::vector<float> out(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        out[i] = static_cast<float>(peak > 0.0 ? s[i] * level / peak : 0.0);
    }
    return out;
}

// A bell-like tone: a few partials, the higher ones dying faster.
double bell(double t, double frequency, double decay) {
    static const double kPartials[][2] = {{1.0, 1.0}, {2.0, 0.45}, {3.01, 0.22}, {4.2, 0.12}};
    double v = 0.0;
    for (const auto& p : kPartials) {
        v += p[1] * std::sin(2.0 * kPi * frequency * p[0] * t) * std::exp(-t * p[0] / decay);
    }
    return v * std::min(1.0, t / 0.003);
}

// Odd harmonics of a square wave, kept well below the Nyquist frequency.
double softSquare(double t, double frequency) {
    double v = 0.0;
    for (int h = 1; h <= 9 && h * frequency < 12000.0; h += 2) {
        v += std::sin(2.0 * kPi * frequency * h * t) / h;
    }
    return v;
}

}  // namespace

std::vector<float> makeCrash() {
    const size_t n = static_cast<size_t>(0.9 * kSampleRate);
    std::vector<double> s(n);
    Noise noise(0x0DDBA11u);
    double low = 0.0, band = 0.0, phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        // Noise through a two-pole low-pass filter whose cutoff falls from bright to dull.
        double cutoff = 300.0 + 5000.0 * std::exp(-t / 0.08);
        double f = 2.0 * std::sin(kPi * cutoff / kSampleRate);
        low += f * band;
        band += f * (noise.next() - low - 0.5 * band);
        double burst = low * std::exp(-t / 0.13);
        // A thump whose pitch drops, and the rattle of loose metal.
        phase += 2.0 * kPi * (40.0 + 90.0 * std::exp(-t / 0.05)) / kSampleRate;
        double thump = 0.9 * std::sin(phase) * std::exp(-t / 0.09);
        double rattle = 0.0;
        for (double freq : {523.0, 1187.0, 1731.0, 2459.0}) {
            rattle += std::sin(2.0 * kPi * freq * t) * std::exp(-t / 0.07) * 0.12;
        }
        s[i] = burst + thump + rattle * (0.5 + 0.5 * noise.next());
    }
    return finish(s, kMinus3dB);
}

std::vector<float> makeRecordChime() {
    const size_t n = static_cast<size_t>(1.25 * kSampleRate);
    static const double kNotes[][2] = {
        {0.00, 1046.50}, {0.07, 1318.51}, {0.14, 1567.98}, {0.21, 2093.00}};  // C6 E6 G6 C7
    std::vector<double> s(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        for (const auto& note : kNotes) {
            if (t >= note[0]) {
                // The last, highest note rings longest.
                double decay = note[0] > 0.2 ? 0.34 : 0.22;
                s[i] += bell(t - note[0], note[1], decay);
            }
        }
        s[i] *= 1.0 - 0.8 * std::max(0.0, (t - 1.0) / 0.25);
    }
    return finish(s, kMinus3dB);
}

std::vector<float> makeAlert() {
    const double tone = 0.15, gap = 0.025;
    const double frequencies[] = {880.0, 660.0, 880.0, 660.0};
    const size_t n = static_cast<size_t>((4 * tone + 3 * gap + 0.05) * kSampleRate);
    std::vector<double> s(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        int k = static_cast<int>(t / (tone + gap));
        double local = t - k * (tone + gap);
        if (k < 4 && local < tone) {
            double edge = std::min({1.0, local / 0.004, (tone - local) / 0.004});
            s[i] = softSquare(t, frequencies[k]) * edge;
        }
    }
    // A square wave is dense: a lower peak keeps it about as loud as the other two.
    return finish(s, kMinus8dB);
}

bool writeWav(const std::string& path, const std::vector<float>& samples) {
    std::vector<uint8_t> out;
    auto put = [&out](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
        }
    };
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(36 + dataBytes, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(kSampleRate, 4);
    put(kSampleRate * 2, 4);  // bytes a second
    put(2, 2);                // bytes a frame
    put(16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(dataBytes, 4);
    for (float v : samples) {
        long q = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        put(static_cast<uint32_t>(static_cast<int16_t>(q)) & 0xFFFF, 2);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "writeWav: cannot create '%s'\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "writeWav: short write to '%s'\n", path.c_str());
    }
    return ok;
}
