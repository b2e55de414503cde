// FluidSynth and SDL_mixer behind the music service: the synthesizer and its MIDI player, the
// sound mixer, the audio device with its silent fallback, and the offline render.
#include "platform/fluid_music_service.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "app/messages.h"
#include "audio/midi_file.h"
#include "audio/wave_file.h"
#include "gfx/data_folder.h"
#include "gfx/file_access.h"
#include "platform/audio_mixer.h"

namespace {

using Clock = AudioMixer::Clock;

// Frames rendered per FluidSynth call inside one buffer.
constexpr int kBlockFrames = 512;

class FluidTune : public Segment {
  public:
    const void* owner = nullptr;
    std::vector<uint8_t> bytes;
    MidiFileInfo info;
    bool standardMidiFile = false;
    bool downloaded = false;
};

class FluidSound : public Segment {
  public:
    const void* owner = nullptr;
    std::shared_ptr<const WaveSound> sound;
    bool downloaded = false;
};

// Said on stderr, and noted for the message that reports the failed load.
void report(const std::string& detail) {
    std::fprintf(stderr, "FluidMusicService: %s\n", detail.c_str());
    noteFileFailure(detail);
}

void complain(const std::string& path, const std::string& why) {
    report(fileFailure("read", path, why));
}

// The whole file, refused when it is larger than `limit` or not a regular file; `error` says
// what failed, the file and why.
bool readWholeFile(const std::string& path, size_t limit, std::vector<uint8_t>& bytes,
                   std::string& error) {
    const int fd = openRegularFile(dataFilePath(path), error);
    if (fd < 0)
        return false;
    bytes.clear();
    bool ok = true;
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = fileFailure("read", path, errno);
            ok = false;
            break;
        }
        if (got == 0)
            break;
        if (size_t(got) > limit - bytes.size()) {
            error = fileFailure("read", path, "larger than " + std::to_string(limit) + " bytes");
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::close(fd);
    return ok;
}

bool startsWith(const std::vector<uint8_t>& bytes, size_t offset, const char* tag) {
    size_t n = std::strlen(tag);
    return bytes.size() >= offset + n && std::memcmp(bytes.data() + offset, tag, n) == 0;
}

}  // namespace

struct FluidMusicService::Impl {
    std::vector<std::string> soundFontCandidates;
    std::string soundFontPath;

    // Guards everything below against the audio device's thread, which runs the music hook.
    mutable std::mutex lock;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    std::unique_ptr<AudioMixer> mixer;
    int rate = 0;
    double tempo = 1.0;
    bool running = false;
    bool offline = false;
    bool device = false;
    bool dummyDevice = false;
    float left[kBlockFrames] = {};
    float right[kBlockFrames] = {};
    Stats stats;

    bool startSynth(int sampleRate);
    void stopSynth();
    bool openDevice();
    void closeDevice();
    void removePlayer();
    void mix(int16_t* out, int frames);

    static void SDLCALL musicHook(void* data, Uint8* stream, int bytes);
};

bool FluidMusicService::Impl::startSynth(int sampleRate) {
    soundFontPath.clear();
    for (const std::string& candidate : soundFontCandidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            soundFontPath = candidate;
            break;
        }
    }
    if (soundFontPath.empty()) {
        std::string looked;
        for (const std::string& candidate : soundFontCandidates) looked += "\n  " + candidate;
        showMessage("No General MIDI SoundFont found for the music. Looked for:" + looked +
                    "\nInstall the Debian package timgm6mb-soundfont or fluid-soundfont-gm.");
        return false;
    }

    settings = new_fluid_settings();
    if (settings == nullptr)
        return false;
    fluid_settings_setnum(settings, "synth.sample-rate", double(sampleRate));
    // A loop must not cut the notes still sounding at the tune's end; a new tune resets the
    // synthesizer itself (removePlayer).
    fluid_settings_setint(settings, "player.reset-synth", 0);
    // Somewhat above FluidSynth's default of 0.2: the game's tunes then peak at -8 to -6 dBFS,
    // under the sounds (about -3 dBFS) and clear of clipping when both play.
    fluid_settings_setnum(settings, "synth.gain", 0.3);
    synth = new_fluid_synth(settings);
    if (synth == nullptr) {
        stopSynth();
        return false;
    }
    if (fluid_synth_sfload(synth, soundFontPath.c_str(), 1) == FLUID_FAILED) {
        showMessage("The General MIDI SoundFont " + soundFontPath +
                    " cannot be loaded.\nReinstall the Debian package timgm6mb-soundfont or "
                    "fluid-soundfont-gm.");
        stopSynth();
        return false;
    }
    rate = sampleRate;
    tempo = 1.0;
    mixer = std::make_unique<AudioMixer>(sampleRate);
    stats = Stats{};
    return true;
}

void FluidMusicService::Impl::stopSynth() {
    removePlayer();
    if (synth != nullptr)
        delete_fluid_synth(synth);
    if (settings != nullptr)
        delete_fluid_settings(settings);
    synth = nullptr;
    settings = nullptr;
    mixer.reset();
}

void FluidMusicService::Impl::removePlayer() {
    if (player != nullptr) {
        fluid_player_stop(player);
        delete_fluid_player(player);
        player = nullptr;
    }
    // The reset clears reverb and chorus and forgets the old tune's programs, but lets its notes
    // fade out; cutting every voice after it silences the tune at once.
    if (synth != nullptr) {
        fluid_synth_system_reset(synth);
        fluid_synth_all_sounds_off(synth, -1);
    }
}

void SDLCALL FluidMusicService::Impl::musicHook(void* data, Uint8* stream, int bytes) {
    Impl* impl = static_cast<Impl*>(data);
    std::lock_guard<std::mutex> guard(impl->lock);
    impl->mix(reinterpret_cast<int16_t*>(stream), bytes / int(2 * sizeof(int16_t)));
}

void FluidMusicService::Impl::mix(int16_t* out, int frames) {
    if (synth == nullptr || mixer == nullptr) {
        std::memset(out, 0, size_t(frames) * 2 * sizeof(int16_t));
        return;
    }
    Clock::time_point began = Clock::now();
    for (int done = 0; done < frames;) {
        int n = std::min(kBlockFrames, frames - done);
        // Rendering advances the player: its timer counts these samples, not a wall clock. With
        // no tune (before the first, after a stop) the synthesizer has nothing to say.
        if (player == nullptr ||
            fluid_synth_write_float(synth, n, left, 0, 1, right, 0, 1) != FLUID_OK) {
            std::fill_n(left, n, 0.0f);
            std::fill_n(right, n, 0.0f);
        }
        mixer->mix(left, right, n, out + 2 * done, began);
        done += n;
    }
    stats.framesMixed += uint64_t(frames);
    stats.buffersMixed += 1;
    stats.mixSeconds += std::chrono::duration<double>(Clock::now() - began).count();
    stats.lastSoundLatencyMs = mixer->lastStartLatencyMs();
}

bool FluidMusicService::Impl::openDevice() {
    auto tryOpen = [](std::string& reason) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            reason = SDL_GetError();
            return false;
        }
        // No format changes allowed: SDL converts to whatever the device wants.
        if (Mix_OpenAudioDevice(DeviceSampleRate, AUDIO_S16SYS, 2, DeviceBufferFrames, nullptr,
                                0) != 0) {
            reason = Mix_GetError();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        return true;
    };

    std::string reason;
    if (tryOpen(reason)) {
        const char* driver = SDL_GetCurrentAudioDriver();
        dummyDevice = driver != nullptr && std::strcmp(driver, "dummy") == 0;
    } else {
        static bool told = false;
        if (!told) {
            std::fprintf(stderr,
                         "Dravik: no audio output (%s); the game runs on with its sound silent.\n",
                         reason.c_str());
            told = true;
        }
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        bool opened = tryOpen(reason);
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (!opened) {
            // Not even the silent output: the service still answers, and nothing pulls the mix.
            std::fprintf(stderr, "Dravik: no silent audio output either (%s).\n", reason.c_str());
            return false;
        }
        dummyDevice = true;
    }
    device = true;
    Mix_HookMusic(&Impl::musicHook, this);
    return true;
}

void FluidMusicService::Impl::closeDevice() {
    if (!device)
        return;
    // Once the hook is removed the device thread no longer enters the mixing path.
    Mix_HookMusic(nullptr, nullptr);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    device = false;
    dummyDevice = false;
}

std::vector<std::string> FluidMusicService::defaultSoundFonts() {
    return {
        "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/soundfonts/default.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",   "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/soundfonts/FluidR3_GM.sf2",
    };
}

FluidMusicService::FluidMusicService() : FluidMusicService(defaultSoundFonts()) {}

FluidMusicService::FluidMusicService(std::vector<std::string> soundFontCandidates)
    : impl_(std::make_unique<Impl>()) {
    impl_->soundFontCandidates = std::move(soundFontCandidates);
}

FluidMusicService::~FluidMusicService() {
    closeDown();
}

bool FluidMusicService::start() {
    if (impl_->running)
        return !impl_->offline;
    {
        std::lock_guard<std::mutex> guard(impl_->lock);
        if (!impl_->startSynth(DeviceSampleRate))
            return false;
        impl_->running = true;
        impl_->offline = false;
    }
    // Without any output the game still plays; the service answers as if heard.
    impl_->openDevice();
    return true;
}

bool FluidMusicService::startOffline(int sampleRate) {
    if (impl_->running)
        return impl_->offline && impl_->rate == sampleRate;
    if (sampleRate < 8000 || sampleRate > 192000)
        return false;
    std::lock_guard<std::mutex> guard(impl_->lock);
    if (!impl_->startSynth(sampleRate))
        return false;
    impl_->running = true;
    impl_->offline = true;
    return true;
}

void FluidMusicService::renderOffline(int16_t* stereoFrames, int frameCount) {
    if (stereoFrames == nullptr || frameCount <= 0)
        return;
    std::lock_guard<std::mutex> guard(impl_->lock);
    if (!impl_->running || !impl_->offline) {
        std::memset(stereoFrames, 0, size_t(frameCount) * 2 * sizeof(int16_t));
        return;
    }
    impl_->mix(stereoFrames, frameCount);
}

void FluidMusicService::closeDown() {
    impl_->closeDevice();
    std::lock_guard<std::mutex> guard(impl_->lock);
    impl_->stopSynth();
    impl_->running = false;
    impl_->offline = false;
}

std::unique_ptr<Segment> FluidMusicService::loadSegment(const std::string& path) {
    takeFileFailure();  // an earlier failure that nobody reported is not this file's
    std::vector<uint8_t> bytes;
    std::string error;
    if (!readWholeFile(path, std::max(MaxTuneBytes, MaxSoundBytes), bytes, error)) {
        report(error);
        return nullptr;
    }
    if (startsWith(bytes, 0, "MThd")) {
        auto tune = std::make_unique<FluidTune>();
        // A looping player handed a file it cannot parse never returns, so nothing unchecked
        // reaches it.
        if (bytes.size() > MaxTuneBytes) {
            complain(path, "tune larger than " + std::to_string(MaxTuneBytes) + " bytes");
            return nullptr;
        }
        if (!readMidiFileInfo(bytes.data(), bytes.size(), tune->info, error)) {
            complain(path, error);
            return nullptr;
        }
        tune->owner = impl_.get();
        tune->bytes = std::move(bytes);
        return tune;
    }
    if (startsWith(bytes, 0, "RIFF") && startsWith(bytes, 8, "WAVE")) {
        auto sound = std::make_unique<FluidSound>();
        auto samples = std::make_shared<WaveSound>();
        if (!readWaveFile(bytes.data(), bytes.size(), *samples, error)) {
            complain(path, error);
            return nullptr;
        }
        sound->owner = impl_.get();
        sound->sound = std::move(samples);
        return sound;
    }
    complain(path, "neither a standard MIDI file nor a RIFF WAVE file");
    return nullptr;
}

bool FluidMusicService::setStandardMidiFile(Segment& segment) {
    // Every tune plays as General MIDI from the SoundFont; the mark is kept for the record.
    auto* tune = dynamic_cast<FluidTune*>(&segment);
    if (tune == nullptr || tune->owner != impl_.get())
        return false;
    tune->standardMidiFile = true;
    return true;
}

bool FluidMusicService::download(Segment& segment) {
    if (!impl_->running)
        return false;
    if (auto* tune = dynamic_cast<FluidTune*>(&segment); tune && tune->owner == impl_.get()) {
        tune->downloaded = true;
        return true;
    }
    if (auto* sound = dynamic_cast<FluidSound*>(&segment); sound && sound->owner == impl_.get()) {
        sound->downloaded = true;
        return true;
    }
    return false;
}

bool FluidMusicService::playPrimary(Segment& segment) {
    auto* tune = dynamic_cast<FluidTune*>(&segment);
    if (tune == nullptr || tune->owner != impl_.get() || !tune->downloaded)
        return false;
    std::lock_guard<std::mutex> guard(impl_->lock);
    if (!impl_->running)
        return false;
    impl_->removePlayer();
    fluid_player_t* player = new_fluid_player(impl_->synth);
    if (player == nullptr)
        return false;
    if (fluid_player_add_mem(player, tune->bytes.data(), tune->bytes.size()) != FLUID_OK ||
        fluid_player_set_loop(player, -1) != FLUID_OK ||
        fluid_player_set_tempo(player, FLUID_PLAYER_TEMPO_INTERNAL, impl_->tempo) != FLUID_OK ||
        fluid_player_play(player) != FLUID_OK) {
        delete_fluid_player(player);
        return false;
    }
    impl_->player = player;
    return true;
}

bool FluidMusicService::playSecondary(Segment& segment) {
    auto* sound = dynamic_cast<FluidSound*>(&segment);
    if (sound == nullptr || sound->owner != impl_.get() || !sound->downloaded)
        return false;
    Clock::time_point requested = Clock::now();
    std::lock_guard<std::mutex> guard(impl_->lock);
    if (!impl_->running)
        return false;
    impl_->mixer->play(sound->sound, requested);
    return true;
}

bool FluidMusicService::setMasterTempo(float factor) {
    // The player takes factors from 0.001 to 1000.
    if (!std::isfinite(factor) || factor < 0.001f || factor > 1000.0f)
        return false;
    std::lock_guard<std::mutex> guard(impl_->lock);
    if (!impl_->running)
        return false;
    impl_->tempo = factor;
    if (impl_->player == nullptr)
        return true;
    return fluid_player_set_tempo(impl_->player, FLUID_PLAYER_TEMPO_INTERNAL, factor) == FLUID_OK;
}

bool FluidMusicService::setMasterVolume(int32_t volume) {
    std::lock_guard<std::mutex> guard(impl_->lock);
    if (!impl_->running)
        return false;
    impl_->mixer->setVolume(volume);
    return true;
}

bool FluidMusicService::stop() {
    std::lock_guard<std::mutex> guard(impl_->lock);
    if (!impl_->running)
        return false;
    impl_->removePlayer();
    impl_->mixer->stopAll();
    return true;
}

FluidMusicService::Stats FluidMusicService::stats() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->stats;
}

bool FluidMusicService::running() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->running;
}

bool FluidMusicService::deviceOpen() const {
    return impl_->device;
}

bool FluidMusicService::silentOutput() const {
    return impl_->dummyDevice;
}

int FluidMusicService::sampleRate() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->rate;
}

std::string FluidMusicService::soundFontPath() const {
    std::lock_guard<std::mutex> guard(impl_->lock);
    return impl_->soundFontPath;
}
