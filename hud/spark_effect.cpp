// The spark spray of a bump: 75 star point sprites thrown out from 20 units ahead of the plane,
// pulled down harder as they age, flickering blue, yellow and red.
#include "hud/spark_effect.h"

#include "app/messages.h"
#include "game/random.h"
#include "gfx/texture_file.h"

namespace {

constexpr const char* kStarFile = "media/star.dds";
constexpr uint32_t kSparkBufferBytes = SparkCount * sizeof(PointVertex);  // 1800
constexpr float kSparkPointSize = 4.0f;

uint32_t sparkColour(uint32_t age) {
    // The multiple of 4 wins over the multiple of 3 (age 12 is blue).
    if (age % 4 == 0)
        return 0x000000FF;
    if (age % 3 == 0)
        return 0x00FFFF00;
    return 0x00FF0000;
}

}  // namespace

void setPointSpriteStates(GraphicsDevice& device, Texture* texture, float pointSize) {
    device.setRenderState(RenderState::ZWriteEnable, 0);
    device.setRenderState(RenderState::CullMode, kCullNone);
    device.setTexture(0, texture);
    device.setRenderState(RenderState::Lighting, 0);
    device.setRenderState(RenderState::PointSpriteEnable, 1);
    device.setRenderState(RenderState::PointScaleEnable, 1);
    device.setRenderState(RenderState::PointSize, floatBits(pointSize));
    device.setRenderState(RenderState::PointSizeMin, floatBits(0.0f));
    // Side in pixels = viewport height x size / distance from the eye.
    device.setRenderState(RenderState::PointScaleA, floatBits(0.0f));
    device.setRenderState(RenderState::PointScaleB, floatBits(0.0f));
    device.setRenderState(RenderState::PointScaleC, floatBits(1.0f));
}

void restorePointSpriteStates(GraphicsDevice& device) {
    device.setRenderState(RenderState::PointSpriteEnable, 0);
    device.setRenderState(RenderState::PointScaleEnable, 0);
    device.setTexture(0, nullptr);
    device.setRenderState(RenderState::Lighting, 1);
    device.setRenderState(RenderState::CullMode, kCullCW);
    device.setRenderState(RenderState::ZWriteEnable, 1);
}

int SparkEffect::create(GraphicsDevice& device) {
    texture = createTextureFromFile(device, kStarFile);
    if (!texture) {
        showMessage("スパーク画の読み込みに失敗しました");
        return 0;
    }
    vertexBuffer = device.createVertexBuffer(kSparkBufferBytes, kFvfPointSprite);
    if (!vertexBuffer || vertexBuffer->size() < kSparkBufferBytes) {
        vertexBuffer.reset();
        return 0;
    }
    reset();
    return 1;
}

void SparkEffect::reset() {
    for (int i = 0; i < SparkCount; ++i) {
        // Remainders on the integer draw, the rest in floating point; the draws in this order.
        velocityX[i] = static_cast<float>(drawRandom() % 500 - 250) / 100.0f * 3.0f;
        velocityY[i] = static_cast<float>(drawRandom() % 500 - 150) / 100.0f * 3.0f;
        velocityZ[i] = static_cast<float>(drawRandom() % 100) / 100.0f * 3.0f;
        positionX[i] = positionY[i] = positionZ[i] = 0.0f;
        age[i] = static_cast<uint32_t>(drawRandom() % 64);
    }
}

void SparkEffect::advance() {
    for (int i = 0; i < SparkCount; ++i) {
        positionX[i] += velocityX[i];
        positionZ[i] += velocityZ[i];
        // The pull grows with the square of the age before this frame's step.
        positionY[i] = positionY[i] + velocityY[i] -
                       0.002f * static_cast<float>(age[i]) * static_cast<float>(age[i]);
        age[i] += 1;
    }
}

int SparkEffect::draw(GraphicsDevice& device) const {
    return draw(device, positionX, positionY, positionZ);
}

int SparkEffect::draw(GraphicsDevice& device, const float* x, const float* y,
                      const float* z) const {
    device.setTransform(TransformState::World, matrixTranslation(0.0f, 0.0f, 20.0f));

    if (!vertexBuffer)
        return 1;
    auto* vertices = static_cast<PointVertex*>(vertexBuffer->lock());
    if (!vertices)
        return 1;
    for (int i = 0; i < SparkCount; ++i) {
        vertices[i].x = x[i];
        vertices[i].y = y[i];
        vertices[i].z = z[i];
        vertices[i].colour = sparkColour(age[i]);
    }
    vertexBuffer->unlock();

    setPointSpriteStates(device, texture.get(), kSparkPointSize);
    device.setStreamSource(0, vertexBuffer.get(), sizeof(PointVertex));
    device.setVertexFormat(kFvfPointSprite);
    device.drawPointList(0, SparkCount);
    restorePointSpriteStates(device);
    return 1;
}

void SparkEffect::release() {
    texture.reset();
    vertexBuffer.reset();
}
