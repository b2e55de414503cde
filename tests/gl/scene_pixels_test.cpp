// The game's own scene drawing on the real GL device: a known cone and a known target in front of
// the chase camera appear where the projection puts them, in their colours, the target unfogged.
#include <gtest/gtest.h>

#include <cmath>

#include "game/game_state.h"
#include "gl_test_support.h"
#include "scene/device_setup.h"
#include "scene/obstacles.h"
#include "scene/targets.h"

namespace {

class ScenePixelsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        ASSERT_TRUE(win.open());
        gl = win.device.get();
        game.device = std::move(win.device);
        ASSERT_TRUE(setUpView());
        game.cockpitView = 0;
        setViewForCurrentEye();
        ASSERT_TRUE(createSceneMeshes());
        // Everything behind the camera except what a test places.
        for (int i = 0; i < ObstacleCount; ++i) {
            game.obstaclePositions[i] = {0, 0, -2900};
            game.obstacleRadii[i] = 10;
            game.obstacleHeights[i] = 10;
        }
        for (int i = 0; i < TargetCount; ++i) {
            game.targetPositions[i] = {0, 0, -2000};
            game.targetRadii[i] = 60;
            game.targetPassed[i] = 1;
        }
        game.sceneFade = 1.0f;
        game.groundLevel = -60;
    }
    void TearDown() override {
        releaseSceneMeshes();
        game.device.reset();
        resetGameState();
    }

    // Screen pixel of a world point seen by the chase camera (heading 0, no bank).
    static void project(Vec3 p, float& sx, float& sy) {
        Vec3 v = transformCoord(p, game.viewMatrix * game.projectionMatrix);
        sx = (v.x + 1) * 320;
        sy = (1 - v.y) * 240;
    }

    void drawFrame() {
        gl->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
        updateLight(game, 0);
        gl->beginScene();
        drawObstacles(game);
        drawTargets(game);
        gl->endScene();
        ASSERT_TRUE(gl->readBackBuffer(pixels));
    }
    uint32_t at(float x, float y) const {
        return pixels[static_cast<size_t>(std::lround(y)) * 640 +
                      static_cast<size_t>(std::lround(x))];
    }

    GlTestWindow win;
    GlDevice* gl = nullptr;
    std::vector<uint32_t> pixels;
};

TEST_F(ScenePixelsTest, ConeStandsWhereTheProjectionPutsItInItsColour) {
    game.obstaclePositions[0] = {0, 0, 300};
    game.obstacleRadii[0] = 50;
    game.obstacleHeights[0] = 150;
    game.obstacleColours[0] = {1, 1, 0};
    drawFrame();

    float ax, ay, bx, by;
    project({0, 90, 300}, ax, ay);   // apex
    project({0, -60, 250}, bx, by);  // front of the base
    EXPECT_NEAR(ax, 320, 0.5);
    // Inside the cone, between apex and base: yellow, a little whitened by the fog.
    uint32_t inside = at(320, (ay + by) / 2);
    EXPECT_GT(redOf(inside), 150);
    EXPECT_GT(greenOf(inside), 150);
    EXPECT_LT(blueOf(inside), 90);
    // Just above the apex and beside the base: the clear colour.
    EXPECT_TRUE(colourNear(at(320, ay - 4), 0, 0, 0, 0));
    EXPECT_TRUE(colourNear(at(320 + 60, (ay + by) / 2), 0, 0, 0, 0));
    // The apex row: the first coloured row lies within a pixel of the projected apex.
    int top = -1;
    for (int y = 0; y < 480 && top < 0; ++y)
        if (pixels[static_cast<size_t>(y) * 640 + 320] != 0xFF000000u)
            top = y;
    EXPECT_NEAR(top, ay, 1.5);
}

TEST_F(ScenePixelsTest, TargetIsTranslucentAndUnfogged) {
    game.targetPositions[1] = {-200, 0, 600};  // world -x shows on the right
    game.targetColours[1] = {0, 0, 1, 0.5f};
    drawFrame();

    float sx, sy;
    project({-200, 0, 600}, sx, sy);
    EXPECT_GT(sx, 400);
    // Red and green come from the emission alone (0.4), half covered over black: 0.2. Fog at this
    // distance would have whitened them to about 0.27.
    uint32_t c = at(sx, sy);
    EXPECT_TRUE(colourNear(c, level(0.2), level(0.2), blueOf(c), 2));
    EXPECT_GT(blueOf(c), level(0.5 * 0.65) - 2);
    // Beside its radius of 60: the clear colour.
    EXPECT_TRUE(colourNear(at(sx + 60, sy), 0, 0, 0, 0));
}

}  // namespace
