// The benchmarks' game set-up: the start-up, the controller choice and the frame steps exactly as
// the main loop runs them, on a virtual clock, with the real music service and a chosen device.
#include "bench_game.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "aircraft/result_screen.h"
#include "app/startup.h"
#include "controls/flight_recorder.h"
#include "controls/input_reader.h"
#include "game/frame_step.h"
#include "game/game_state.h"
#include "game/new_game.h"
#include "gfx/null_device.h"
#include "hud/sparkle_effect.h"
#include "platform/fluid_music_service.h"
#include "platform/gl_device.h"
#include "platform/sdl_window.h"

namespace {

constexpr uint32_t kStepMs = 31;
constexpr int kIntroStepLimit = 400;

bool hasMedia(const char* folder) {
    std::string path = std::string(folder) + "/media/myplane.x";
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

bool enterMediaFolder() {
    if (hasMedia("."))
        return true;
    if (hasMedia(DRAVIK_BINARY_DIR) && chdir(DRAVIK_BINARY_DIR) == 0)
        return true;
    std::fprintf(stderr, "bench: no media/ here nor in %s (build the dravik_media target)\n",
                 DRAVIK_BINARY_DIR);
    return false;
}

OfflineMusic::OfflineMusic() : inner_(std::make_unique<FluidMusicService>()) {}
OfflineMusic::~OfflineMusic() = default;

bool OfflineMusic::start() {
    return inner_->startOffline(SampleRate);
}
std::unique_ptr<Segment> OfflineMusic::loadSegment(const std::string& path) {
    return inner_->loadSegment(path);
}
bool OfflineMusic::setStandardMidiFile(Segment& s) {
    return inner_->setStandardMidiFile(s);
}
bool OfflineMusic::download(Segment& s) {
    return inner_->download(s);
}
bool OfflineMusic::playPrimary(Segment& s) {
    return inner_->playPrimary(s);
}
bool OfflineMusic::playSecondary(Segment& s) {
    return inner_->playSecondary(s);
}
bool OfflineMusic::setMasterTempo(float factor) {
    return inner_->setMasterTempo(factor);
}
bool OfflineMusic::setMasterVolume(int32_t volume) {
    return inner_->setMasterVolume(volume);
}
bool OfflineMusic::stop() {
    return inner_->stop();
}
void OfflineMusic::closeDown() {
    inner_->closeDown();
}

BenchGame::BenchGame(BenchDevice device) : kind_(device) {}

BenchGame::~BenchGame() {
    shutDown();
    // The device is gone with the shut-down; the window it drew on may go now.
    graphics_.reset();
    sdlWindow_.reset();
}

bool BenchGame::startUp() {
    // Never a dialog or a message box: a failure shows on stderr instead.
    setenv("DRAVIK_NO_DIALOGS", "1", 1);
    if (kind_ == BenchDevice::Gl) {
        if (!getenv("SDL_VIDEODRIVER"))
            SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
        sdlWindow_ = std::make_unique<SdlWindow>();
        if (!sdlWindow_->create())
            return false;
        graphics_ = std::make_unique<GlGraphicsSystem>(sdlWindow_->handle());
        game.mainWindow = sdlWindow_.get();
    } else {
        headlessWindow_ = std::make_unique<HeadlessWindow>(ticks, kStepMs);
        graphics_ = std::make_unique<NullGraphicsSystem>();
        game.mainWindow = headlessWindow_.get();
    }
    game.tickSource = &ticks;
    game.graphicsPlatform = graphics_.get();
    game.inputPlatform = &input;
    game.musicPlatform = &music;
    createProgramObjects();
    installed_ = true;

    game.startupStage = 0;
    paintStatus(0);
    if (!::startUp()) {
        std::fprintf(stderr, "bench: the game's start-up failed\n");
        return false;
    }
    paintStatus(game.startupStage);
    return true;
}

bool BenchGame::chooseKeyboard() {
    game.keyboardChosen = 1;
    game.running = 1;
    if (!createInputDevice()) {
        std::fprintf(stderr, "bench: no input device\n");
        return false;
    }
    game.startupStage = 2;
    game.lastStepTick = ticks.value;
    return true;
}

bool BenchGame::startFlying() {
    if (!startUp() || !chooseKeyboard())
        return false;
    finishIntro();
    if (!inFlight()) {
        std::fprintf(stderr, "bench: the intro did not end\n");
        return false;
    }
    return true;
}

int BenchGame::step() {
    ticks.value += kStepMs;
    uint32_t t = ticks.now();
    if (game.restartClock) {
        game.gameStartTick = t;
        game.restartClock = 0;
    }
    game.nowTick = t;
    int result = stepFrame();
    game.lastStepTick = t;
    return result;
}

void BenchGame::finishIntro() {
    for (int i = 0; i < kIntroStepLimit && game.introActive; ++i) step();
}

void BenchGame::newFlight() {
    if (game.flightRecorder)
        game.flightRecorder->startRecording();
    newGame();
    game.replaying = 0;
    game.halted = 0;
}

void BenchGame::restartFlight() {
    newFlight();
    finishIntro();
}

void BenchGame::setFlightKeys(uint64_t step) {
    input.setKey(kScanLeft, step % 200 < 20);
    input.setKey(kScanRight, false);
    input.setKey(kScanUp, false);
    input.setKey(kScanDown, false);
}

bool BenchGame::inFlight() {
    return !game.introActive && !game.halted && !game.allTargetsPassed && !game.gameOver;
}

void BenchGame::enterResultScreen() {
    game.introActive = 0;
    game.allTargetsPassed = 0;
    game.gameOver = 1;
    game.halted = 1;
    resetResultScreen();
    if (game.sparkleEffect && game.device)
        game.sparkleEffect->init(*game.device);
}

void BenchGame::shutDown() {
    if (!installed_)
        return;
    if (game.flightRecorder || game.soundSystem || game.device)
        ::shutDown();
    music.closeDown();
    resetGameState();
    installed_ = false;
}

double percentile(std::vector<double> samples, double p) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    double rank = std::ceil(p / 100.0 * static_cast<double>(samples.size()));
    size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
    return samples[std::min(index, samples.size() - 1)];
}
