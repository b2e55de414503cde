// The sound system: brings up the music service, loads the two tunes and three sounds, and plays,
// tempers and mutes them through it.
#include "audio/sound_system.h"

#include <unistd.h>

#include "app/messages.h"
#include "game/game_state.h"
#include "gfx/data_folder.h"

namespace {

// The current directory must fit a 260-character buffer, its terminator included.
constexpr size_t kMaxPath = 260;

struct MediaFile {
    const char* path;
    const char* failureMessage;
};

constexpr MediaFile kMusicFiles[SoundSystem::MusicCount] = {
    {"media/evening.mid", "ＢＧＭファイル１の読み込みに失敗しました"},
    {"media/velmo.mid", "ＢＧＭファイル２の読み込みに失敗しました"},
};

constexpr int kFilledSounds = 3;
constexpr MediaFile kSoundFiles[kFilledSounds] = {
    {"media/crush.wav", "サウンドファイル１の読み込みに失敗しました"},
    {"media/sound136.wav", "サウンドファイル２の読み込みに失敗しました"},
    {"media/alert.wav", "サウンドファイル３の読み込みに失敗しました"},
};

bool loadInto(MusicService& service, const std::string& directory, const MediaFile& file,
              std::unique_ptr<Segment>& slot) {
    slot = service.loadSegment(directory + "/" + file.path);
    if (!slot) {
        showMessage(file.failureMessage);
        return false;
    }
    return true;
}

}  // namespace

bool SoundSystem::init() {
    MusicService* service = game.musicPlatform;
    if (service == nullptr)
        return false;

    // The service stands for the synthesizer, the performance with its audio path and the loader.
    if (!service->start())
        return false;
    performance = service;

    // The loader searches the game's data folder when the program has one (an installed game
    // started in any folder), else the current directory.
    if (!dataFolder().empty()) {
        workingDirectory = dataFolder();
    } else {
        char directory[kMaxPath];
        if (getcwd(directory, sizeof directory) == nullptr)
            return false;
        workingDirectory = directory;
    }

    for (int i = 0; i < MusicCount; ++i) {
        if (!loadInto(*service, workingDirectory, kMusicFiles[i], music[i]))
            return false;
    }
    for (int i = 0; i < kFilledSounds; ++i) {
        if (!loadInto(*service, workingDirectory, kSoundFiles[i], sounds[i]))
            return false;
    }

    // Only the flight tune is marked as a standard MIDI file.
    if (!service->setStandardMidiFile(*music[0]))
        return false;

    for (int i = 0; i < MusicCount; ++i) {
        if (!service->download(*music[i]))
            return false;
    }
    for (int i = 0; i < kFilledSounds; ++i) {
        if (!service->download(*sounds[i]))
            return false;
    }
    return true;
}

bool SoundSystem::playMusic(int index) {
    if (performance == nullptr)
        return false;
    if (index < 0 || index >= MusicCount || !music[index])
        return false;
    return performance->playPrimary(*music[index]);
}

bool SoundSystem::playSound(int index) {
    if (performance == nullptr)
        return false;
    if (index < 0 || index >= SoundCount || !sounds[index])
        return false;
    if (soundsMuted)
        return true;
    return performance->playSecondary(*sounds[index]);
}

bool SoundSystem::setTempo(float factor) {
    if (performance == nullptr)
        return false;
    // The window procedure asks "is the sound system up?" with a factor of -1.
    if (!(factor > 0.0f))
        return true;
    return performance->setMasterTempo(factor);
}

bool SoundSystem::setVolume(int32_t volume) {
    if (performance == nullptr)
        return false;
    return performance->setMasterVolume(volume);
}

bool SoundSystem::stopAll() {
    if (performance == nullptr)
        return false;
    return performance->stop();
}

void SoundSystem::release() {
    if (performance != nullptr) {
        performance->stop();
        performance->closeDown();
    }
    for (auto& tune : music) tune.reset();
    for (auto& sound : sounds) {
        if (sound)
            sound.reset();
    }
    performance = nullptr;
}
