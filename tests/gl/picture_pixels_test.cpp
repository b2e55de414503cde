// The game's pictures on the real GL device: the time digits where and in the colour the HUD puts
// them, the arrow turned towards its target, sparks as textured squares of their size, and the
// background pinned and turned with the bank.
#include <functional>

#include "game/frame_step.h"
#include "game/game_state.h"
#include "hud/digit_display.h"
#include "hud/hud.h"
#include "hud/spark_effect.h"
#include "scene/background.h"
#include "tests/gl/gl_test_support.h"

namespace {

constexpr uint32_t kSky = 0xFF000000;

class PicturePixelsTest : public GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        resetGameState();
        // The game draws through game.device; `dev` still points at the same device.
        game.device = std::move(win.device);
    }
    // The device goes with the game state, before the window.
    void TearDown() override { resetGameState(); }

    void frame(const std::function<void()>& draw) {
        ASSERT_TRUE(dev->clear(kClearTarget | kClearZBuffer, kSky, 1.0f, 0));
        ASSERT_TRUE(dev->beginScene());
        draw();
        ASSERT_TRUE(dev->endScene());
        grab();
    }
};

// Glyph d is opaque white in the left 10 columns of its cell and 3 x (d + 1) rows from its top,
// so that each digit on screen shows by its height.
Image glyphPicture() {
    return argbImage(32, 512, [](uint32_t x, uint32_t y) -> uint32_t {
        for (uint32_t d = 0; d < 10; ++d) {
            Rect r = DigitDisplay::glyphRect(d);
            if (y >= uint32_t(r.top) && y < uint32_t(r.top) + 3 * (d + 1) && x < 10)
                return 0xFFFFFFFF;
        }
        return 0x00000000;
    });
}

TEST_F(PicturePixelsTest, RecordTimeShowsLargeAndRedDigitByDigit) {
    DigitDisplay digits;
    digits.texture = dev->createTexture(glyphPicture());
    digits.sprite = dev->createSprite();
    ASSERT_TRUE(digits.texture && digits.sprite);
    game.digitDisplay = &digits;
    game.gameOver = 1;  // no arrow, the time as it stands
    game.lastPassRecord = 1;
    game.elapsedTenths = 10293;
    frame([] {
        updateGameClock();
        drawHud(game);
    });

    const uint32_t shown[5] = {1, 0, 2, 9, 3};
    for (int i = 0; i < 5; ++i) {
        int x = 555 + 16 * i + 5;
        int height = 3 * (int(shown[i]) + 1);
        EXPECT_TRUE(colourNear(at(x, 10 + height - 2), 255, 0, 0, 2)) << "digit " << i;
        EXPECT_TRUE(colourNear(at(x, 10 + height + 2), 0, 0, 0, 2)) << "digit " << i;
        // Between the glyphs' inked columns the sky shows.
        EXPECT_TRUE(colourNear(at(555 + 16 * i + 13, 11), 0, 0, 0, 2)) << "digit " << i;
    }
    EXPECT_TRUE(colourNear(at(552, 11), 0, 0, 0, 2));
}

TEST_F(PicturePixelsTest, RunningTimeShowsSmallAndBlue) {
    DigitDisplay digits;
    digits.texture = dev->createTexture(glyphPicture());
    digits.sprite = dev->createSprite();
    game.digitDisplay = &digits;
    game.gameOver = 1;
    game.elapsedTenths = 99999;  // every glyph 30 rows, drawn 15 high
    frame([] {
        updateGameClock();
        drawHud(game);
    });
    for (int i = 0; i < 5; ++i) {
        int x = 595 + 8 * i + 2;
        EXPECT_TRUE(colourNear(at(x, 5 + 7), 0, 0, 255, 2)) << "digit " << i;
        EXPECT_TRUE(colourNear(at(x, 5 + 18), 0, 0, 0, 2)) << "digit " << i;
    }
    EXPECT_TRUE(colourNear(at(592, 12), 0, 0, 0, 2));
}

TEST_F(PicturePixelsTest, ArrowTurnsTowardsTheTarget) {
    // A white block across the top middle of the arrow picture: its tip.
    game.arrowSprite = dev->createSprite();
    game.arrowTexture = dev->createTexture(argbImage(64, 64, [](uint32_t x, uint32_t y) {
        return (x >= 16 && x < 48 && y < 16) ? 0xFFFFFFFFu : 0x00000000u;
    }));
    ASSERT_TRUE(game.arrowSprite && game.arrowTexture);
    game.targetColourArgb[0] = 0xFFFF0000;

    // Straight ahead: the tip points up the screen, foreshortened to cos 70 degrees.
    game.targetPositions[0] = {0, 0, 100};
    frame([] {
        updateGameClock();
        drawHud(game);
    });
    EXPECT_TRUE(colourNear(at(320, 433), 255, 0, 0, 2));
    EXPECT_TRUE(colourNear(at(320, 448), 0, 0, 0, 2));
    EXPECT_TRUE(colourNear(at(300, 433), 0, 0, 0, 2));

    // A quarter turn to the right in the world: the world's +x shows on the left of the screen.
    game.targetPositions[0] = {100, 0, 0};
    frame([] {
        updateGameClock();
        drawHud(game);
    });
    EXPECT_TRUE(colourNear(at(296, 442), 255, 0, 0, 2));
    EXPECT_TRUE(colourNear(at(344, 442), 0, 0, 0, 2));
    EXPECT_TRUE(colourNear(at(320, 433), 0, 0, 0, 2));

    // Far away the arrow pales to white.
    game.targetPositions[0] = {0, 0, -9000};
    frame([] {
        updateGameClock();
        drawHud(game);
    });
    EXPECT_TRUE(colourNear(at(320, 451), 255, 255, 255, 2));
    EXPECT_TRUE(colourNear(at(320, 433), 0, 0, 0, 2));
}

TEST_F(PicturePixelsTest, SparksAreTexturedSquaresSizedByDistance) {
    setGameView();
    SparkEffect sparks;
    // Left half opaque, right half clear: the picture shows which way the square faces.
    sparks.texture = dev->createTexture(
        argbImage(16, 16, [](uint32_t x, uint32_t) { return x < 8 ? 0xFFFFFFFFu : 0x00FFFFFFu; }));
    sparks.vertexBuffer =
        dev->createVertexBuffer(SparkCount * sizeof(PointVertex), kFvfPointSprite);
    ASSERT_TRUE(sparks.texture && sparks.vertexBuffer);
    sparks.reset();
    for (int i = 0; i < SparkCount; ++i) {
        sparks.velocityX[i] = sparks.velocityY[i] = sparks.velocityZ[i] = 0;
        sparks.age[i] = 0;  // drawn at age 1: red
    }
    frame([&] {
        sparks.advance();
        sparks.draw(*dev);
        ;
    });

    // All at the burst point (0, 0, 20), 40 units from the chase eye, so a square of
    // 480 x 4 / 40 = 48 pixels about the screen centre: x 296..344, y 216..264. Red, under a
    // little fog: f = e^(-0.0004 x 40).
    int fogged = level(1 - std::exp(-0.0004 * 40));
    EXPECT_TRUE(colourNear(at(308, 240), 255, fogged, fogged, 3));
    EXPECT_TRUE(colourNear(at(298, 218), 255, fogged, fogged, 3));
    EXPECT_TRUE(colourNear(at(318, 262), 255, fogged, fogged, 3));
    EXPECT_TRUE(colourNear(at(332, 240), 0, 0, 0, 2));  // the picture's clear right half
    EXPECT_TRUE(colourNear(at(308, 212), 0, 0, 0, 2));  // above the square
    EXPECT_TRUE(colourNear(at(308, 268), 0, 0, 0, 2));  // below it
    EXPECT_TRUE(colourNear(at(292, 240), 0, 0, 0, 2));  // left of it

    // A repaint during a bump shows no sparks.
    game.burstEffect = &sparks;
    game.bumping = 1;
    ASSERT_TRUE(dev->clear(kClearTarget | kClearZBuffer, kSky, 1.0f, 0));
    drawFlight(game, FrameKind::Repaint);
    grab();
    game.burstEffect = nullptr;
    EXPECT_TRUE(colourNear(at(308, 240), 0, 0, 0, 0));
}

// A white picture with a red block on texel (420, 480) and a blue one 100 texels to its right.
Image markedBackground() {
    return argbImage(1024, 1024, [](uint32_t x, uint32_t y) -> uint32_t {
        auto near = [](uint32_t a, uint32_t b) { return a + 6 > b && b + 6 > a; };
        if (near(x, 420) && near(y, 480))
            return 0xFFFF0000;
        if (near(x, 520) && near(y, 480))
            return 0xFF0000FF;
        return 0xFFFFFFFF;
    });
}

TEST_F(PicturePixelsTest, BackgroundIsPinnedAndTurnsWithTheBank) {
    game.backgroundSprite = dev->createSprite();
    game.backgroundTexture = dev->createTexture(markedBackground());
    ASSERT_TRUE(game.backgroundSprite && game.backgroundTexture);
    game.sceneFade = 1.0f;

    frame([] { drawBackground(game, 0); });
    EXPECT_TRUE(colourNear(at(320, 210), 255, 0, 0, 2));
    EXPECT_TRUE(colourNear(at(420, 210), 0, 0, 255, 2));
    EXPECT_TRUE(colourNear(at(5, 5), 255, 255, 255, 2));
    EXPECT_TRUE(colourNear(at(635, 475), 255, 255, 255, 2));

    // Cockpit view, bank 30: the picture turns clockwise on the screen about (320, 210).
    float bank = 30;
    frame([&] { drawBackground(game, -bank * kDegToRad); });
    EXPECT_TRUE(colourNear(at(320, 210), 255, 0, 0, 2));
    int bx = int(std::lround(320 + 100 * std::cos(bank * kDegToRad)));
    int by = int(std::lround(210 + 100 * std::sin(bank * kDegToRad)));
    EXPECT_TRUE(colourNear(at(bx, by), 0, 0, 255, 2));
    EXPECT_TRUE(colourNear(at(420, 210), 255, 255, 255, 2));
}

TEST_F(PicturePixelsTest, BackgroundFadesWithTheScene) {
    game.backgroundSprite = dev->createSprite();
    game.backgroundTexture = dev->createTexture(markedBackground());
    game.sceneFade = 0.5f;  // alpha 127 over the black sky
    frame([] { drawBackground(game, 0); });
    EXPECT_TRUE(colourNear(at(100, 100), 127, 127, 127, 2));
    game.sceneFade = -0.01f;
    frame([] { drawBackground(game, 0); });
    EXPECT_TRUE(colourNear(at(100, 100), 0, 0, 0, 0));
}

}  // namespace
