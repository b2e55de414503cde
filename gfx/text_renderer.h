// Text as pictures: a line of UTF-8 rasterised at a pixel size by the platform's fonts, for the
// device to draw as a texture. platform/ implements it with SDL2_ttf; tests fake it.
#pragma once

#include <string>

#include "gfx/graphics_device.h"

class TextRenderer {
  public:
    virtual ~TextRenderer() = default;
    // One line of white text on a transparent picture (alpha = coverage), `pixelSize` pixels
    // high as a font size. False when no font can draw it; `out` is then left empty.
    virtual bool render(const std::string& utf8, int pixelSize, Image& out) = 0;
};
