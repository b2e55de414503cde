// The HUD: the arrow's bearing, turn and paling towards white, the game clock and the two forms
// of the time.
#include "hud/hud.h"

#include <gtest/gtest.h>

#include <numbers>

#include "hud/digit_display.h"
#include "hud/picture_fixtures.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

class HudTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        game.arrowSprite = device->createSprite();
        game.arrowTexture = device->createTexture(Image{64, 64, PixelFormat::Argb8888, {}});
        digits.texture = device->createTexture(Image{32, 512, PixelFormat::Argb8888, {}});
        digits.sprite = device->createSprite();
        game.digitDisplay = &digits;
        game.targetColourArgb[0] = 0xFFFF0000;
        game.targetColourArgb[1] = 0xFF0000FF;
        game.targetColourArgb[2] = 0xFFFFFF00;
        game.targetColourArgb[3] = 0xFF00FF00;
        device->reset();
    }

    DigitDisplay digits;
};

TEST_F(HudTest, BearingIsZeroAheadQuarterTurnRightHalfTurnBehind) {
    game.targetPositions[0] = {0, 0, 100};
    game.targetPositions[1] = {100, 0, 0};
    game.targetPositions[2] = {0, 0, -100};
    game.targetPositions[3] = {-100, 500, 0};
    EXPECT_NEAR(bearingToTarget(game, 0), 0.0f, 1e-6f);
    EXPECT_NEAR(bearingToTarget(game, 1), kPi / 2, 1e-6f);
    EXPECT_NEAR(std::fabs(bearingToTarget(game, 2)), kPi, 1e-6f);
    // The height plays no part.
    EXPECT_NEAR(bearingToTarget(game, 3), -kPi / 2, 1e-6f);
}

TEST_F(HudTest, BearingTurnsWithTheHeading) {
    game.targetPositions[0] = {0, 0, 100};
    game.targetPositions[1] = {100, 0, 0};
    game.heading = 90;
    EXPECT_NEAR(bearingToTarget(game, 0), kPi / 2, 1e-5f);
    EXPECT_NEAR(std::fabs(bearingToTarget(game, 1)), kPi, 1e-5f);
    game.heading = -45;
    game.targetPositions[2] = {100, 0, 100};
    EXPECT_NEAR(bearingToTarget(game, 2), 0.0f, 1e-5f);
}

TEST_F(HudTest, ArrowPalesInSixteenStepsOverNineThousandUnits) {
    game.targetPositions[0] = {0, 0, 4500};
    EXPECT_EQ(arrowColour(game, 0), 0xFFFF7777u);
    game.targetPositions[0] = {0, 0, 9000};
    EXPECT_EQ(arrowColour(game, 0), 0xFFFFFFFFu);  // k = 15
    game.targetPositions[0] = {0, 0, 8999};
    EXPECT_EQ(arrowColour(game, 0), 0xFFFF0000u + 14 * 0x1111u);  // k = 14
    game.targetPositions[0] = {0, 0, 25000};
    EXPECT_EQ(arrowColour(game, 0), 0xFFFFFFFFu);
    game.targetPositions[0] = {0, 3000, 0};
    EXPECT_EQ(arrowColour(game, 0), 0xFFFF0000u);  // right above: horizontal distance 0

    // The step works on the whole word: blue's step carries into the red and green bytes.
    game.targetPositions[1] = {-3600, 0, 2700};  // distance 4500
    EXPECT_EQ(arrowColour(game, 1), 0xFF7777FFu);
    game.targetPositions[1] = {9000, 0, 0};
    EXPECT_EQ(arrowColour(game, 1), 0xFFFFFFFFu);
}

TEST_F(HudTest, ArrowIsLaidFlatAndTurnedTowardsTheBearing) {
    ASSERT_TRUE(drawArrow(game, 0.0f, 0xFF123456));
    ASSERT_EQ(device->calls.size(), 3u);
    EXPECT_EQ(device->calls[0].op, "SpriteBegin");
    EXPECT_EQ(device->calls[1].op, "SpriteDrawTransform");
    EXPECT_EQ(device->calls[2].op, "SpriteEnd");
    const DeviceCall& draw = device->calls[1];
    EXPECT_EQ(draw.object, game.arrowTexture.get());
    EXPECT_FALSE(draw.hasSource);
    EXPECT_EQ(draw.colour, 0xFF123456u);

    // The picture's centre sits on (320, 442); its tip (the top edge's middle) lies ahead of it,
    // shortened to cos 70 degrees.
    Vec3 centre = transformCoord({32, 32, 0}, draw.matrix);
    EXPECT_NEAR(centre.x, 320, 1e-3);
    EXPECT_NEAR(centre.y, 442, 1e-3);
    Vec3 tip = transformCoord({32, 0, 0}, draw.matrix);
    EXPECT_NEAR(tip.x, 320, 1e-3);
    EXPECT_NEAR(tip.y, 442 - 32 * std::cos(70 * kDegToRad), 1e-3);
    Vec3 rightEdge = transformCoord({64, 32, 0}, draw.matrix);
    EXPECT_NEAR(rightEdge.x, 352, 1e-3);
    EXPECT_NEAR(rightEdge.y, 442, 1e-3);

    // A target at a quarter turn to the right (world +x) shows on the left of the screen.
    device->reset();
    ASSERT_TRUE(drawArrow(game, kPi / 2, 0xFFFFFFFF));
    Matrix turned = device->callsOf("SpriteDrawTransform")[0].matrix;
    tip = transformCoord({32, 0, 0}, turned);
    EXPECT_NEAR(tip.x, 320 - 32, 1e-3);
    EXPECT_NEAR(tip.y, 442, 1e-3);
}

TEST_F(HudTest, ArrowWithoutItsPictureDrawsNothing) {
    game.arrowTexture.reset();
    EXPECT_FALSE(drawArrow(game, 0.0f, 0xFFFFFFFF));
    EXPECT_TRUE(device->calls.empty());
}

TEST_F(HudTest, FlightShowsTheArrowForTheCurrentTargetAndTheSmallBlueTime) {
    game.currentTarget = 1;
    game.targetPositions[1] = {100, 0, 0};
    game.gameStartTick = 1000;
    game.pausedMs = 500;
    game.nowTick = 13849;
    updateGameClock();
    ASSERT_TRUE(drawHud(game));
    EXPECT_EQ(game.elapsedTenths, 123u);

    auto arrows = device->callsOf("SpriteDrawTransform");
    ASSERT_EQ(arrows.size(), 1u);
    EXPECT_EQ(arrows[0].colour, 0xFF0000FFu);
    Vec3 tip = transformCoord({32, 0, 0}, arrows[0].matrix);
    EXPECT_NEAR(tip.x, 288, 1e-3);

    auto glyphs = device->callsOf("SpriteDraw");
    ASSERT_EQ(glyphs.size(), 5u);
    EXPECT_FLOAT_EQ(glyphs[0].translation.x, 595);
    EXPECT_FLOAT_EQ(glyphs[0].translation.y, 5);
    EXPECT_FLOAT_EQ(glyphs[0].scaling.x, 0.5f);
    EXPECT_EQ(glyphs[0].colour, 0xFF0000FFu);
    EXPECT_EQ(glyphs[4].source.top, DigitDisplay::glyphRect(3).top);
}

TEST_F(HudTest, ClockCountsInUnsignedArithmeticAcrossTheTickWrap) {
    game.gameStartTick = 0xFFFFFF00u;
    game.pausedMs = 0;
    game.nowTick = 0x00000F00u;  // 4096 ms after the start, through the wrap
    updateGameClock();
    drawHud(game);
    EXPECT_EQ(game.elapsedTenths, 40u);
}

TEST_F(HudTest, RecordPassShowsTheLargeRedTime) {
    game.lastPassRecord = 1;
    game.nowTick = 5000;
    updateGameClock();
    drawHud(game);
    auto glyphs = device->callsOf("SpriteDraw");
    ASSERT_EQ(glyphs.size(), 5u);
    EXPECT_FLOAT_EQ(glyphs[0].translation.x, 555);
    EXPECT_FLOAT_EQ(glyphs[0].translation.y, 10);
    EXPECT_FLOAT_EQ(glyphs[1].translation.x, 571);
    EXPECT_FLOAT_EQ(glyphs[0].scaling.x, 1.0f);
    EXPECT_EQ(glyphs[0].colour, 0xFFFF0000u);
}

TEST_F(HudTest, IntroFinishAndGameOverFreezeTheClockAndHideTheArrow) {
    game.elapsedTenths = 777;
    game.nowTick = 999999;
    for (int32_t GameState::*flag :
         {&GameState::introActive, &GameState::allTargetsPassed, &GameState::gameOver}) {
        game.introActive = game.allTargetsPassed = game.gameOver = 0;
        game.*flag = 1;
        device->reset();
        updateGameClock();
        ASSERT_TRUE(drawHud(game));
        EXPECT_EQ(game.elapsedTenths, 777u);
        EXPECT_EQ(device->count("SpriteDrawTransform"), 0u);
        auto glyphs = device->callsOf("SpriteDraw");
        ASSERT_EQ(glyphs.size(), 5u);
        EXPECT_EQ(glyphs[2].source.top, DigitDisplay::glyphRect(7).top);
    }
}

TEST_F(HudTest, TimeBeyondFiveDigitsSimplyDisappears) {
    game.nowTick = 100000u * 100u;
    updateGameClock();
    EXPECT_TRUE(drawHud(game));
    EXPECT_EQ(game.elapsedTenths, 100000u);
    EXPECT_EQ(device->count("SpriteDraw"), 0u);
    EXPECT_EQ(device->count("SpriteDrawTransform"), 1u);
}

TEST_F(HudTest, CreateArrowLoadsItsPictureAndReleaseDropsBoth) {
    releaseArrow();
    ScratchDirectory dir;
    writeDds("media/arrow.dds", 64, 64, 0xFFFFFFFF);
    ASSERT_TRUE(createArrow());
    ASSERT_NE(game.arrowSprite, nullptr);
    ASSERT_NE(game.arrowTexture, nullptr);
    EXPECT_EQ(game.arrowTexture->width(), 64u);
    EXPECT_TRUE(window.messages.empty());
    releaseArrow();
    EXPECT_EQ(game.arrowSprite, nullptr);
    EXPECT_EQ(game.arrowTexture, nullptr);
    releaseArrow();
}

TEST_F(HudTest, MissingArrowPictureSaysSo) {
    releaseArrow();
    ScratchDirectory dir;
    EXPECT_FALSE(createArrow());
    ASSERT_EQ(window.messages.size(), 1u);
    // The original's text, then what failed, the file and why.
    EXPECT_EQ(
        window.messages[0],
        "矢印画の読み込みに失敗しました\ncannot read media/arrow.dds: No such file or directory");
    EXPECT_EQ(window.captions[0], "Dravik");
}

}  // namespace
