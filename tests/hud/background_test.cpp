// The background picture: pinned at one screen point while it turns, faded with the scene.
#include "scene/background.h"

#include <gtest/gtest.h>

#include "hud/picture_fixtures.h"

namespace {

class BackgroundTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        game.backgroundSprite = device->createSprite();
        game.backgroundTexture =
            device->createTexture(Image{1024, 1024, PixelFormat::Argb8888, {}});
        game.sceneFade = 1.0f;
        device->reset();
    }
    DeviceCall drawnWith(float angle) {
        device->reset();
        EXPECT_TRUE(drawBackground(game, angle));
        auto draws = device->callsOf("SpriteDraw");
        EXPECT_EQ(draws.size(), 1u);
        return draws.empty() ? DeviceCall{} : draws[0];
    }
};

TEST_F(BackgroundTest, PicturePointStaysOnItsScreenPointAtEveryAngle) {
    for (float angle : {0.0f, 0.3f, -0.3f, 1.5707964f, 3.1415927f, -2.0f}) {
        DeviceCall draw = drawnWith(angle);
        Vec2 pinned = spriteTexelOnScreen(draw, {420, 480});
        EXPECT_NEAR(pinned.x, 320, 1e-3) << angle;
        EXPECT_NEAR(pinned.y, 210, 1e-3) << angle;
    }
    // Unturned and unscaled, the top-left corner lies at (-100, -270), one texel per pixel.
    DeviceCall flat = drawnWith(0);
    Vec2 corner = spriteTexelOnScreen(flat, {0, 0});
    EXPECT_NEAR(corner.x, -100, 1e-3);
    EXPECT_NEAR(corner.y, -270, 1e-3);
    Vec2 far = spriteTexelOnScreen(flat, {740, 750});
    EXPECT_NEAR(far.x, 640, 1e-3);
    EXPECT_NEAR(far.y, 480, 1e-3);
    EXPECT_FALSE(flat.hasSource);
    EXPECT_EQ(flat.object, game.backgroundTexture.get());
}

TEST_F(BackgroundTest, CockpitBankTurnsThePictureClockwiseOnScreen) {
    // The callers pass -bank in radians; a positive bank of 30 degrees carries a texel to the
    // right of the pinned point downwards (y grows down the screen).
    float bank = 30.0f;
    DeviceCall draw = drawnWith(-bank * kDegToRad);
    Vec2 right = spriteTexelOnScreen(draw, {520, 480});
    EXPECT_NEAR(right.x, 320 + 100 * std::cos(bank * kDegToRad), 1e-3);
    EXPECT_NEAR(right.y, 210 + 100 * std::sin(bank * kDegToRad), 1e-3);
}

TEST_F(BackgroundTest, OpacityFollowsTheSceneFade) {
    struct Case {
        float fade;
        uint32_t colour;
    };
    for (Case c : {Case{1.0f, 0xFFFFFFFF}, Case{0.5f, 0x7FFFFFFF}, Case{0.0f, 0x00FFFFFF},
                   Case{-0.0066f, 0x00FFFFFF}, Case{149.0f / 150.0f, 0xFDFFFFFF},
                   Case{1.0f / 150.0f, 0x01FFFFFF}}) {
        game.sceneFade = c.fade;
        EXPECT_EQ(drawnWith(0).colour, c.colour) << c.fade;
    }
}

TEST_F(BackgroundTest, DrawIsOneClosedBatch) {
    drawBackground(game, 0.2f);
    ASSERT_EQ(device->calls.size(), 3u);
    EXPECT_EQ(device->calls[0].op, "SpriteBegin");
    EXPECT_EQ(device->calls[1].op, "SpriteDraw");
    EXPECT_EQ(device->calls[2].op, "SpriteEnd");
}

TEST_F(BackgroundTest, ReleaseDropsBothAndADrawAfterwardsFails) {
    releaseBackground();
    EXPECT_EQ(game.backgroundTexture, nullptr);
    EXPECT_EQ(game.backgroundSprite, nullptr);
    releaseBackground();
    EXPECT_FALSE(drawBackground(game, 0));
    EXPECT_TRUE(device->calls.empty());
}

TEST_F(BackgroundTest, CreateMakesTheSpriteThenLoadsThePicture) {
    releaseBackground();
    ScratchDirectory dir;
    writeDds("media/BG.dds", 8, 4, 0xFF00FF00);
    ASSERT_TRUE(createBackground());
    ASSERT_NE(game.backgroundSprite, nullptr);
    ASSERT_NE(game.backgroundTexture, nullptr);
    EXPECT_EQ(game.backgroundTexture->width(), 8u);
    EXPECT_EQ(game.backgroundTexture->height(), 4u);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(BackgroundTest, MissingPictureSaysSoAndFails) {
    releaseBackground();
    ScratchDirectory dir;
    EXPECT_FALSE(createBackground());
    ASSERT_EQ(window.messages.size(), 1u);
    // The original's text, then what failed, the file and why.
    EXPECT_EQ(
        window.messages[0],
        "背景画の読み込みに失敗しました\ncannot read media/BG.dds: No such file or directory");
    EXPECT_EQ(window.captions[0], "Dravik");
    EXPECT_EQ(game.backgroundTexture, nullptr);
}

}  // namespace
