// The sparkle fountain of the result screen: up to 5000 star sprites shooting up from one point,
// drifting, falling back and reborn at the source every 128 frames.
#include "hud/sparkle_effect.h"

#include <algorithm>
#include <cstdint>

#include "app/messages.h"
#include "game/random.h"
#include "gfx/texture_file.h"

namespace {

constexpr const char* kStarFile = "media/star.dds";
constexpr uint32_t kSparkleBufferBytes = SparkleCount * sizeof(PointVertex);  // 120000
constexpr float kSparklePointSize = 0.3f;
constexpr uint32_t kLastAge = 127;

}  // namespace

int SparkleEffect::init(GraphicsDevice& device) {
    // The texture and the buffer are made once; later calls only scatter the particles again.
    if (!texture) {
        texture = createTextureFromFile(device, kStarFile);
        if (!texture) {
            showMessage("スパークルの読み込みに失敗しました");
            return 0;
        }
    }
    if (!vertexBuffer) {
        vertexBuffer = device.createVertexBuffer(kSparkleBufferBytes, kFvfPointSprite);
        if (!vertexBuffer || vertexBuffer->size() < kSparkleBufferBytes) {
            vertexBuffer.reset();
            return 0;
        }
    }

    for (int i = 0; i < SparkleCount; ++i) {
        // Lopsided on purpose: x leans to the negative side and z only ever grows.
        velocityX[i] = -static_cast<float>(drawRandom() % 40 - 10) / 100.0f;
        velocityY[i] = static_cast<float>(drawRandom() % 10000) / 10000.0f;
        velocityZ[i] = static_cast<float>(drawRandom() % 40) / 100.0f;
        positionX[i] = positionY[i] = positionZ[i] = 0.0f;
        age[i] = static_cast<uint32_t>(drawRandom() % 127);
    }
    return 1;
}

uint32_t SparkleEffect::colourForAge(uint32_t a, int channel) {
    // Byte `channel` of the word: 0 blue, 1 green, 2 red, 3 alpha.
    const uint32_t shift = 8u * static_cast<uint32_t>(channel & 3);
    if (a <= 62)
        return (0x00FFFFFFu - a * 0x00040404u) | (0xFFu << shift);
    // White fades to the channel, then the channel falls while blue rises. At age 127, the one
    // frame before rebirth, the ramps would leave a byte (-1 and 256): they are held to 0..255,
    // so the particle shows pure blue there.
    const int64_t four = 4 * static_cast<int64_t>(a);
    const int64_t falling = std::clamp<int64_t>(507 - four, 0, 255);
    const int64_t rising = std::clamp<int64_t>(four - 252, 0, 255);
    return (static_cast<uint32_t>(falling) << shift) | static_cast<uint32_t>(rising);
}

void SparkleEffect::advance(int count) {
    count = std::min(count, SparkleCount);
    for (int i = 0; i < count; ++i) {
        positionX[i] += velocityX[i];
        positionZ[i] += velocityZ[i];
        positionY[i] = positionY[i] + velocityY[i] -
                       0.00004f * static_cast<float>(age[i]) * static_cast<float>(age[i]);
        age[i] += 1;
        if (age[i] > kLastAge) {
            age[i] = 0;
            positionX[i] = positionY[i] = positionZ[i] = 0.0f;
        }
    }
}

int SparkleEffect::draw(GraphicsDevice& device, float x, float y, float z, int channel,
                        int count) const {
    return draw(device, x, y, z, channel, count, positionX, positionY, positionZ);
}

int SparkleEffect::draw(GraphicsDevice& device, float x, float y, float z, int channel, int count,
                        const float* px, const float* py, const float* pz) const {
    if (count <= 0)
        return 1;
    if (count > SparkleCount)
        count = SparkleCount;
    if (!vertexBuffer)
        return 1;
    auto* vertices = static_cast<PointVertex*>(vertexBuffer->lock());
    if (!vertices)
        return 1;

    for (int i = 0; i < count; ++i) {
        vertices[i].x = px[i];
        vertices[i].y = py[i];
        vertices[i].z = pz[i];
        vertices[i].colour = colourForAge(age[i], channel);
    }
    vertexBuffer->unlock();

    device.setTransform(TransformState::World, matrixTranslation(x, y, z));
    setPointSpriteStates(device, texture.get(), kSparklePointSize);
    device.setStreamSource(0, vertexBuffer.get(), sizeof(PointVertex));
    device.setVertexFormat(kFvfPointSprite);
    device.drawPointList(0, static_cast<uint32_t>(count));
    restorePointSpriteStates(device);
    return 1;
}
