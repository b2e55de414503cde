// A text renderer without fonts: a picture half the pixel size wide per byte and the pixel size
// high, and a log of what it was asked to draw.
#pragma once

#include <string>
#include <vector>

#include "gfx/text_renderer.h"

class FakeTextRenderer : public TextRenderer {
  public:
    bool render(const std::string& utf8, int pixelSize, Image& out) override;

    std::vector<std::string> asked;  // every line, in order
    bool noFont = false;             // fail as without any font
};
