// The digit display: a number drawn as five digits cut from the digit picture.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/graphics_device.h"

class DigitDisplay {
  public:
    bool create(GraphicsDevice& device);
    bool draw(GraphicsDevice& device, float x, float y, uint32_t value, uint32_t colour,
              float scale);
    void clear() { value = 0; }
    void release();
    void splitDigits();
    // The glyph rectangle of digit d in the picture.
    static Rect glyphRect(uint32_t d);

    uint32_t value = 0;
    uint32_t digits[5] = {};
    std::unique_ptr<Texture> texture;
    std::unique_ptr<Sprite> sprite;
    float x = 0, y = 0;
    uint32_t colour = 0;
    float scale = 1.0f;
};
