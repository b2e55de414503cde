// Offline rendering of the game's sound for the headless runner.
#include "headless_audio.h"

#include <cstring>

#include "platform/fluid_music_service.h"

namespace {

constexpr int kRate = 44100;

void putLe32(std::FILE* f, uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

void putLe16(std::FILE* f, uint16_t v) {
    unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

void writeWavHeader(std::FILE* f, uint64_t frames) {
    uint32_t dataBytes = static_cast<uint32_t>(frames * 4);
    std::fseek(f, 0, SEEK_SET);
    std::fwrite("RIFF", 1, 4, f);
    putLe32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    putLe32(f, 16);
    putLe16(f, 1);  // PCM
    putLe16(f, 2);
    putLe32(f, kRate);
    putLe32(f, kRate * 4);
    putLe16(f, 4);
    putLe16(f, 16);
    std::fwrite("data", 1, 4, f);
    putLe32(f, dataBytes);
}

}  // namespace

// The real service, started offline instead of on a device.
class HeadlessAudio::Offline : public MusicService {
  public:
    bool start() override { return inner.startOffline(kRate); }
    std::unique_ptr<Segment> loadSegment(const std::string& path) override {
        return inner.loadSegment(path);
    }
    bool setStandardMidiFile(Segment& s) override { return inner.setStandardMidiFile(s); }
    bool download(Segment& s) override { return inner.download(s); }
    bool playPrimary(Segment& s) override { return inner.playPrimary(s); }
    bool playSecondary(Segment& s) override { return inner.playSecondary(s); }
    bool setMasterTempo(float f) override { return inner.setMasterTempo(f); }
    bool setMasterVolume(int32_t v) override { return inner.setMasterVolume(v); }
    bool stop() override { return inner.stop(); }
    void closeDown() override { inner.closeDown(); }
    FluidMusicService inner;
};

HeadlessAudio::HeadlessAudio() : offline_(std::make_unique<Offline>()) {}
HeadlessAudio::~HeadlessAudio() {
    finish();
}

bool HeadlessAudio::open(const std::string& wavPath) {
    if (wavPath.empty())
        return true;
    wav_ = std::fopen(wavPath.c_str(), "wb");
    if (!wav_) {
        std::fprintf(stderr, "dravik-headless: cannot write the audio file %s\n", wavPath.c_str());
        return false;
    }
    writeWavHeader(wav_, 0);
    return true;
}

MusicService* HeadlessAudio::service() {
    return offline_.get();
}

void HeadlessAudio::advance(uint32_t ms) {
    // Without a file nothing is rendered: the tune's position does not change what the game does.
    if (!wav_ || !offline_->inner.running())
        return;
    msCarry_ += static_cast<uint64_t>(ms) * kRate;
    int frames = static_cast<int>(msCarry_ / 1000);
    msCarry_ %= 1000;
    if (frames <= 0)
        return;
    buffer_.resize(static_cast<size_t>(frames) * 2);
    offline_->inner.renderOffline(buffer_.data(), frames);
    std::fwrite(buffer_.data(), sizeof(int16_t), buffer_.size(), wav_);
    framesWritten_ += static_cast<uint64_t>(frames);
}

void HeadlessAudio::finish() {
    if (!wav_)
        return;
    writeWavHeader(wav_, framesWritten_);
    std::fclose(wav_);
    wav_ = nullptr;
}
