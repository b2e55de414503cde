// The sparkle fountain of the result screen: up to 5000 star sprites rising, drifting and falling.
#pragma once

#include "hud/spark_effect.h"

constexpr int SparkleCount = 5000;

class SparkleEffect : public SparkEffect {
  public:
    int init(GraphicsDevice& device);
    // One step of the first `count` sparkles (at most SparkleCount): they rise, drift, fall and
    // are reborn at the source after their last age.
    void advance(int count);
    int draw(GraphicsDevice& device, float x, float y, float z, int channel, int count) const;
    // The same with the particles at the given positions (a frame between two steps).
    int draw(GraphicsDevice& device, float x, float y, float z, int channel, int count,
             const float* px, const float* py, const float* pz) const;
    // The vertex colour of a particle of age a for the channel.
    static uint32_t colourForAge(uint32_t a, int channel);

    float velocityX[SparkleCount] = {}, velocityY[SparkleCount] = {}, velocityZ[SparkleCount] = {};
    float positionX[SparkleCount] = {}, positionY[SparkleCount] = {}, positionZ[SparkleCount] = {};
    uint32_t age[SparkleCount] = {};
};
