// The spark spray of a bump: 75 textured point sprites flying out ahead of the plane.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/graphics_device.h"

constexpr int SparkCount = 75;

class SparkEffect {
  public:
    virtual ~SparkEffect() = default;
    int create(GraphicsDevice& device);
    void reset();
    // One step of the spray: every spark moves, falls and ages.
    void advance();
    int draw(GraphicsDevice& device) const;
    // Draws the sparks at the given positions (a frame between two steps), coloured by age.
    int draw(GraphicsDevice& device, const float* x, const float* y, const float* z) const;
    void release();

    std::unique_ptr<Texture> texture;
    std::unique_ptr<VertexBuffer> vertexBuffer;
    float velocityX[SparkCount] = {}, velocityY[SparkCount] = {}, velocityZ[SparkCount] = {};
    float positionX[SparkCount] = {}, positionY[SparkCount] = {}, positionZ[SparkCount] = {};
    uint32_t age[SparkCount] = {};
};

// The point-sprite states both effects set while they draw, and set back afterwards.
void setPointSpriteStates(GraphicsDevice& device, Texture* texture, float pointSize);
void restorePointSpriteStates(GraphicsDevice& device);
