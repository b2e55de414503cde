// The new-game reset: every per-game field back to its start, the tune restarted, the effects
// re-scattered, and the same field of cones generated from the seeded random generator.
#include "game/new_game.h"

#include "aircraft/result_screen.h"
#include "audio/sound_system.h"
#include "game/game_state.h"
#include "game/random.h"
#include "hud/digit_display.h"
#include "hud/spark_effect.h"
#include "hud/sparkle_effect.h"
#include "scene/device_setup.h"

namespace {

struct TargetStart {
    float x, z;
    float r, g, b;
};

constexpr TargetStart kTargets[TargetCount] = {
    {0, 10200, 1, 0, 0},
    {0, -10000, 0, 0, 1},
    {10000, 0, 1, 1, 0},
    {-10000, 0, 0, 1, 0},
};

uint32_t packColour(float r, float g, float b) {
    uint32_t v = static_cast<uint32_t>(r * 255.0f);
    v = (v << 8) + static_cast<uint32_t>(g * 255.0f);
    v = (v << 8) + static_cast<uint32_t>(b * 255.0f);
    return v | 0xFF000000u;
}

void generateObstacles() {
    for (int i = 0; i < ObstacleCount; ++i) {
        int32_t x = (drawRandom() % 3000) * 2 - 3000;
        int32_t z = (drawRandom() % 3000) * 2 - 3000;
        game.obstaclePositions[i] = {static_cast<float>(x), 0.0f, static_cast<float>(z)};
        float red = static_cast<float>(drawRandom()) / 32767.0f;
        float blue = static_cast<float>(drawRandom()) / 32767.0f;
        game.obstacleColours[i] = {red, 1.0f, blue};
        game.obstacleRadii[i] = static_cast<float>(drawRandom() % 300 + 5);
        game.obstacleHeights[i] = static_cast<float>(drawRandom() % 150 + 10);
    }
}

void placeTargets() {
    for (int i = 0; i < TargetCount; ++i) {
        const TargetStart& t = kTargets[i];
        game.targetPositions[i] = {t.x, 0.0f, t.z};
        game.targetRadii[i] = 60.0f;
        game.targetColours[i] = {t.r, t.g, t.b, 0.5f};
    }
    for (int i = 0; i < TargetCount; ++i) {
        const Colour4& c = game.targetColours[i];
        game.targetColourArgb[i] = packColour(c.r, c.g, c.b);
        game.targetPassed[i] = 0;
        game.passTimes[i] = 0;
    }
}

}  // namespace

void newGame() {
    game.musicVolume = 1;
    game.introActive = 1;
    game.halted = 1;
    game.introFrame = 0;

    if (game.soundSystem) {
        game.soundSystem->setTempo(0.8f);
        game.soundSystem->playMusic(0);
    }

    if (game.sparkleEffect && game.device)
        game.sparkleEffect->init(*game.device);
    resetResultScreen();

    game.clearColour = 0xFF7FEFFA;
    game.sceneFade = 1.0f;
    game.allTargetsPassed = 0;
    game.gameOver = 0;
    game.finishFrame = 0;
    game.bumping = 0;

    game.restartClock = 1;
    game.gameStartTick = 0;
    game.nowTick = 0;
    game.pausedMs = 0;

    game.bumpCountdown = 64;
    game.bumpTumble = 0;

    if (game.burstEffect)
        game.burstEffect->reset();
    if (game.digitDisplay)
        game.digitDisplay->clear();

    setViewForCurrentEye();

    game.speed = 0;
    game.speedDelta = 0;
    game.turnRate = 0;
    game.turnDelta = 0;
    game.heading = 0;
    game.bank = 0;
    game.groundLevel = -60;

    seedRandom(1);
    generateObstacles();
    placeTargets();

    game.currentTarget = 0;
    game.lastPassRecord = 0;
    game.tempoDirty = 0;
}
