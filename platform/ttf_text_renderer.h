// The text renderer on SDL2_ttf with a fontconfig font (the status lines' font).
#pragma once

#include <SDL_ttf.h>

#include "gfx/text_renderer.h"

class TtfTextRenderer : public TextRenderer {
  public:
    TtfTextRenderer() = default;
    ~TtfTextRenderer() override;
    TtfTextRenderer(const TtfTextRenderer&) = delete;
    TtfTextRenderer& operator=(const TtfTextRenderer&) = delete;

    bool render(const std::string& utf8, int pixelSize, Image& out) override;

  private:
    bool openFont(int pixelSize);

    TTF_Font* font_ = nullptr;
    int fontPixels_ = 0;
    bool ttfStarted_ = false;
    bool failed_ = false;  // said once; no further tries
};
