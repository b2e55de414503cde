// The digit display: a number drawn as five digits, leading zeros included, with glyphs cut from
// the digit picture.
#include "hud/digit_display.h"

#include "app/messages.h"
#include "gfx/texture_file.h"

namespace {

constexpr const char* kDigitFile = "media/digit.dds";
constexpr uint32_t kLargestValue = 99999;
constexpr int kDigitCount = 5;

}  // namespace

bool DigitDisplay::create(GraphicsDevice& device) {
    texture = createTextureFromFile(device, kDigitFile);
    if (!texture) {
        showMessage("数字画像の読み込みに失敗しました");
        return false;
    }
    sprite = device.createSprite();
    return sprite != nullptr;
}

void DigitDisplay::release() {
    texture.reset();
    sprite.reset();
}

void DigitDisplay::splitDigits() {
    uint32_t divisor = 10000;
    uint32_t v = value;
    for (int i = 0; i < kDigitCount; ++i) {
        digits[i] = v / divisor;
        v %= divisor;
        divisor /= 10;
    }
}

Rect DigitDisplay::glyphRect(uint32_t d) {
    // The glyphs stand 46.5 rows apart; the top is truncated to a whole row.
    int32_t top = static_cast<int32_t>(46.5f * static_cast<float>(d));
    return Rect{0, top, 31, top + 36};
}

bool DigitDisplay::draw(GraphicsDevice& /*device*/, float atX, float atY, uint32_t newValue,
                        uint32_t newColour, float newScale) {
    if (newValue > kLargestValue)
        return false;
    scale = newScale;
    value = newValue;
    colour = newColour;
    x = atX;
    y = atY;
    splitDigits();
    if (!sprite || !texture)
        return false;

    const Vec2 scaling{scale, scale};
    const Vec2 centre{16, 16};
    for (int i = 0; i < kDigitCount; ++i) {
        // Cells 16 x scale apart: narrower than a 31-pixel glyph cell, so neighbours overlap.
        const Rect source = glyphRect(digits[i]);
        const Vec2 at{x + static_cast<float>(i) * 16.0f * scale, y};
        if (!sprite->draw(texture.get(), &source, &scaling, &centre, 0.0f, &at, colour))
            return false;
    }
    return true;
}
