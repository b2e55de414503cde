// The headless runner's sound: the real music service rendering offline in step with the virtual
// clock, its final mix optionally written to a WAV file.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio/music_service.h"

class FluidMusicService;

class HeadlessAudio {
  public:
    HeadlessAudio();
    ~HeadlessAudio();

    // An empty path renders nothing to disk; false when the file cannot be written.
    bool open(const std::string& wavPath);
    MusicService* service();
    // Renders the mix of the next `ms` milliseconds of virtual time.
    void advance(uint32_t ms);
    // Completes the WAV file.
    void finish();

  private:
    class Offline;
    std::unique_ptr<Offline> offline_;
    std::FILE* wav_ = nullptr;
    uint64_t framesWritten_ = 0;
    uint64_t msCarry_ = 0;  // thousandths of a frame carried between calls
    std::vector<int16_t> buffer_;
};
