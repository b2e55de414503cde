// The RIFF WAVE reader: sample decoding of each format, the chunk walk, and the files it refuses.
#include "audio/wave_file.h"

#include <gtest/gtest.h>

#include "audio/media_builders.h"

namespace {

using media::Bytes;

bool read(const Bytes& bytes, WaveSound& sound, std::string& error) {
    return readWaveFile(bytes.data(), bytes.size(), sound, error);
}

bool accepted(const Bytes& bytes) {
    WaveSound sound;
    std::string error;
    return read(bytes, sound, error);
}

// A RIFF WAVE file from raw chunks (each padded to an even size).
Bytes riff(const std::vector<std::pair<std::string, Bytes>>& chunks) {
    Bytes body{'W', 'A', 'V', 'E'};
    for (const auto& [id, content] : chunks) {
        body.insert(body.end(), id.begin(), id.end());
        media::append(body, media::littleEndian(uint32_t(content.size()), 4));
        media::append(body, content);
        if (content.size() & 1)
            body.push_back(0);
    }
    Bytes out{'R', 'I', 'F', 'F'};
    media::append(out, media::littleEndian(uint32_t(body.size()), 4));
    media::append(out, body);
    return out;
}

Bytes fmtChunk(uint16_t tag, int channels, int rate, int bits, int blockAlign = -1) {
    if (blockAlign < 0)
        blockAlign = channels * bits / 8;
    Bytes fmt = media::littleEndian(tag, 2);
    media::append(fmt, media::littleEndian(uint32_t(channels), 2));
    media::append(fmt, media::littleEndian(uint32_t(rate), 4));
    media::append(fmt, media::littleEndian(uint32_t(rate * blockAlign), 4));
    media::append(fmt, media::littleEndian(uint32_t(blockAlign), 2));
    media::append(fmt, media::littleEndian(uint32_t(bits), 2));
    return fmt;
}

TEST(WaveFile, DecodesEachSampleFormatToFullScaleFloats) {
    WaveSound sound;
    std::string error;

    // 16-bit stereo: exact quarter steps of full scale.
    ASSERT_TRUE(read(media::waveFile(44100, 2, 16, {0.5f, -0.5f, -1.0f, 0.25f}), sound, error))
        << error;
    EXPECT_EQ(sound.sampleRate, 44100);
    EXPECT_EQ(sound.channels, 2);
    ASSERT_EQ(sound.frameCount(), 2u);
    EXPECT_EQ(sound.samples, (std::vector<float>{0.5f, -0.5f, -1.0f, 0.25f}));

    // 8-bit is unsigned around 128.
    ASSERT_TRUE(
        read(riff({{"fmt ", fmtChunk(1, 1, 8000, 8)}, {"data", {128, 255, 0}}}), sound, error));
    EXPECT_EQ(sound.channels, 1);
    EXPECT_EQ(sound.samples, (std::vector<float>{0.0f, 127.0f / 128.0f, -1.0f}));

    // 24-bit signed, sign-extended.
    ASSERT_TRUE(read(riff({{"fmt ", fmtChunk(1, 1, 48000, 24)},
                           {"data", {0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF}}}),
                     sound, error));
    EXPECT_EQ(sound.samples, (std::vector<float>{0.5f, -1.0f, -1.0f / 8388608.0f}));

    // 32-bit float, with an infinity that must not reach the mix.
    Bytes floats = media::waveFile(22050, 1, 32, {0.75f, -0.125f}, 3);
    ASSERT_TRUE(read(floats, sound, error)) << error;
    EXPECT_EQ(sound.samples, (std::vector<float>{0.75f, -0.125f}));
    Bytes inf =
        riff({{"fmt ", fmtChunk(3, 1, 22050, 32)}, {"data", {0, 0, 0x80, 0x7F, 0, 0, 0, 0x40}}});
    ASSERT_TRUE(read(inf, sound, error));
    EXPECT_EQ(sound.samples, (std::vector<float>{0.0f, 1.0f}));  // +inf dropped, 2.0 clamped

    // The extensible format chunk names PCM in its sub-format.
    Bytes ext = fmtChunk(0xFFFE, 1, 44100, 16);
    media::append(ext, {22, 0, 16, 0, 4, 0, 0, 0, 0x01, 0x00});
    ext.resize(40, 0);
    ASSERT_TRUE(read(riff({{"fmt ", ext}, {"data", {0x00, 0x40}}}), sound, error)) << error;
    EXPECT_EQ(sound.samples, (std::vector<float>{0.5f}));
}

TEST(WaveFile, WalksPaddedChunksAndIgnoresWhatFollowsTheSamples) {
    // An odd-sized LIST chunk with its pad byte, a longer format chunk (cbSize), a partial last
    // frame and bytes after the RIFF chunk.
    Bytes fmt = fmtChunk(1, 2, 44100, 16);
    media::append(fmt, {0, 0});
    Bytes file =
        riff({{"LIST", {'I', 'N', 'F'}}, {"fmt ", fmt}, {"data", {0x00, 0x40, 0x00, 0xC0, 0x01}}});
    media::append(file, {'j', 'u', 'n', 'k'});
    WaveSound sound;
    std::string error;
    ASSERT_TRUE(read(file, sound, error)) << error;
    EXPECT_EQ(sound.samples, (std::vector<float>{0.5f, -0.5f}));
    EXPECT_DOUBLE_EQ(sound.seconds(), 1.0 / 44100);
}

TEST(WaveFile, RefusesMalformedFiles) {
    Bytes pcm = fmtChunk(1, 1, 44100, 16);
    Bytes samples = {0x00, 0x10, 0x00, 0x20};
    Bytes good = riff({{"fmt ", pcm}, {"data", samples}});
    ASSERT_TRUE(accepted(good));

    struct Case {
        const char* what;
        Bytes bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"header only", Bytes(good.begin(), good.begin() + 11)});
    Bytes notRiff = good;
    notRiff[0] = 'R', notRiff[1] = 'I', notRiff[2] = 'F', notRiff[3] = 'X';
    cases.push_back({"not RIFF", notRiff});
    Bytes notWave = good;
    notWave[8] = 'A';
    cases.push_back({"not WAVE", notWave});
    Bytes longRiff = good;
    longRiff[4] += 2;
    cases.push_back({"RIFF chunk longer than the file", longRiff});
    Bytes longData = good;
    longData[good.size() - samples.size() - 4] += 2;
    cases.push_back({"data chunk past the RIFF end", longData});
    cases.push_back({"no format chunk", riff({{"LIST", {'a', 'b'}}})});
    cases.push_back({"data before format", riff({{"data", samples}, {"fmt ", pcm}})});
    cases.push_back({"no data chunk", riff({{"fmt ", pcm}})});
    cases.push_back({"short format chunk",
                     riff({{"fmt ", Bytes(pcm.begin(), pcm.begin() + 14)}, {"data", samples}})});
    cases.push_back({"two format chunks", riff({{"fmt ", pcm}, {"fmt ", pcm}, {"data", samples}})});
    cases.push_back({"ADPCM", riff({{"fmt ", fmtChunk(2, 1, 44100, 4, 1)}, {"data", samples}})});
    cases.push_back(
        {"three channels", riff({{"fmt ", fmtChunk(1, 3, 44100, 16)}, {"data", samples}})});
    cases.push_back(
        {"no channels", riff({{"fmt ", fmtChunk(1, 0, 44100, 16, 2)}, {"data", samples}})});
    cases.push_back(
        {"12-bit samples", riff({{"fmt ", fmtChunk(1, 1, 44100, 12, 2)}, {"data", samples}})});
    cases.push_back(
        {"16-bit float", riff({{"fmt ", fmtChunk(3, 1, 44100, 16)}, {"data", samples}})});
    cases.push_back(
        {"block size mismatch", riff({{"fmt ", fmtChunk(1, 1, 44100, 16, 4)}, {"data", samples}})});
    cases.push_back(
        {"sample rate of zero", riff({{"fmt ", fmtChunk(1, 1, 0, 16)}, {"data", samples}})});
    cases.push_back({"no whole frame", riff({{"fmt ", pcm}, {"data", {0x01}}})});
    Bytes shortExt = fmtChunk(0xFFFE, 1, 44100, 16);
    media::append(shortExt, {22, 0});
    cases.push_back({"short extensible chunk", riff({{"fmt ", shortExt}, {"data", samples}})});
    for (const Case& c : cases) {
        WaveSound sound;
        std::string error;
        EXPECT_FALSE(read(c.bytes, sound, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_TRUE(sound.samples.empty()) << c.what;
    }
}

TEST(WaveFile, TruncationsAreRefusedAndDamageNeverReadsPastTheData) {
    Bytes file = media::waveFile(44100, 2, 16, media::sineTone(440, 0.01, 44100, 0.5f));
    ASSERT_TRUE(accepted(file));
    // Up to the last whole frame every prefix is refused: the data chunk claims more than is there.
    for (size_t n = 0; n < file.size(); ++n) {
        Bytes prefix(file.begin(), file.begin() + long(n));
        EXPECT_FALSE(accepted(prefix)) << "prefix of " << n << " bytes";
    }
    uint32_t seed = 99;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < 3000; ++i) {
        Bytes damaged = file;
        // Damage the header and chunk structure, where the reader makes its decisions.
        for (int k = 0; k < 2; ++k) damaged[next() % 48] = uint8_t(next());
        WaveSound sound;
        std::string error;
        if (read(damaged, sound, error)) {
            EXPECT_LE(sound.samples.size(), damaged.size());
            EXPECT_GT(sound.frameCount(), 0u);
        }
    }
}

}  // namespace
