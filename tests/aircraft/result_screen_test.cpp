// The result screen's course: the plane's turn, tilt, growth and rocking, the sky fading to blue,
// the sparkle fountain from frame 252, and the one frame drawn per call.
#include "aircraft/result_screen.h"

#include <gtest/gtest.h>

#include "aircraft/plane_fixtures.h"
#include "game/random.h"
#include "hud/digit_display.h"
#include "hud/sparkle_effect.h"

namespace {

class ResultScreenTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        makeTwoPartModel(model, *device, 5.0f);
        game.planeModel = &model;
        sparkles = std::make_unique<SparkleEffect>();
        sparkles->texture = device->createTexture(Image{16, 16, PixelFormat::Argb8888, {}});
        sparkles->vertexBuffer = device->createVertexBuffer(120000, kFvfPointSprite);
        seedRandom(1);
        sparkles->init(*device);
        game.sparkleEffect = sparkles.get();
        digits.texture = device->createTexture(Image{32, 512, PixelFormat::Argb8888, {}});
        digits.sprite = device->createSprite();
        game.digitDisplay = &digits;
        // As the frame step leaves it once the game-over fade has ended.
        game.halted = 1;
        game.gameOver = 1;
        game.elapsedTenths = 1234;
        game.clearColour = 0xFF7FEFFA;
        resetResultScreen();
        device->reset();
    }
    // One step of the result screen as the frame step runs it: move, draw, present.
    void step() {
        moveResultScreen();
        drawResultScreen(game, resultScreen);
        device->present();
    }
    // Draws frames up to and including `frame` (counting from 1), the last one on a clean log.
    void runTo(uint32_t frame) {
        while (drawn_ + 1 < frame) {
            step();
            ++drawn_;
        }
        device->reset();
        step();
        ++drawn_;
    }
    float scaleAtDraw() const {
        Matrix w = worldAtDraw(*device);
        return std::sqrt(w.m[0][0] * w.m[0][0] + w.m[0][1] * w.m[0][1] + w.m[0][2] * w.m[0][2]);
    }
    uint32_t sparklesDrawn() const {
        auto lists = device->callsOf("DrawPointList");
        return lists.empty() ? 0 : lists.back().count;
    }

    PlaneModel model{"media/myplane.x"};
    std::unique_ptr<SparkleEffect> sparkles;
    DigitDisplay digits;
    uint32_t drawn_ = 0;
};

TEST_F(ResultScreenTest, OneCallIsOneWholeFrameWithTheTimeOnTop) {
    runTo(1);
    ASSERT_FALSE(device->calls.empty());
    const DeviceCall& clear = device->calls.front();
    EXPECT_EQ(clear.op, "Clear");
    EXPECT_EQ(clear.value, kClearTarget | kClearZBuffer);
    EXPECT_EQ(clear.colour, 0xFF7FEFFAu);
    EXPECT_EQ(device->calls[1].op, "BeginScene");
    EXPECT_EQ(device->calls[device->calls.size() - 2].op, "EndScene");
    EXPECT_EQ(device->calls.back().op, "Present");
    EXPECT_EQ(device->count("DrawSubset"), 2u);
    EXPECT_EQ(device->count("SpriteDrawTransform"), 0u);  // no arrow after the game
    auto glyphs = device->callsOf("SpriteDraw");
    ASSERT_EQ(glyphs.size(), 5u);
    EXPECT_EQ(glyphs[1].source.top, DigitDisplay::glyphRect(1).top);
    EXPECT_EQ(game.elapsedTenths, 1234u);
    EXPECT_EQ(resultScreen.resultFrame, 1u);
}

TEST_F(ResultScreenTest, FirstFrameShowsThePlaneAtFlightSizeNoseAway) {
    runTo(1);
    Matrix expected = matrixRotationY(181.5f * kDegToRad) * matrixRotationZ(0) *
                      matrixScaling(1, 1, 1) * matrixRotationX(-0.2f * kDegToRad);
    expectMatrixNear(worldAtDraw(*device), expected);
    EXPECT_EQ(ambientAtDraw(*device), 0x00550000u);
    EXPECT_EQ(device->lastState(RenderState::Ambient), 0x00404040u);
    EXPECT_FLOAT_EQ(resultScreen.resultYaw, 1.5f);
    EXPECT_FLOAT_EQ(resultScreen.resultPitch, -0.2f);
}

TEST_F(ResultScreenTest, PitchIsHeldFromFrame71AndYawFromFrame94) {
    runTo(70);
    EXPECT_GT(resultScreen.resultPitch, -14.0f);
    EXPECT_NEAR(resultScreen.resultPitch, -14.0f, 1e-4f);
    runTo(71);
    EXPECT_EQ(resultScreen.resultPitch, -14.0f);
    runTo(93);
    EXPECT_FLOAT_EQ(resultScreen.resultYaw, 139.5f);
    runTo(94);
    EXPECT_EQ(resultScreen.resultYaw, 140.0f);
    runTo(300);
    EXPECT_EQ(resultScreen.resultYaw, 140.0f);
    EXPECT_EQ(resultScreen.resultPitch, -14.0f);
}

TEST_F(ResultScreenTest, PlaneGrowsToThreeThenRocksOnceEvery360Frames) {
    uint32_t heldAt = 0;
    float previous = 0;
    for (uint32_t frame = 1; frame <= 200 && !heldAt; ++frame) {
        runTo(frame);
        float s = scaleAtDraw();
        EXPECT_GT(s, previous);
        previous = s;
        if (resultScreen.resultScaleReached)
            heldAt = frame;
        EXPECT_EQ(resultScreen.rockPhase, heldAt ? 1.0f : 0.0f);
    }
    // 1 + 0.02 x (frame - 1) reaches 3 near frame 101.
    ASSERT_GE(heldAt, 100u);
    ASSERT_LE(heldAt, 102u);
    EXPECT_NEAR(scaleAtDraw(), 3.0f, 1e-5f);

    runTo(heldAt + 1);
    EXPECT_NEAR(scaleAtDraw(), 3.0f, 1e-5f);
    Matrix expected = matrixRotationY(320 * kDegToRad) *
                      matrixRotationZ(20 * std::sin(1 * kDegToRad) * kDegToRad) *
                      matrixScaling(3, 3, 3) * matrixRotationX(-14 * kDegToRad);
    expectMatrixNear(worldAtDraw(*device), expected);
    EXPECT_GT(resultScreen.resultGrow, 2.0f);

    // The phase runs to 360 and starts over.
    runTo(heldAt + 360);
    EXPECT_FLOAT_EQ(resultScreen.rockPhase, 0.0f);
    runTo(heldAt + 361);
    EXPECT_FLOAT_EQ(resultScreen.rockPhase, 1.0f);
    EXPECT_GT(resultScreen.resultGrow, 9.0f);
}

TEST_F(ResultScreenTest, ModelAlreadyLargeIsHeldAtThreeFromTheFirstFrame) {
    model.boundingRadius = 1.0f;  // 5 / 1 = 5
    runTo(1);
    Matrix first = matrixRotationY(181.5f * kDegToRad) * matrixRotationZ(0) *
                   matrixScaling(3, 3, 3) * matrixRotationX(-0.2f * kDegToRad);
    expectMatrixNear(worldAtDraw(*device), first);
    EXPECT_EQ(resultScreen.rockStep, 1.0f);
    runTo(2);
    Matrix second = matrixRotationY(183 * kDegToRad) *
                    matrixRotationZ(20 * std::sin(1 * kDegToRad) * kDegToRad) *
                    matrixScaling(3, 3, 3) * matrixRotationX(-0.4f * kDegToRad);
    expectMatrixNear(worldAtDraw(*device), second);
}

TEST_F(ResultScreenTest, SparklesStartAtResultFrame251With1255Particles) {
    runTo(251);
    EXPECT_EQ(resultScreen.resultFrame, 251u);
    EXPECT_EQ(device->count("DrawPointList"), 0u);
    runTo(252);
    EXPECT_EQ(sparklesDrawn(), 1255u);
    auto transforms = device->callsOf("SetTransform");
    ASSERT_FALSE(transforms.empty());
    EXPECT_EQ(transforms[0].matrix, matrixTranslation(25, -15, 10));
    // Drawn in red, before the plane.
    std::vector<std::string> ops;
    for (const auto& c : device->calls) ops.push_back(c.op);
    EXPECT_LT(std::find(ops.begin(), ops.end(), "DrawPointList"),
              std::find(ops.begin(), ops.end(), "DrawSubset"));
    const auto* v = static_cast<const PointVertex*>(sparkles->vertexBuffer->lock());
    EXPECT_EQ(v[0].colour, SparkleEffect::colourForAge(sparkles->age[0], 2));
    runTo(253);
    EXPECT_EQ(sparklesDrawn(), 1260u);
}

TEST_F(ResultScreenTest, FountainStopsGrowingAtFrame1001) {
    runTo(1000);
    EXPECT_EQ(sparklesDrawn(), 4995u);
    runTo(1001);
    EXPECT_EQ(resultScreen.resultFrame, 1000u);
    EXPECT_EQ(sparklesDrawn(), 5000u);
    runTo(1002);
    EXPECT_EQ(resultScreen.resultFrame, 1000u);
    EXPECT_EQ(sparklesDrawn(), 5000u);
}

TEST_F(ResultScreenTest, SkyLosesItsAlphaAndFadesToPureBlue) {
    runTo(1);
    EXPECT_EQ(game.clearColour, 0x007EEEFBu);
    runTo(2);
    EXPECT_EQ(device->calls.front().colour, 0x007EEEFBu);
    EXPECT_EQ(game.clearColour, 0x007DEDFCu);
    runTo(239);
    EXPECT_EQ(game.clearColour, 0x000000FFu);  // green, the largest, took 239 frames
    runTo(400);
    EXPECT_EQ(game.clearColour, 0x000000FFu);

    game.clearColour = 0x00FFFFFF;
    resetResultScreen();
    drawn_ = 0;
    runTo(255);
    EXPECT_EQ(game.clearColour, 0x000000FFu);
}

TEST_F(ResultScreenTest, ResetStartsTheScreenOver) {
    runTo(120);
    resetResultScreen();
    EXPECT_EQ(resultScreen.resultFrame, 0u);
    EXPECT_EQ(resultScreen.resultGrow, 0.0f);
    EXPECT_EQ(resultScreen.resultPitch, 0.0f);
    EXPECT_EQ(resultScreen.resultYaw, 0.0f);
    EXPECT_EQ(resultScreen.rockStep, 0.0f);
    EXPECT_EQ(resultScreen.rockPhase, 0.0f);
    EXPECT_EQ(resultScreen.resultScaleReached, 0);
}

}  // namespace
