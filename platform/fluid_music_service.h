// The music service on FluidSynth and SDL_mixer: General MIDI tunes from a SoundFont, wave sounds
// over them, master tempo and volume, played on the audio device or rendered offline on request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/music_service.h"

// Both modes run one mixing path: FluidSynth renders the tune (its player driven by the rendered
// samples), the sound mixer adds the sounds and applies the master gain. In device mode SDL_mixer
// opens the output and calls that path as its music hook; offline the caller pulls it.
class FluidMusicService : public MusicService {
  public:
    static constexpr int DeviceSampleRate = 44100;
    static constexpr int DeviceBufferFrames = 1024;
    static constexpr size_t MaxTuneBytes = size_t(4) << 20;
    static constexpr size_t MaxSoundBytes = size_t(8) << 20;

    // The General MIDI SoundFonts looked for, in order (Debian's default first).
    static std::vector<std::string> defaultSoundFonts();

    FluidMusicService();
    explicit FluidMusicService(std::vector<std::string> soundFontCandidates);
    ~FluidMusicService() override;
    FluidMusicService(const FluidMusicService&) = delete;
    FluidMusicService& operator=(const FluidMusicService&) = delete;

    // Opens the audio device; without one, the same mixer runs into SDL's silent dummy output.
    bool start() override;
    std::unique_ptr<Segment> loadSegment(const std::string& path) override;
    bool setStandardMidiFile(Segment& segment) override;
    bool download(Segment& segment) override;
    bool playPrimary(Segment& segment) override;
    bool playSecondary(Segment& segment) override;
    bool setMasterTempo(float factor) override;
    bool setMasterVolume(int32_t volume) override;
    bool stop() override;
    void closeDown() override;

    // Starts without any device: nothing is heard, and renderOffline pulls the final mix.
    bool startOffline(int sampleRate);
    // Interleaved 16-bit stereo; silence when the service is not running offline.
    void renderOffline(int16_t* stereoFrames, int frameCount);

    struct Stats {
        uint64_t framesMixed = 0;
        uint64_t buffersMixed = 0;
        double mixSeconds = 0;           // time spent in the mixing path
        double lastSoundLatencyMs = -1;  // playSecondary to the mixing of its first sample
    };
    Stats stats() const;
    bool running() const;
    // True when an audio device pulls the mix (SDL's dummy output included).
    bool deviceOpen() const;
    bool silentOutput() const;  // the device is SDL's dummy output
    int sampleRate() const;
    std::string soundFontPath() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
