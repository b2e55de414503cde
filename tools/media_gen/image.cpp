// Colour packing and compositing for the generator's pictures.
#include "image.h"

#include <algorithm>
#include <cmath>

namespace {

uint32_t toByte(float v) {
    float c = std::clamp(v, 0.0f, 1.0f);
    return static_cast<uint32_t>(std::lround(c * 255.0f));
}

}  // namespace

uint32_t packArgb(Colour c) {
    return (toByte(c.a) << 24) | (toByte(c.r) << 16) | (toByte(c.g) << 8) | toByte(c.b);
}

Colour unpackArgb(uint32_t argb) {
    return {((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
            (argb >> 24) / 255.0f};
}

Colour over(Colour top, Colour bottom) {
    float a = top.a + bottom.a * (1.0f - top.a);
    if (a <= 0.0f) {
        return {top.r, top.g, top.b, 0.0f};
    }
    float wb = bottom.a * (1.0f - top.a);
    return {(top.r * top.a + bottom.r * wb) / a, (top.g * top.a + bottom.g * wb) / a,
            (top.b * top.a + bottom.b * wb) / a, a};
}

Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

Colour scaled(Colour c, float k) {
    return {c.r * k, c.g * k, c.b * k, c.a};
}
