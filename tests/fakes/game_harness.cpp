// The game harness: start-up, controller choice and frame steps on the fakes.
#include "fakes/game_harness.h"

#include "app/startup.h"
#include "controls/input_reader.h"
#include "game/frame_step.h"
#include "game/game_state.h"

GameHarness::GameHarness() = default;

GameHarness::~GameHarness() {
    shutDownIfRunning();
}

void GameHarness::install() {
    shutDownIfRunning();
    resetGameState();
    game.mainWindow = &window;
    game.tickSource = &ticks;
    game.graphicsPlatform = &graphics;
    game.musicPlatform = &music;
    game.inputPlatform = &input;
    createProgramObjects();
}

bool GameHarness::start() {
    game.startupStage = 0;
    return startUp();
}

void GameHarness::startPlaying(bool mouse) {
    startPlayingWith(mouse ? InputKind::Mouse : InputKind::Keyboard);
}

void GameHarness::startPlayingWith(InputKind kind) {
    ASSERT_TRUE(start());
    if (kind == InputKind::Mouse)
        game.mouseChosen = 1;
    else if (kind == InputKind::Controller)
        game.controllerChosen = 1;
    else
        game.keyboardChosen = 1;
    game.running = 1;
    ASSERT_TRUE(createInputDevice());
    game.startupStage = 2;
    clock.now = 1000;
    game.gameStartTick = clock.now;
    game.restartClock = 0;
    game.lastStepTick = clock.now;
}

int GameHarness::step() {
    clock.now += 31;
    if (game.restartClock) {
        game.gameStartTick = clock.now;
        game.restartClock = 0;
    }
    game.nowTick = clock.now;
    int result = stepFrame();
    game.lastStepTick = clock.now;
    return result;
}

void GameHarness::finishIntro() {
    for (int i = 0; i < 200 && game.introActive; ++i) step();
}

void GameHarness::shutDownIfRunning() {
    if (game.flightRecorder || game.soundSystem || game.device)
        shutDown();
    resetGameState();
}
