// The real game set up for benchmarks: the headless runner's virtual clock and scripted keyboard,
// the real FluidSynth service rendering offline, and the null device or the GL device on an SDL
// window (SDL's offscreen driver unless SDL_VIDEODRIVER says otherwise).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/music_service.h"
#include "headless_platform.h"

class FluidMusicService;
class GraphicsSystem;
class SdlWindow;

// Makes the folder holding media/ current: this one when it has media/, else the build folder.
// False when neither has it.
bool enterMediaFolder();

// The real music service, started offline: nothing is heard and renderOffline pulls the mix.
class OfflineMusic : public MusicService {
  public:
    static constexpr int SampleRate = 44100;

    OfflineMusic();
    ~OfflineMusic() override;

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

    FluidMusicService& service() { return *inner_; }

  private:
    std::unique_ptr<FluidMusicService> inner_;
};

enum class BenchDevice { Null, Gl };

// One game at a time: it drives the process-wide game state.
class BenchGame {
  public:
    explicit BenchGame(BenchDevice device);
    ~BenchGame();
    BenchGame(const BenchGame&) = delete;
    BenchGame& operator=(const BenchGame&) = delete;

    // Opens the window (GL only), makes the six objects and runs the start-up up to the painted
    // controller prompt, as the first pass of the main loop does. False, with the reason on
    // stderr, when any of it fails.
    bool startUp();
    // The keyboard chosen and its device made; the clock starts as the main loop starts it.
    bool chooseKeyboard();
    // startUp() and chooseKeyboard(), then the intro flown to its end.
    bool startFlying();
    // One frame step with the virtual clock 31 ms on, as the main loop calls it; the frame step's
    // own result.
    int step();
    void finishIntro();
    // A new game, as F3 starts one, its intro still to come.
    void newFlight();
    // newFlight(), flown to the end of its intro.
    void restartFlight();
    // The arrow keys of a steady flight pattern for the given step: straight ahead, with a short
    // turn to the left every 200 steps.
    void setFlightKeys(uint64_t step);
    // Live flight: no intro, not halted, not finishing.
    static bool inFlight();
    // Switches straight to the result screen (a finished game) with a fresh fountain.
    static void enterResultScreen();
    // The shut-down sequence and the service closed; the game state back to its load values.
    void shutDown();

    HeadlessInput input;
    VirtualTicks ticks;
    OfflineMusic music;

  private:
    BenchDevice kind_;
    std::unique_ptr<HeadlessWindow> headlessWindow_;
    std::unique_ptr<SdlWindow> sdlWindow_;
    std::unique_ptr<GraphicsSystem> graphics_;
    bool installed_ = false;
};

// The p-th percentile (0..100, nearest rank) of the samples; 0 for none.
double percentile(std::vector<double> samples, double p);
