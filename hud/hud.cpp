// The head-up display: the arrow to the next target, paler with distance, the game clock and the
// time digits.
#include "hud/hud.h"

#include <cmath>

#include "app/messages.h"
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

float bearingToTarget(int target) {
    if (target < 0 || target >= TargetCount)
        return 0.0f;
    float h = game.heading * kDegToRad;
    const Vec3& p = game.targetPositions[target];
    // The position against the first and third columns of the heading's y rotation.
    float a = p.x * std::cos(h) + p.z * std::sin(h);
    float b = -p.x * std::sin(h) + p.z * std::cos(h);
    return std::atan2(a, b);
}

bool drawArrow(float bearing, uint32_t colour) {
    Sprite* sprite = game.arrowSprite.get();
    if (!sprite || !game.arrowTexture)
        return false;
    // Centred on its 64 x 64 picture, turned, laid back, then put at (288, 410) plus half its size.
    Matrix m = matrixTranslation(-32.0f, -32.0f, 0.0f) * matrixRotationZ(-bearing) *
               matrixRotationX(kArrowTilt) * matrixTranslation(320.0f, 442.0f, 32.0f);
    sprite->begin();
    bool drawn = sprite->drawTransform(game.arrowTexture.get(), nullptr, m, colour);
    sprite->end();
    return drawn;
}

uint32_t arrowColour(int target) {
    if (target < 0 || target >= TargetCount)
        return 0xFFFFFFFF;
    uint32_t base = game.targetColourArgb[target];
    // Sixteen steps from the target's colour to white, on the whole word at once.
    uint32_t step = (0xFFFFFFFFu - base) / 15;
    const Vec3& p = game.targetPositions[target];
    float d = std::sqrt(p.x * p.x + p.z * p.z);
    float f = d / kFullPaleDistance;
    if (!(f < 1.0f))
        f = 1.0f;
    uint32_t k = static_cast<uint32_t>(f * 15.0f);
    return base + step * k;
}

bool updateHud() {
    if (!game.allTargetsPassed && !game.gameOver && !game.introActive) {
        int t = game.currentTarget;
        drawArrow(bearingToTarget(t), arrowColour(t));
        game.elapsedTenths = (game.nowTick - game.gameStartTick - game.pausedMs) / 100;
    }

    if (game.digitDisplay && game.device) {
        if (game.lastPassRecord)
            game.digitDisplay->draw(*game.device, 555.0f, 10.0f, game.elapsedTenths, 0xFFFF0000,
                                    1.0f);
        else
            game.digitDisplay->draw(*game.device, 595.0f, 5.0f, game.elapsedTenths, 0xFF0000FF,
                                    0.5f);
    }
    return true;
}
