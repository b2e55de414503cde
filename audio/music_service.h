// The music and sound service the sound system plays through: looping MIDI tunes as the primary
// segment, wave sounds as secondary segments, master tempo and volume. platform/ implements it
// with FluidSynth and SDL_mixer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class Segment {
  public:
    virtual ~Segment() = default;
};

class MusicService {
  public:
    virtual ~MusicService() = default;
    // Brings up the synthesizer, the mixer and the audio output.
    virtual bool start() = 0;
    // A tune (standard MIDI file) or a sound (wave file), chosen by the file's content; null when
    // it cannot be loaded. Paths are relative to the current directory.
    virtual std::unique_ptr<Segment> loadSegment(const std::string& path) = 0;
    // Marks a tune as a standard MIDI file (General MIDI playback).
    virtual bool setStandardMidiFile(Segment& segment) = 0;
    // Makes the segment ready to play.
    virtual bool download(Segment& segment) = 0;
    // Loops the tune without end from its start, replacing the tune that played.
    virtual bool playPrimary(Segment& segment) = 0;
    // Plays the sound once over the music.
    virtual bool playSecondary(Segment& segment) = 0;
    // Factor on the tunes' own tempo.
    virtual bool setMasterTempo(float factor) = 0;
    // Hundredths of a decibel: 0 full level, -10000 silence.
    virtual bool setMasterVolume(int32_t volume) = 0;
    virtual bool stop() = 0;
    virtual void closeDown() = 0;
};
