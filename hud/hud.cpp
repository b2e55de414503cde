// The head-up display: the arrow to the next target, paler with distance, the game clock and the
// time digits.
#include "hud/hud.h"

#include <cmath>

#include "app/messages.h"
#include "game/flight_pose.h"
#include "game/game_state.h"
#include "gfx/texture_file.h"
#include "hud/digit_display.h"

namespace {

constexpr const char* kArrowFile = "media/arrow.dds";
// The arrow lies tilted back by 70 degrees, as if flat in front of the viewer.
constexpr float kArrowTilt = 1.2217305f;
constexpr float kFullPaleDistance = 9000.0f;

}  // namespace

bool createArrow() {
    if (!game.device)
        return false;
    game.arrowSprite = game.device->createSprite();
    if (!game.arrowSprite)
        return false;
    game.arrowTexture = createTextureFromFile(*game.device, kArrowFile);
    if (!game.arrowTexture) {
        showMessage("矢印画の読み込みに失敗しました");
        return false;
    }
    return true;
}

void releaseArrow() {
    game.arrowTexture.reset();
    game.arrowSprite.reset();
}

float bearingToTarget(const GameState& state, int target) {
    if (target < 0 || target >= TargetCount)
        return 0.0f;
    return bearingToTarget(state.heading, state.targetPositions[target]);
}

float bearingToTarget(float heading, const Vec3& p) {
    float h = heading * kDegToRad;
    // The position against the first and third columns of the heading's y rotation.
    float a = p.x * std::cos(h) + p.z * std::sin(h);
    float b = -p.x * std::sin(h) + p.z * std::cos(h);
    return std::atan2(a, b);
}

bool drawArrow(const GameState& state, float bearing, uint32_t colour) {
    Sprite* sprite = state.arrowSprite.get();
    if (!sprite || !state.arrowTexture)
        return false;
    // Centred on its 64 x 64 picture, turned, laid back, then put at (288, 410) plus half its size.
    Matrix m = matrixTranslation(-32.0f, -32.0f, 0.0f) * matrixRotationZ(-bearing) *
               matrixRotationX(kArrowTilt) * matrixTranslation(320.0f, 442.0f, 32.0f);
    sprite->begin();
    bool drawn = sprite->drawTransform(state.arrowTexture.get(), nullptr, m, colour);
    sprite->end();
    return drawn;
}

uint32_t arrowColour(const GameState& state, int target) {
    if (target < 0 || target >= TargetCount)
        return 0xFFFFFFFF;
    uint32_t base = state.targetColourArgb[target];
    // Sixteen steps from the target's colour to white, on the whole word at once.
    uint32_t step = (0xFFFFFFFFu - base) / 15;
    const Vec3& p = state.targetPositions[target];
    float d = std::sqrt(p.x * p.x + p.z * p.z);
    float f = d / kFullPaleDistance;
    if (!(f < 1.0f))
        f = 1.0f;
    uint32_t k = static_cast<uint32_t>(f * 15.0f);
    return base + step * k;
}

namespace {

// The arrow and the game clock run only in flight: not in the intro, nor once the last target is
// passed.
bool clockRuns(const GameState& state) {
    return !state.allTargetsPassed && !state.gameOver && !state.introActive;
}

}  // namespace

void updateGameClock() {
    if (clockRuns(game))
        game.elapsedTenths = (game.nowTick - game.gameStartTick - game.pausedMs) / 100;
}

bool drawHud(const GameState& state) {
    return drawHud(state, poseOf(state));
}

bool drawHud(const GameState& state, const FlightPose& pose) {
    if (clockRuns(state)) {
        int t = state.currentTarget;
        drawArrow(state, bearingToTarget(pose.heading, pose.targetPositions[t]),
                  arrowColour(state, t));
    }

    if (state.digitDisplay && state.device) {
        if (state.lastPassRecord)
            state.digitDisplay->draw(*state.device, 555.0f, 10.0f, state.elapsedTenths, 0xFFFF0000,
                                     1.0f);
        else
            state.digitDisplay->draw(*state.device, 595.0f, 5.0f, state.elapsedTenths, 0xFF0000FF,
                                     0.5f);
    }
    return true;
}
