// In-memory pictures of the media generator: 32-bit 0xAARRGGBB pixels, rows from the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A colour with straight (not premultiplied) alpha, each channel 0..1.
struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Image() = default;
    Image(int w, int h, uint32_t fill = 0)
        : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}

    uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Rounds each channel to 8 bits; out-of-range values are clamped.
uint32_t packArgb(Colour c);
Colour unpackArgb(uint32_t argb);

// Straight-alpha "over": top drawn over bottom.
Colour over(Colour top, Colour bottom);
Colour mix(Colour a, Colour b, float t);
Colour scaled(Colour c, float k);  // rgb times k, alpha kept
