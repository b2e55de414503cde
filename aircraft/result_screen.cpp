// The result screen: the plane alone, turning, tilting and growing against a sky fading to blue,
// with the final time and, after 250 frames, a thickening sparkle fountain.
#include "aircraft/result_screen.h"

#include <algorithm>
#include <cmath>

#include "aircraft/plane_model.h"
#include "game/game_state.h"
#include "hud/hud.h"
#include "hud/sparkle_effect.h"

ResultScreen resultScreen;

namespace {

constexpr uint32_t kResultFrameLimit = 1000;
constexpr uint32_t kSparklesFromFrame = 250;
constexpr float kFullScale = 3.0f;
constexpr float kYawLimit = 140.0f;
constexpr float kPitchLimit = -14.0f;

// One frame of the sky's fade: red and green down by one, blue up by one; alpha drops to 0.
uint32_t fadeSky(uint32_t colour) {
    uint32_t red = (colour >> 16) & 0xFF;
    uint32_t green = (colour >> 8) & 0xFF;
    uint32_t blue = colour & 0xFF;
    if (red > 0)
        --red;
    if (green > 0)
        --green;
    if (blue < 255)
        ++blue;
    return red * 65536 + green * 256 + blue;
}

}  // namespace

void resetResultScreen() {
    resultScreen = ResultScreen{};
}

void moveResultScreen() {
    ResultScreen& r = resultScreen;
    r.shownSky = game.clearColour;
    r.shownSparkles = 0;
    if (r.resultFrame > kSparklesFromFrame && game.sparkleEffect) {
        r.shownSparkles = static_cast<int32_t>(std::min<uint32_t>(5 * r.resultFrame, SparkleCount));
        game.sparkleEffect->advance(r.shownSparkles);
    }
    turnResultPlane();
    updateGameClock();

    game.clearColour = fadeSky(game.clearColour);
    r.resultFrame += 1;
    if (r.resultFrame > kResultFrameLimit)
        r.resultFrame = kResultFrameLimit;
}

int drawResultScreen(const GameState& state, const ResultScreen& screen) {
    if (!state.sparkleEffect)
        return drawResultScreen(state, screen, nullptr, nullptr, nullptr);
    const SparkleEffect& sparkles = *state.sparkleEffect;
    return drawResultScreen(state, screen, sparkles.positionX, sparkles.positionY,
                            sparkles.positionZ);
}

int drawResultScreen(const GameState& state, const ResultScreen& screen, const float* sparkleX,
                     const float* sparkleY, const float* sparkleZ) {
    if (!state.device)
        return 1;
    GraphicsDevice& device = *state.device;

    device.clear(kClearTarget | kClearZBuffer, screen.shownSky, 1.0f, 0);
    device.beginScene();
    if (screen.shownSparkles > 0 && state.sparkleEffect)
        state.sparkleEffect->draw(device, 25.0f, -15.0f, 10.0f, 2, screen.shownSparkles, sparkleX,
                                  sparkleY, sparkleZ);
    drawResultPlane(state, screen);
    drawHud(state);
    device.endScene();
    return 1;
}

void turnResultPlane() {
    ResultScreen& r = resultScreen;
    float radius = game.planeModel ? game.planeModel->boundingRadius : 0.0f;

    float s = 5.0f / radius + r.resultGrow;
    if (s >= kFullScale) {
        s = kFullScale;
        // The rocking starts once, when the plane first reaches its full size.
        if (!r.resultScaleReached)
            r.rockStep = 1.0f;
        r.resultScaleReached = 1;
    }
    r.resultYaw += 1.5f;
    if (r.resultYaw > kYawLimit)
        r.resultYaw = kYawLimit;
    r.resultPitch -= 0.2f;
    if (r.resultPitch < kPitchLimit)
        r.resultPitch = kPitchLimit;
    r.shownScale = s;
    r.shownRoll = 20.0f * std::sin(r.rockPhase * kDegToRad);

    r.rockPhase += r.rockStep;
    if (r.rockPhase > 360.0f)
        r.rockPhase = 0.0f;
    r.resultGrow += 0.02f;
}

int drawResultPlane(const GameState& state, const ResultScreen& screen) {
    float s = screen.shownScale;
    Matrix world = matrixRotationY((180.0f + screen.resultYaw) * kDegToRad) *
                   matrixRotationZ(screen.shownRoll * kDegToRad) * matrixScaling(s, s, s) *
                   matrixRotationX(screen.resultPitch * kDegToRad);

    if (state.device) {
        GraphicsDevice& device = *state.device;
        device.setTransform(TransformState::World, world);
        device.setRenderState(RenderState::Ambient, 0x00550000);
        if (state.planeModel)
            state.planeModel->draw(device);
        device.setRenderState(RenderState::Ambient, 0x00404040);
    }
    return 1;
}
