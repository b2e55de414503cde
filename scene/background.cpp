// The background picture: one screen-space sprite behind the scene, faded with the scene and
// turned about a fixed screen point with the bank in the cockpit view.
#include "scene/background.h"

#include <cstdint>

#include "app/messages.h"
#include "game/game_state.h"
#include "gfx/texture_file.h"

namespace {

constexpr const char* kBackgroundFile = "media/BG.dds";

// The picture's point (420, 480) stays on the back buffer's (320, 210) at every angle.
constexpr Vec2 kRotationCentre{420, 480};
constexpr Vec2 kTranslation{-100, -270};

// White with the scene fade as alpha: the picture keeps its colours and only its opacity changes.
uint32_t backgroundColour(float fade) {
    uint32_t alpha = 0;
    if (fade >= 1.0f)
        alpha = 255;
    else if (fade > 0.0f)
        alpha = static_cast<uint32_t>(255.0f * fade);
    return (alpha << 24) | 0x00FFFFFF;
}

}  // namespace

bool createBackground() {
    if (!game.device)
        return false;
    game.backgroundSprite = game.device->createSprite();
    if (!game.backgroundSprite)
        return false;
    return loadBackground();
}

bool loadBackground() {
    if (game.device)
        game.backgroundTexture = createTextureFromFile(*game.device, kBackgroundFile);
    if (!game.backgroundTexture) {
        showMessage("背景画の読み込みに失敗しました");
        return false;
    }
    return true;
}

bool drawBackground(const GameState& state, float angle) {
    Sprite* sprite = state.backgroundSprite.get();
    if (!sprite || !state.backgroundTexture)
        return false;
    uint32_t colour = backgroundColour(state.sceneFade);
    sprite->begin();
    bool drawn = sprite->draw(state.backgroundTexture.get(), nullptr, nullptr, &kRotationCentre,
                              angle, &kTranslation, colour);
    sprite->end();
    return drawn;
}

void releaseBackground() {
    game.backgroundTexture.reset();
    game.backgroundSprite.reset();
}
