// The sparkle fountain: its random scatter, the colour ramps by age and channel, the rise, fall
// and rebirth of a particle, and how many are drawn.
#include "hud/sparkle_effect.h"

#include <gtest/gtest.h>

#include "game/random.h"
#include "hud/picture_fixtures.h"

namespace {

class SparkleEffectTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        sparkles = std::make_unique<SparkleEffect>();
        sparkles->texture = device->createTexture(Image{32, 32, PixelFormat::Argb8888, {}});
        sparkles->vertexBuffer = device->createVertexBuffer(120000, kFvfPointSprite);
        seedRandom(99);
        sparkles->init(*device);
        device->reset();
    }
    const PointVertex* vertices() {
        return static_cast<const PointVertex*>(sparkles->vertexBuffer->lock());
    }
    // The fountain's part of a result-screen step: the counted sparkles moved, then drawn.
    int step(float x, float y, float z, int channel, int count) {
        sparkles->advance(count);
        return sparkles->draw(*device, x, y, z, channel, count);
    }
    uint32_t drawnCount() {
        auto lists = device->callsOf("DrawPointList");
        return lists.empty() ? 0 : lists.back().count;
    }

    std::unique_ptr<SparkleEffect> sparkles;
};

TEST_F(SparkleEffectTest, InitDrawsFourNumbersPerParticleInOrder) {
    sparkles->positionY[17] = 3;
    seedRandom(2024);
    ReferenceRandom r(2024);
    ASSERT_EQ(sparkles->init(*device), 1);
    for (int i = 0; i < SparkleCount; ++i) {
        int32_t rx = r.next(), ry = r.next(), rz = r.next(), ra = r.next();
        ASSERT_FLOAT_EQ(sparkles->velocityX[i], -(rx % 40 - 10) / 100.0f) << i;
        ASSERT_FLOAT_EQ(sparkles->velocityY[i], (ry % 10000) / 10000.0f) << i;
        ASSERT_FLOAT_EQ(sparkles->velocityZ[i], (rz % 40) / 100.0f) << i;
        ASSERT_EQ(sparkles->age[i], static_cast<uint32_t>(ra % 127)) << i;
    }
    EXPECT_EQ(sparkles->positionY[17], 0.0f);
    EXPECT_EQ(drawRandom(), r.next());
    // A new game only scatters again: the texture and the buffer stay as they are.
    EXPECT_EQ(device->count("CreateVertexBuffer"), 0u);
    EXPECT_EQ(device->count("CreateTexture"), 0u);
}

TEST_F(SparkleEffectTest, ColourFadesFromWhiteToTheChannelThenToBlue) {
    EXPECT_EQ(SparkleEffect::colourForAge(0, 2), 0x00FFFFFFu);
    EXPECT_EQ(SparkleEffect::colourForAge(1, 2), 0x00FFFBFBu);
    EXPECT_EQ(SparkleEffect::colourForAge(62, 2), 0x00FF0707u);
    EXPECT_EQ(SparkleEffect::colourForAge(63, 2), 0x00FF0000u);
    EXPECT_EQ(SparkleEffect::colourForAge(64, 2), 0x00FB0004u);
    EXPECT_EQ(SparkleEffect::colourForAge(126, 2), 0x000300FCu);

    EXPECT_EQ(SparkleEffect::colourForAge(0, 1), 0x00FFFFFFu);
    EXPECT_EQ(SparkleEffect::colourForAge(62, 1), 0x0007FF07u);
    EXPECT_EQ(SparkleEffect::colourForAge(63, 1), 0x0000FF00u);
    EXPECT_EQ(SparkleEffect::colourForAge(126, 1), 0x000003FCu);

    EXPECT_EQ(SparkleEffect::colourForAge(62, 3), 0xFF070707u);
    EXPECT_EQ(SparkleEffect::colourForAge(100, 3), 0x6B000094u);
    EXPECT_EQ(SparkleEffect::colourForAge(62, 0), 0x000707FFu);

    // The last frame before rebirth: both ramps held to a byte, pure blue.
    EXPECT_EQ(SparkleEffect::colourForAge(127, 2), 0x000000FFu);
    EXPECT_EQ(SparkleEffect::colourForAge(127, 3), 0x000000FFu);
}

TEST_F(SparkleEffectTest, ParticleStillRisesAtAge111AndSinksFrom112) {
    sparkles->velocityY[0] = 0.5f;
    sparkles->age[0] = 110;
    step(0, 0, 0, 2, 1);  // steps with the pull of age 110
    float y = sparkles->positionY[0];
    step(0, 0, 0, 2, 1);  // age 111: 0.00004 x 111^2 = 0.493
    EXPECT_GT(sparkles->positionY[0], y);
    y = sparkles->positionY[0];
    step(0, 0, 0, 2, 1);  // age 112: 0.502
    EXPECT_LT(sparkles->positionY[0], y);
    EXPECT_NEAR(sparkles->positionY[0] - y, 0.5f - 0.00004f * 112 * 112, 1e-6f);
}

TEST_F(SparkleEffectTest, OldParticleIsDrawnOnceAt127ThenRebornAtTheSource) {
    sparkles->velocityX[0] = 0.1f;
    sparkles->velocityY[0] = 0.9f;
    sparkles->velocityZ[0] = 0.2f;
    sparkles->age[0] = 126;
    sparkles->positionX[0] = 4;
    step(0, 0, 0, 2, 1);
    EXPECT_EQ(sparkles->age[0], 127u);
    EXPECT_FLOAT_EQ(vertices()[0].x, 4.1f);
    EXPECT_EQ(vertices()[0].colour, 0x000000FFu);

    step(0, 0, 0, 2, 1);
    EXPECT_EQ(sparkles->age[0], 0u);
    EXPECT_EQ(vertices()[0].x, 0.0f);
    EXPECT_EQ(vertices()[0].y, 0.0f);
    EXPECT_EQ(vertices()[0].z, 0.0f);
    EXPECT_EQ(vertices()[0].colour, 0x00FFFFFFu);

    // Reborn particles leave with the velocity they had.
    step(0, 0, 0, 2, 1);
    EXPECT_FLOAT_EQ(vertices()[0].x, 0.1f);
    EXPECT_FLOAT_EQ(vertices()[0].y, 0.9f);
}

TEST_F(SparkleEffectTest, OnlyTheCountedParticlesMoveAndAreDrawn) {
    uint32_t age10 = sparkles->age[10];
    EXPECT_EQ(step(25, -15, 10, 2, 0), 1);
    EXPECT_TRUE(device->calls.empty());
    EXPECT_EQ(sparkles->age[10], age10);

    step(25, -15, 10, 2, 10);
    EXPECT_EQ(drawnCount(), 10u);
    EXPECT_EQ(sparkles->age[10], age10);
    EXPECT_EQ(sparkles->positionZ[10], 0.0f);

    device->reset();
    step(25, -15, 10, 2, 6000);
    EXPECT_EQ(drawnCount(), 5000u);
}

TEST_F(SparkleEffectTest, DrawnAroundTheSourceWithTinyPoints) {
    step(25, -15, 10, 2, 1255);
    auto transforms = device->callsOf("SetTransform");
    ASSERT_EQ(transforms.size(), 1u);
    EXPECT_EQ(transforms[0].transform, TransformState::World);
    EXPECT_EQ(transforms[0].matrix, matrixTranslation(25, -15, 10));
    EXPECT_EQ(drawnCount(), 1255u);
    EXPECT_EQ(device->callsOf("DrawPointList")[0].index, 0u);
    EXPECT_EQ(device->callsOf("SetStreamSource")[0].value, 24u);
    EXPECT_EQ(device->callsOf("SetVertexFormat")[0].value, 0x142u);
    EXPECT_EQ(device->count("CreateVertexBuffer"), 0u);

    auto sizes = device->callsOf("SetRenderState");
    bool sawSize = false;
    for (const auto& c : sizes)
        if (c.state == RenderState::PointSize) {
            EXPECT_EQ(c.value, floatBits(0.3f));
            sawSize = true;
        }
    EXPECT_TRUE(sawSize);
    EXPECT_EQ(device->lastState(RenderState::PointSpriteEnable), 0u);
    EXPECT_EQ(device->callsOf("SetTexture").front().object, sparkles->texture.get());

    // Each drawn vertex carries its particle's position and age colour.
    const PointVertex* v = vertices();
    for (int i = 0; i < 1255; i += 97) {
        EXPECT_EQ(v[i].x, sparkles->positionX[i]);
        EXPECT_EQ(v[i].y, sparkles->positionY[i]);
        EXPECT_EQ(v[i].colour, SparkleEffect::colourForAge(sparkles->age[i], 2));
    }
}

TEST_F(SparkleEffectTest, FirstInitLoadsTheStarAndMakesTheBigBuffer) {
    ScratchDirectory dir;
    writeDds("media/star.dds", 16, 16, 0xFFFFFFFF);
    auto fresh = std::make_unique<SparkleEffect>();
    ASSERT_EQ(fresh->init(*device), 1);
    ASSERT_NE(fresh->texture, nullptr);
    auto buffers = device->callsOf("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(buffers[0].count, 120000u);
    EXPECT_EQ(buffers[0].value, 0x142u);

    device->reset();
    ASSERT_EQ(fresh->init(*device), 1);
    EXPECT_EQ(device->count("CreateVertexBuffer"), 0u);
    EXPECT_EQ(device->count("CreateTexture"), 0u);

    fresh->release();
    EXPECT_EQ(fresh->texture, nullptr);
    EXPECT_EQ(fresh->vertexBuffer, nullptr);
}

TEST_F(SparkleEffectTest, MissingStarSaysSo) {
    ScratchDirectory dir;
    auto fresh = std::make_unique<SparkleEffect>();
    EXPECT_EQ(fresh->init(*device), 0);
    ASSERT_EQ(window.messages.size(), 1u);
    // The original's text, then what failed, the file and why.
    EXPECT_EQ(window.messages[0],
              "スパークルの読み込みに失敗しました\ncannot read media/star.dds: No such file or "
              "directory");
    EXPECT_EQ(window.captions[0], "Dravik");
}

}  // namespace
