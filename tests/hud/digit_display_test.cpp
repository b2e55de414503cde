// The time digits: where each of the five digits lands, which glyph it shows, what is refused.
#include "hud/digit_display.h"

#include <gtest/gtest.h>

#include "hud/picture_fixtures.h"

namespace {

class DigitDisplayTest : public PictureTest {
  protected:
    void SetUp() override {
        PictureTest::SetUp();
        digits.texture = device->createTexture(Image{32, 512, PixelFormat::Argb8888, {}});
        digits.sprite = device->createSprite();
        device->reset();
    }
    std::vector<DeviceCall> draws() const { return device->callsOf("SpriteDraw"); }

    DigitDisplay digits;
};

std::vector<float> xPositions(const std::vector<DeviceCall>& calls) {
    std::vector<float> xs;
    for (const auto& c : calls) xs.push_back(c.translation.x);
    return xs;
}

std::vector<int32_t> glyphTops(const std::vector<DeviceCall>& calls) {
    std::vector<int32_t> tops;
    for (const auto& c : calls) tops.push_back(c.source.top);
    return tops;
}

TEST_F(DigitDisplayTest, SmallFormStandsEightPixelsApartAndLargeFormSixteen) {
    ASSERT_TRUE(digits.draw(*device, 595, 5, 123, 0xFF0000FF, 0.5f));
    EXPECT_EQ(xPositions(draws()), (std::vector<float>{595, 603, 611, 619, 627}));
    for (const auto& c : draws()) {
        EXPECT_FLOAT_EQ(c.translation.y, 5);
        EXPECT_FLOAT_EQ(c.scaling.x, 0.5f);
        EXPECT_FLOAT_EQ(c.scaling.y, 0.5f);
        EXPECT_FLOAT_EQ(c.centre.x, 16);
        EXPECT_FLOAT_EQ(c.centre.y, 16);
        EXPECT_FLOAT_EQ(c.rotation, 0);
        EXPECT_EQ(c.colour, 0xFF0000FFu);
        EXPECT_EQ(c.object, digits.texture.get());
    }

    device->reset();
    ASSERT_TRUE(digits.draw(*device, 555, 10, 123, 0xFFFF0000, 1.0f));
    EXPECT_EQ(xPositions(draws()), (std::vector<float>{555, 571, 587, 603, 619}));
    EXPECT_EQ(draws()[0].colour, 0xFFFF0000u);
}

TEST_F(DigitDisplayTest, GlyphRectanglesStepByHalfRowsTruncated) {
    const int32_t tops[10] = {0, 46, 93, 139, 186, 232, 279, 325, 372, 418};
    for (uint32_t d = 0; d < 10; ++d) {
        Rect r = DigitDisplay::glyphRect(d);
        EXPECT_EQ(r.left, 0) << d;
        EXPECT_EQ(r.right, 31) << d;
        EXPECT_EQ(r.top, tops[d]) << d;
        EXPECT_EQ(r.bottom, tops[d] + 36) << d;
    }
    EXPECT_EQ(DigitDisplay::glyphRect(9).top, 418);
    EXPECT_EQ(DigitDisplay::glyphRect(9).bottom, 454);
}

TEST_F(DigitDisplayTest, NumbersShowWithLeadingZeros) {
    ASSERT_TRUE(digits.draw(*device, 0, 0, 0, 0xFFFFFFFF, 1));
    EXPECT_EQ(glyphTops(draws()), (std::vector<int32_t>{0, 0, 0, 0, 0}));

    device->reset();
    ASSERT_TRUE(digits.draw(*device, 0, 0, 7, 0xFFFFFFFF, 1));
    EXPECT_EQ(glyphTops(draws()), (std::vector<int32_t>{0, 0, 0, 0, 325}));

    device->reset();
    ASSERT_TRUE(digits.draw(*device, 0, 0, 99999, 0xFFFFFFFF, 1));
    EXPECT_EQ(glyphTops(draws()), (std::vector<int32_t>{418, 418, 418, 418, 418}));

    device->reset();
    ASSERT_TRUE(digits.draw(*device, 0, 0, 40213, 0xFFFFFFFF, 1));
    EXPECT_EQ(glyphTops(draws()), (std::vector<int32_t>{186, 0, 93, 46, 139}));
    EXPECT_EQ(digits.value, 40213u);
    EXPECT_EQ(std::vector<uint32_t>(digits.digits, digits.digits + 5),
              (std::vector<uint32_t>{4, 0, 2, 1, 3}));
}

TEST_F(DigitDisplayTest, SixDigitValuesAreRefusedAndLeaveTheLastDrawStanding) {
    ASSERT_TRUE(digits.draw(*device, 595, 5, 4321, 0xFF0000FF, 0.5f));
    device->reset();

    EXPECT_FALSE(digits.draw(*device, 555, 10, 100000, 0xFFFF0000, 1.0f));
    EXPECT_FALSE(digits.draw(*device, 555, 10, 0xFFFFFFFF, 0xFFFF0000, 1.0f));
    EXPECT_TRUE(device->calls.empty());
    EXPECT_EQ(digits.value, 4321u);
    EXPECT_FLOAT_EQ(digits.x, 595);
    EXPECT_FLOAT_EQ(digits.y, 5);
    EXPECT_FLOAT_EQ(digits.scale, 0.5f);
    EXPECT_EQ(digits.colour, 0xFF0000FFu);
}

// A sprite whose draws start failing after a number of successes.
class FailingSprite : public Sprite {
  public:
    explicit FailingSprite(int successes) : successes_(successes) {}
    int drawn = 0;
    bool begin() override { return true; }
    bool end() override { return true; }
    bool draw(Texture*, const Rect*, const Vec2*, const Vec2*, float, const Vec2*,
              uint32_t) override {
        ++drawn;
        return drawn <= successes_;
    }
    bool drawTransform(Texture*, const Rect*, const Matrix&, uint32_t) override { return false; }

  private:
    int successes_;
};

TEST_F(DigitDisplayTest, AFailedGlyphStopsTheRestOfTheNumber) {
    auto failing = std::make_unique<FailingSprite>(2);
    FailingSprite* sprite = failing.get();
    digits.sprite = std::move(failing);
    EXPECT_FALSE(digits.draw(*device, 0, 0, 12345, 0xFFFFFFFF, 1));
    EXPECT_EQ(sprite->drawn, 3);
}

TEST_F(DigitDisplayTest, ClearForgetsTheValueAndReleaseDropsBothHandles) {
    ASSERT_TRUE(digits.draw(*device, 0, 0, 777, 0xFFFFFFFF, 1));
    digits.clear();
    EXPECT_EQ(digits.value, 0u);
    digits.release();
    EXPECT_EQ(digits.texture, nullptr);
    EXPECT_EQ(digits.sprite, nullptr);
    digits.release();
    EXPECT_FALSE(digits.draw(*device, 0, 0, 1, 0xFFFFFFFF, 1));
}

TEST_F(DigitDisplayTest, CreateLoadsThePictureAtItsStoredSize) {
    ScratchDirectory dir;
    writeDds("media/digit.dds", 32, 512, 0xFFFFFFFF);
    DigitDisplay fresh;
    ASSERT_TRUE(fresh.create(*device));
    ASSERT_NE(fresh.texture, nullptr);
    ASSERT_NE(fresh.sprite, nullptr);
    EXPECT_EQ(fresh.texture->width(), 32u);
    EXPECT_EQ(fresh.texture->height(), 512u);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(fresh.value, 0u);
    EXPECT_FLOAT_EQ(fresh.scale, 1.0f);
}

TEST_F(DigitDisplayTest, MissingPictureSaysSoAndFails) {
    ScratchDirectory dir;
    DigitDisplay fresh;
    EXPECT_FALSE(fresh.create(*device));
    ASSERT_EQ(window.messages.size(), 1u);
    // The original's text, then what failed, the file and why.
    EXPECT_EQ(
        window.messages[0],
        "数字画像の読み込みに失敗しました\ncannot read media/digit.dds: No such file or directory");
    EXPECT_EQ(window.captions[0], "Dravik");
    EXPECT_EQ(device->count("CreateSprite"), 0u);
}

}  // namespace
