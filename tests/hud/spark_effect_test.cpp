// The spark spray of a bump: its random scatter, its flight and flicker, and the point-sprite
// states it sets and puts back.
#include "hud/spark_effect.h"

#include <gtest/gtest.h>

#include "game/random.h"
#include "hud/picture_fixtures.h"

namespace {

class SparkEffectTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        sparks = std::make_unique<SparkEffect>();
        sparks->texture = device->createTexture(Image{32, 32, PixelFormat::Argb8888, {}});
        sparks->vertexBuffer = device->createVertexBuffer(1800, kFvfPointSprite);
        device->reset();
    }
    const PointVertex* vertices() {
        return static_cast<const PointVertex*>(sparks->vertexBuffer->lock());
    }
    // The sparks' part of a frame step during a bump: moved, then drawn.
    int step() {
        sparks->advance();
        return sparks->draw(*device);
    }

    std::unique_ptr<SparkEffect> sparks;
};

TEST_F(SparkEffectTest, ResetDrawsFourNumbersPerSparkInOrder) {
    seedRandom(12345);
    ReferenceRandom r(12345);
    sparks->positionX[3] = 9;
    sparks->reset();
    for (int i = 0; i < SparkCount; ++i) {
        int32_t rx = r.next(), ry = r.next(), rz = r.next(), ra = r.next();
        EXPECT_FLOAT_EQ(sparks->velocityX[i], (rx % 500 - 250) / 100.0f * 3.0f) << i;
        EXPECT_FLOAT_EQ(sparks->velocityY[i], (ry % 500 - 150) / 100.0f * 3.0f) << i;
        EXPECT_FLOAT_EQ(sparks->velocityZ[i], (rz % 100) / 100.0f * 3.0f) << i;
        EXPECT_EQ(sparks->age[i], static_cast<uint32_t>(ra % 64)) << i;
        EXPECT_EQ(sparks->positionX[i], 0.0f);
        EXPECT_EQ(sparks->positionY[i], 0.0f);
        EXPECT_EQ(sparks->positionZ[i], 0.0f);
    }
    // Exactly 4 x 75 draws were taken.
    EXPECT_EQ(drawRandom(), r.next());
}

TEST_F(SparkEffectTest, SparkRisesThenFallsUnderAPullGrowingWithAge) {
    sparks->reset();
    sparks->velocityX[0] = 1.0f;
    sparks->velocityY[0] = 0.3f;
    sparks->velocityZ[0] = 0.5f;
    sparks->age[0] = 0;
    const float expectedY[] = {0.3f, 0.598f, 0.89f};
    for (int frame = 0; frame < 3; ++frame) {
        step();
        EXPECT_NEAR(sparks->positionY[0], expectedY[frame], 1e-6f) << frame;
        EXPECT_NEAR(vertices()[0].y, expectedY[frame], 1e-6f);
        EXPECT_FLOAT_EQ(vertices()[0].x, 1.0f * (frame + 1));
        EXPECT_FLOAT_EQ(vertices()[0].z, 0.5f * (frame + 1));
    }
    EXPECT_EQ(sparks->age[0], 3u);
    // Ages have no ceiling.
    sparks->age[0] = 5000;
    step();
    EXPECT_EQ(sparks->age[0], 5001u);
}

TEST_F(SparkEffectTest, FirstFrameDrawsEverySparkOneStepFromTheBurstPoint) {
    seedRandom(77);
    sparks->reset();
    step();
    auto transforms = device->callsOf("SetTransform");
    ASSERT_EQ(transforms.size(), 1u);
    EXPECT_EQ(transforms[0].transform, TransformState::World);
    EXPECT_EQ(transforms[0].matrix, matrixTranslation(0, 0, 20));
    const PointVertex* v = vertices();
    for (int i = 0; i < SparkCount; ++i) {
        float pull = 0.002f * static_cast<float>(sparks->age[i] - 1) *
                     static_cast<float>(sparks->age[i] - 1);
        EXPECT_FLOAT_EQ(v[i].x, sparks->velocityX[i]);
        EXPECT_FLOAT_EQ(v[i].z, sparks->velocityZ[i]);
        EXPECT_NEAR(v[i].y, sparks->velocityY[i] - pull, 1e-5f);
    }
}

TEST_F(SparkEffectTest, ColourFlickersByAgeWithBlueBeforeYellow) {
    sparks->reset();
    sparks->age[0] = 11;  // drawn at 12: multiple of 4 and of 3
    sparks->age[1] = 8;   // 9: yellow
    sparks->age[2] = 9;   // 10: red
    sparks->age[3] = 3;   // 4: blue
    sparks->age[4] = 5;   // 6: yellow
    step();
    const PointVertex* v = vertices();
    EXPECT_EQ(v[0].colour, 0x000000FFu);
    EXPECT_EQ(v[1].colour, 0x00FFFF00u);
    EXPECT_EQ(v[2].colour, 0x00FF0000u);
    EXPECT_EQ(v[3].colour, 0x000000FFu);
    EXPECT_EQ(v[4].colour, 0x00FFFF00u);
}

TEST_F(SparkEffectTest, DrawingAloneMovesNothing) {
    sparks->reset();
    sparks->velocityY[0] = 2.0f;
    uint32_t age = sparks->age[0];
    EXPECT_EQ(sparks->draw(*device), 1);
    EXPECT_EQ(sparks->draw(*device), 1);
    EXPECT_EQ(device->count("DrawPointList"), 2u);
    EXPECT_EQ(sparks->positionY[0], 0.0f);
    EXPECT_EQ(sparks->age[0], age);
}

TEST_F(SparkEffectTest, DrawsOnePointListInPlaceAndPutsTheStatesBack) {
    sparks->reset();
    EXPECT_EQ(step(), 1);
    EXPECT_EQ(device->count("CreateVertexBuffer"), 0u);
    EXPECT_EQ(device->count("CreateTexture"), 0u);

    std::vector<std::string> ops;
    for (const auto& c : device->calls) ops.push_back(c.op);
    auto at = [&](const std::string& op) {
        return std::find(ops.begin(), ops.end(), op) - ops.begin();
    };
    EXPECT_LT(at("Lock"), at("Unlock"));
    EXPECT_LT(at("Unlock"), at("DrawPointList"));

    auto lists = device->callsOf("DrawPointList");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].index, 0u);
    EXPECT_EQ(lists[0].count, 75u);
    auto streams = device->callsOf("SetStreamSource");
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].object, sparks->vertexBuffer.get());
    EXPECT_EQ(streams[0].value, 24u);
    ASSERT_EQ(device->count("SetVertexFormat"), 1u);
    EXPECT_EQ(device->callsOf("SetVertexFormat")[0].value, 0x142u);

    // The states in force when the points are drawn.
    size_t drawAt = static_cast<size_t>(at("DrawPointList"));
    RecordingDevice before;
    before.calls.assign(device->calls.begin(), device->calls.begin() + drawAt);
    EXPECT_EQ(before.lastState(RenderState::ZWriteEnable), 0u);
    EXPECT_EQ(before.lastState(RenderState::CullMode), kCullNone);
    EXPECT_EQ(before.lastState(RenderState::Lighting), 0u);
    EXPECT_EQ(before.lastState(RenderState::PointSpriteEnable), 1u);
    EXPECT_EQ(before.lastState(RenderState::PointScaleEnable), 1u);
    EXPECT_EQ(before.lastState(RenderState::PointSize), floatBits(4.0f));
    EXPECT_EQ(before.lastState(RenderState::PointSizeMin), floatBits(0.0f));
    EXPECT_EQ(before.lastState(RenderState::PointScaleA), floatBits(0.0f));
    EXPECT_EQ(before.lastState(RenderState::PointScaleB), floatBits(0.0f));
    EXPECT_EQ(before.lastState(RenderState::PointScaleC), floatBits(1.0f));
    auto textures = before.callsOf("SetTexture");
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0].object, sparks->texture.get());

    // And afterwards.
    EXPECT_EQ(device->lastState(RenderState::PointSpriteEnable), 0u);
    EXPECT_EQ(device->lastState(RenderState::PointScaleEnable), 0u);
    EXPECT_EQ(device->lastState(RenderState::Lighting), 1u);
    EXPECT_EQ(device->lastState(RenderState::CullMode), kCullCW);
    EXPECT_EQ(device->lastState(RenderState::ZWriteEnable), 1u);
    EXPECT_EQ(device->callsOf("SetTexture").back().object, nullptr);
}

TEST_F(SparkEffectTest, CreateLoadsTheStarMakesTheBufferAndScatters) {
    ScratchDirectory dir;
    writeDds("media/star.dds", 32, 32, 0x80FFFFFF);
    SparkEffect fresh;
    fresh.positionX[10] = 5;
    seedRandom(4);
    ASSERT_EQ(fresh.create(*device), 1);
    ASSERT_NE(fresh.texture, nullptr);
    ASSERT_NE(fresh.vertexBuffer, nullptr);
    auto buffers = device->callsOf("CreateVertexBuffer");
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(buffers[0].count, 1800u);
    EXPECT_EQ(buffers[0].value, 0x142u);
    EXPECT_EQ(fresh.positionX[10], 0.0f);
    ReferenceRandom r(4);
    EXPECT_FLOAT_EQ(fresh.velocityX[0], (r.next() % 500 - 250) / 100.0f * 3.0f);

    fresh.release();
    EXPECT_EQ(fresh.texture, nullptr);
    EXPECT_EQ(fresh.vertexBuffer, nullptr);
    fresh.release();
}

TEST_F(SparkEffectTest, MissingStarSaysSoAndMakesNoBuffer) {
    ScratchDirectory dir;
    SparkEffect fresh;
    EXPECT_EQ(fresh.create(*device), 0);
    ASSERT_EQ(window.messages.size(), 1u);
    // The original's text, then what failed, the file and why.
    EXPECT_EQ(window.messages[0],
              "スパーク画の読み込みに失敗しました\ncannot read media/star.dds: No such file or "
              "directory");
    EXPECT_EQ(device->count("CreateVertexBuffer"), 0u);
}

}  // namespace
