// Text pictures from SDL2_ttf: blended (anti-aliased) white glyphs, converted to the device's
// 0xAARRGGBB pixels.
#include "platform/ttf_text_renderer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/status_painter.h"

namespace {

constexpr int kSmallestPixels = 6;
constexpr int kLargestPixels = 256;

}  // namespace

TtfTextRenderer::~TtfTextRenderer() {
    if (font_)
        TTF_CloseFont(font_);
    if (ttfStarted_)
        TTF_Quit();
}

bool TtfTextRenderer::openFont(int pixelSize) {
    if (failed_)
        return false;
    if (font_) {
        if (pixelSize == fontPixels_)
            return true;
        if (TTF_SetFontSize(font_, pixelSize) == 0) {
            fontPixels_ = pixelSize;
            return true;
        }
        TTF_CloseFont(font_);
        font_ = nullptr;
    }
    if (!ttfStarted_) {
        if (TTF_Init() != 0) {
            std::fprintf(stderr, "Dravik: SDL_ttf does not start (%s); no words on screen\n",
                         TTF_GetError());
            failed_ = true;
            return false;
        }
        ttfStarted_ = true;
    }
    for (const std::string& file : statusFontFiles()) {
        font_ = TTF_OpenFont(file.c_str(), pixelSize);
        if (font_) {
            fontPixels_ = pixelSize;
            return true;
        }
    }
    std::fprintf(stderr, "Dravik: no font for the words on screen (install fonts-dejavu-core)\n");
    failed_ = true;
    return false;
}

bool TtfTextRenderer::render(const std::string& utf8, int pixelSize, Image& out) {
    out = Image{};
    if (utf8.empty())
        return false;
    if (!openFont(std::clamp(pixelSize, kSmallestPixels, kLargestPixels)))
        return false;
    SDL_Surface* glyphs =
        TTF_RenderUTF8_Blended(font_, utf8.c_str(), SDL_Color{255, 255, 255, 255});
    if (!glyphs)
        return false;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(glyphs, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(glyphs);
    if (!argb)
        return false;
    out.width = static_cast<uint32_t>(argb->w);
    out.height = static_cast<uint32_t>(argb->h);
    out.format = PixelFormat::Argb8888;
    out.data.resize(size_t(out.width) * out.height * 4);
    SDL_LockSurface(argb);
    for (uint32_t y = 0; y < out.height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(argb->pixels) + size_t(y) * argb->pitch;
        std::memcpy(&out.data[size_t(y) * out.width * 4], row, size_t(out.width) * 4);
    }
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return true;
}
