// The sound system: two looping MIDI tunes and three wave sounds, tempo and master volume, over the
// platform's music service.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "audio/music_service.h"

class SoundSystem {
  public:
    static constexpr int MusicCount = 2;
    static constexpr int SoundCount = 4;

    // Uses game.musicPlatform. Shows the message of a file that cannot be loaded.
    bool init();
    bool playMusic(int index);
    bool playSound(int index);
    // A factor of 0 or less (or not a number) changes nothing and returns true when initialised.
    bool setTempo(float factor);
    bool setVolume(int32_t volume);
    bool stopAll();
    void release();

    MusicService* performance = nullptr;
    // While a replay seeks, the sounds of the steps it runs through are not heard (the music
    // still follows the position); a muted sound counts as played.
    bool soundsMuted = false;
    std::unique_ptr<Segment> music[MusicCount];
    std::unique_ptr<Segment> sounds[SoundCount];
    std::string workingDirectory;
};
