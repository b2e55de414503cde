// RIFF WAVE reading: the chunk walk, the format chunk checks and the sample decoding.
#include "audio/wave_file.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint32_t little32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t little16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

bool fail(std::string& error, const char* why) {
    error = why;
    return false;
}

struct Format {
    uint16_t tag = 0;
    int channels = 0;
    uint32_t sampleRate = 0;
    int blockAlign = 0;
    int bits = 0;
};

bool readFormat(const uint8_t* p, uint32_t length, Format& format, std::string& error) {
    if (length < 16)
        return fail(error, "format chunk too short");
    format.tag = little16(p);
    format.channels = little16(p + 2);
    format.sampleRate = little32(p + 4);
    format.blockAlign = little16(p + 12);
    format.bits = little16(p + 14);
    if (format.tag == kFormatExtensible) {
        if (length < 40 || little16(p + 16) < 22)
            return fail(error, "extensible format chunk too short");
        format.tag = little16(p + 24);  // the first two bytes of the sub-format identifier
    }
    if (format.tag != kFormatPcm && format.tag != kFormatFloat) {
        return fail(error, "not PCM or float samples");
    }
    if (format.channels < 1 || format.channels > 2)
        return fail(error, "not mono or stereo");
    if (format.sampleRate < 1000 || format.sampleRate > 384000)
        return fail(error, "bad sample rate");
    bool bitsOk = format.tag == kFormatFloat ? format.bits == 32
                                             : (format.bits == 8 || format.bits == 16 ||
                                                format.bits == 24 || format.bits == 32);
    if (!bitsOk)
        return fail(error, "unsupported sample size");
    if (format.blockAlign != format.channels * format.bits / 8) {
        return fail(error, "block size does not match the sample format");
    }
    return true;
}

float decodeSample(const uint8_t* p, const Format& format) {
    switch (format.bits) {
        case 8:
            return (float(p[0]) - 128.0f) / 128.0f;
        case 16:
            return float(int16_t(little16(p))) / 32768.0f;
        case 24: {
            int32_t v = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24);
            return float(v >> 8) / 8388608.0f;
        }
        default: {
            uint32_t bits = little32(p);
            if (format.tag == kFormatPcm)
                return float(double(int32_t(bits)) / 2147483648.0);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            // Hostile files may hold infinities or NaNs; keep the mix finite.
            if (!std::isfinite(f))
                return 0.0f;
            return f > 1.0f ? 1.0f : (f < -1.0f ? -1.0f : f);
        }
    }
}

}  // namespace

bool readWaveFile(const uint8_t* data, size_t size, WaveSound& sound, std::string& error) {
    sound = WaveSound{};
    if (data == nullptr || size < 12)
        return fail(error, "too short for a RIFF header");
    if (std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
        return fail(error, "not a RIFF WAVE file");
    }
    uint32_t riffSize = little32(data + 4);
    if (riffSize < 4)
        return fail(error, "RIFF chunk too short");
    if (uint64_t(riffSize) + 8 > size)
        return fail(error, "file shorter than its RIFF chunk");
    size_t end = size_t(riffSize) + 8;

    Format format;
    bool haveFormat = false;
    const uint8_t* samples = nullptr;
    uint32_t sampleBytes = 0;
    size_t pos = 12;
    while (end - pos >= 8) {
        const uint8_t* id = data + pos;
        uint32_t length = little32(data + pos + 4);
        pos += 8;
        if (length > end - pos)
            return fail(error, "chunk runs past the end of the file");
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (haveFormat)
                return fail(error, "two format chunks");
            if (!readFormat(data + pos, length, format, error))
                return false;
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (!haveFormat)
                return fail(error, "data chunk before the format chunk");
            samples = data + pos;
            sampleBytes = length;
            break;
        }
        // Chunks are padded to an even size; a missing pad byte at the very end is tolerated.
        pos += length;
        if ((length & 1) && pos < end)
            ++pos;
    }
    if (!haveFormat)
        return fail(error, "no format chunk");
    if (samples == nullptr)
        return fail(error, "no data chunk");
    size_t frames = sampleBytes / size_t(format.blockAlign);
    if (frames == 0)
        return fail(error, "no samples");

    sound.sampleRate = int(format.sampleRate);
    sound.channels = format.channels;
    sound.samples.resize(frames * size_t(format.channels));
    const int bytesPerSample = format.bits / 8;
    for (size_t i = 0; i < sound.samples.size(); ++i) {
        sound.samples[i] = decodeSample(samples + i * size_t(bytesPerSample), format);
    }
    return true;
}
