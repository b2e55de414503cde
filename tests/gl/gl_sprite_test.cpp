// Screen-space sprites (placement by the documented rules, colour, blending, the 3D states left
// alone) and the texture formats they show.
#include "tests/gl/gl_test_support.h"

namespace {

uint32_t texelColour(uint32_t x, uint32_t y) {
    return 0xFF000000u | (x * 30 + 10) << 16 | (y * 30 + 10) << 8 | 0x40;
}

// A picture of `cells` x `cells` squares of `side` texels, each square in its own colour.
Image cellImage(uint32_t cells, uint32_t side) {
    return argbImage(cells * side, cells * side,
                     [side](uint32_t x, uint32_t y) { return texelColour(x / side, y / side); });
}

::testing::AssertionResult isCell(uint32_t pixel, uint32_t cx, uint32_t cy) {
    uint32_t c = texelColour(cx, cy);
    return colourNear(pixel, redOf(c), greenOf(c), blueOf(c), 1);
}

class GlSpriteTest : public GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        sprite = dev->createSprite();
        ASSERT_TRUE(sprite);
        dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    }
    bool draw(Texture* t, const Rect* source, const Vec2* scaling, const Vec2* centre,
              float rotation, const Vec2* translation, uint32_t colour = 0xFFFFFFFF) {
        dev->beginScene();
        sprite->begin();
        bool ok = sprite->draw(t, source, scaling, centre, rotation, translation, colour);
        sprite->end();
        dev->endScene();
        return ok;
    }
    std::unique_ptr<Sprite> sprite;
};

TEST_F(GlSpriteTest, UnscaledDrawPutsEachTexelOnOnePixel) {
    auto texture = dev->createTexture(argbImage(8, 8, texelColour));
    ASSERT_TRUE(texture);
    Vec2 move{100, 50};
    ASSERT_TRUE(draw(texture.get(), nullptr, nullptr, nullptr, 0, &move));
    grab();
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            ASSERT_TRUE(isCell(at(100 + x, 50 + y), x, y)) << x << "," << y;
    EXPECT_EQ(at(99, 50), 0xFF000000u);
    EXPECT_EQ(at(108, 57), 0xFF000000u);
    EXPECT_EQ(at(100, 58), 0xFF000000u);

    // A source rectangle: texels 2..5 by 3..6, its own top-left on the translation.
    Rect glyph{2, 3, 6, 7};
    Vec2 there{10, 20};
    dev->clear(kClearTarget, 0, 1, 0);
    ASSERT_TRUE(draw(texture.get(), &glyph, nullptr, nullptr, 0, &there));
    grab();
    EXPECT_TRUE(isCell(at(10, 20), 2, 3));
    EXPECT_TRUE(isCell(at(13, 23), 5, 6));
    EXPECT_EQ(at(14, 20), 0xFF000000u);
    EXPECT_EQ(at(10, 24), 0xFF000000u);
}

TEST_F(GlSpriteTest, ScalingRotationAndTranslationFollowTheMappingRule) {
    // 4 x 4 cells of 4 texels; checks at cell centres, clear of the filtered seams.
    auto texture = dev->createTexture(cellImage(4, 4));
    ASSERT_TRUE(texture);
    const Vec2 scale{2, 3}, centre{8, 12}, move{200, 100};
    const float rotation = 1.5707964f;
    ASSERT_TRUE(draw(texture.get(), nullptr, &scale, &centre, rotation, &move));
    grab();
    // q = p * scaling; q' = centre + R(-rotation)(q - centre); screen = q' + translation, with
    // R(-pi/2) taking (x, y) to (y, -x): the picture turns counter-clockwise on the screen.
    for (uint32_t cy = 0; cy < 4; ++cy)
        for (uint32_t cx = 0; cx < 4; ++cx) {
            float qx = (cx * 4 + 2) * scale.x, qy = (cy * 4 + 2) * scale.y;
            float sx = centre.x + (qy - centre.y) + move.x;
            float sy = centre.y - (qx - centre.x) + move.y;
            EXPECT_TRUE(isCell(at(int(sx), int(sy)), cx, cy)) << cx << "," << cy;
        }
    // The top-left cell ends up bottom-left: pixels x 196..207, y 112..119.
    EXPECT_TRUE(isCell(at(202, 116), 0, 0));
    EXPECT_TRUE(isCell(at(202, 92), 3, 0));  // its right neighbours climb the screen
}

TEST_F(GlSpriteTest, BackgroundTurnsAboutItsPointAtTheScreensPoint) {
    // The background's draw: centre (420, 480), translation (-100, -270); texel (420, 480)
    // lands on (320, 210) and (u, v) on (320, 210) + R(beta)(u - 420, v - 480), beta = -angle.
    auto texture = dev->createTexture(cellImage(21, 40));  // 840 x 840 texels
    ASSERT_TRUE(texture);
    const Vec2 centre{420, 480}, move{-100, -270};
    for (float angle : {0.0f, -0.3f, 0.5f}) {
        dev->clear(kClearTarget, 0, 1, 0);
        ASSERT_TRUE(draw(texture.get(), nullptr, nullptr, &centre, angle, &move, 0xFFFFFFFF));
        grab();
        const float b = -angle;
        // Texels inside their cells, all within 190 pixels of the turning point.
        for (auto [u, v] :
             {std::pair{450.0f, 500.0f}, {300.0f, 380.0f}, {580.0f, 380.0f}, {300.0f, 620.0f}}) {
            float du = u - 420, dv = v - 480;
            float x = 320 + du * std::cos(b) - dv * std::sin(b);
            float y = 210 + du * std::sin(b) + dv * std::cos(b);
            EXPECT_TRUE(isCell(at(int(x), int(y)), uint32_t(u) / 40, uint32_t(v) / 40))
                << "angle " << angle << " texel " << u << "," << v;
        }
    }
    // Unturned, the top-left pixel shows texel (100, 270).
    dev->clear(kClearTarget, 0, 1, 0);
    ASSERT_TRUE(draw(texture.get(), nullptr, nullptr, &centre, 0, &move));
    grab();
    EXPECT_TRUE(isCell(at(0, 0), 100 / 40, 270 / 40));
}

TEST_F(GlSpriteTest, DrawTransformCarriesTheCornersByTheMatrix) {
    auto texture = dev->createTexture(cellImage(4, 4));
    ASSERT_TRUE(texture);
    dev->beginScene();
    ASSERT_TRUE(sprite->drawTransform(
        texture.get(), nullptr, matrixScaling(2, 3, 1) * matrixTranslation(10, 20, 0), 0xFFFFFFFF));
    dev->endScene();
    grab();
    for (uint32_t cy = 0; cy < 4; ++cy)
        for (uint32_t cx = 0; cx < 4; ++cx)
            EXPECT_TRUE(isCell(at(10 + (cx * 4 + 2) * 2, 20 + (cy * 4 + 2) * 3), cx, cy));
    EXPECT_EQ(at(9, 30), 0xFF000000u);
    EXPECT_EQ(at(42, 30), 0xFF000000u);

    // The arrow's transform: centred at (320, 442), laid back 70 degrees so its 64 rows
    // shrink to 64 cos 70 = 21.9 on the screen, from y 431.06 to 452.94.
    auto arrow = dev->createTexture(cellImage(4, 16));
    ASSERT_TRUE(arrow);
    for (float bearing : {0.0f, 1.5707964f}) {
        Matrix m = matrixTranslation(-32, -32, 0) * matrixRotationZ(-bearing) *
                   matrixRotationX(1.2217305f) * matrixTranslation(320, 442, 32);
        dev->clear(kClearTarget, 0, 1, 0);
        dev->beginScene();
        ASSERT_TRUE(sprite->drawTransform(arrow.get(), nullptr, m, 0xFFFFFFFF));
        dev->endScene();
        grab();
        for (auto [u, v] : {std::pair{8.0f, 8.0f}, {56.0f, 24.0f}, {40.0f, 56.0f}}) {
            Vec3 p = transformCoord({u, v, 0}, m);
            EXPECT_TRUE(isCell(at(int(p.x), int(p.y)), uint32_t(u) / 16, uint32_t(v) / 16))
                << "bearing " << bearing << " texel " << u << "," << v;
        }
        if (bearing == 0) {
            EXPECT_EQ(at(320, 430), 0xFF000000u);
            EXPECT_NE(at(320, 432), 0xFF000000u);
            EXPECT_NE(at(320, 452), 0xFF000000u);
            EXPECT_EQ(at(320, 453), 0xFF000000u);
        }
    }
}

TEST_F(GlSpriteTest, ColourModulatesAndBothAlphasBlend) {
    auto texture = dev->createTexture(argbImage(4, 4, [](auto, auto) { return 0x80FFFFFFu; }));
    ASSERT_TRUE(texture);
    dev->clear(kClearTarget, 0x000000FF, 1, 0);
    Vec2 move{10, 10};
    ASSERT_TRUE(draw(texture.get(), nullptr, nullptr, nullptr, 0, &move, 0x80FF0000));
    grab();
    // Red at opacity 0.502 x 0.502 = 0.252 over blue.
    EXPECT_TRUE(colourNear(at(11, 11), 64, 0, 191, 1));
    EXPECT_EQ(at(11, 11) >> 24, 0xFFu) << "the picture stays opaque";
    // The background's fade: alpha byte 0 draws nothing.
    ASSERT_TRUE(draw(texture.get(), nullptr, nullptr, nullptr, 0, &move, 0x00FFFFFF));
    grab();
    EXPECT_TRUE(colourNear(at(11, 11), 64, 0, 191, 0));
}

TEST_F(GlSpriteTest, SpritesIgnoreAndKeepThe3DStates) {
    setGameView();  // fog, lighting, culling, depth all on
    auto red = dev->createTexture(argbImage(1, 1, [](auto, auto) { return 0xFFFF0000u; }));
    auto blue = dev->createTexture(argbImage(1, 1, [](auto, auto) { return 0xFF0000FFu; }));
    ASSERT_TRUE(red && blue);
    // The near wall sits just beyond the near plane (distance 0.08, depth 0.375), nearer than
    // anything a depth-tested sprite could pass; it covers pixels about 213..427.
    auto nearWall = wall(-19.92f, 0.03f), farWall = wall(60, 200), backWall = wall(40, 60);
    ASSERT_TRUE(nearWall && farWall && backWall);
    // Back wall: the same square wound the other way, so it is culled under CullCW.
    MeshData flipped = backWall->data();
    for (size_t i = 0; i < flipped.indices.size(); i += 3)
        std::swap(flipped.indices[i + 1], flipped.indices[i + 2]);
    auto culled = dev->createMesh(flipped);
    ASSERT_TRUE(culled);

    setSolidMaterial(1, 1, 1);
    Vec2 scale{100, 100}, move{270, 190};  // pixels 270..369 x 190..289
    dev->beginScene();
    nearWall->drawSubset(0);  // untextured white
    dev->setTexture(0, blue.get());
    // Drawn over the nearer wall (no depth test), unlit and unfogged: pure red.
    EXPECT_TRUE(sprite->draw(red.get(), nullptr, &scale, nullptr, 0, &move, 0xFFFFFFFF));
    // After it: the near wall's depth still hides the far wall, stage 0 still holds the blue
    // texture, and the back-facing wall (green, which would turn blue black) is still culled.
    farWall->drawSubset(0);
    setSolidMaterial(0, 1, 0);
    culled->drawSubset(0);
    dev->endScene();
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(at(240, 240), 255, 255, 255, 1));
    for (auto [x, y] : {std::pair{20, 20}, {100, 240}}) {
        uint32_t far = at(x, y);  // blue, slightly fogged
        EXPECT_LT(redOf(far), 10) << x << "," << y;
        EXPECT_GT(blueOf(far), 245) << x << "," << y;
    }
    setSolidMaterial(1, 1, 1);

    // The sprite wrote no depth: a wall drawn later behind it covers it where nothing nearer is.
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    dev->beginScene();
    sprite->draw(red.get(), nullptr, &scale, nullptr, 0, &move, 0xFFFFFFFF);
    farWall->drawSubset(0);
    dev->endScene();
    grab();
    EXPECT_GT(blueOf(at(320, 240)), 245);
}

TEST_F(GlSpriteTest, UnusableArgumentsAreRefused) {
    auto texture = dev->createTexture(argbImage(4, 4, [](auto, auto) { return ~0u; }));
    ASSERT_TRUE(texture);
    dev->beginScene();
    EXPECT_FALSE(sprite->draw(nullptr, nullptr, nullptr, nullptr, 0, nullptr, ~0u));
    Rect empty{2, 2, 2, 3}, inverted{3, 0, 1, 2};
    EXPECT_FALSE(sprite->draw(texture.get(), &empty, nullptr, nullptr, 0, nullptr, ~0u));
    EXPECT_FALSE(sprite->drawTransform(texture.get(), &inverted, Matrix{}, ~0u));
    struct Foreign : Texture {
        uint32_t width() const override { return 4; }
        uint32_t height() const override { return 4; }
    } foreign;
    EXPECT_FALSE(sprite->draw(&foreign, nullptr, nullptr, nullptr, 0, nullptr, ~0u));
    EXPECT_FALSE(dev->setTexture(0, &foreign));
    // The digits draw without begin(); begin and end pair.
    EXPECT_TRUE(sprite->draw(texture.get(), nullptr, nullptr, nullptr, 0, nullptr, ~0u));
    EXPECT_FALSE(sprite->end());
    EXPECT_TRUE(sprite->begin());
    EXPECT_FALSE(sprite->begin());
    EXPECT_TRUE(sprite->end());
    dev->endScene();
    EXPECT_FALSE(sprite->draw(texture.get(), nullptr, nullptr, nullptr, 0, nullptr, ~0u))
        << "outside a scene";
}

// ---- Texture formats ----

Image dxtImage(PixelFormat format, uint32_t w, uint32_t h, std::vector<uint8_t> block) {
    Image image;
    image.width = w;
    image.height = h;
    image.format = format;
    image.data = std::move(block);
    return image;
}

// Colour block: colour 0 red (0xF800), colour 1 blue (0x001F), rows of indices 0, 1, 2, 3.
const std::vector<uint8_t> kRedBlueRows = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF};

class GlTextureTest : public GlSpriteTest {
  protected:
    // The texture unscaled at (0, 0); the picture's first four rows at x = 1.
    std::vector<uint32_t> firstColumn(const Image& image) {
        auto texture = dev->createTexture(image);
        EXPECT_TRUE(texture);
        if (!texture)
            return {};
        dev->clear(kClearTarget, 0x0000FF00, 1, 0);
        Vec2 origin{0, 0};
        draw(texture.get(), nullptr, nullptr, nullptr, 0, &origin);
        grab();
        return {at(1, 0), at(1, 1), at(1, 2), at(1, 3)};
    }
};

TEST_F(GlTextureTest, Argb8888IsBlueGreenRedAlphaInMemoryTopRowFirst) {
    Image image =
        argbImage(2, 2, [](auto, uint32_t y) { return y == 0 ? 0xFF302010u : 0xFFA0B0C0u; });
    EXPECT_EQ(image.data[0], 0x10);  // blue first
    auto texture = dev->createTexture(image);
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->width(), 2u);
    Vec2 origin{0, 0};
    ASSERT_TRUE(draw(texture.get(), nullptr, nullptr, nullptr, 0, &origin));
    grab();
    EXPECT_EQ(at(0, 0), 0xFF302010u);
    EXPECT_EQ(at(1, 1), 0xFFA0B0C0u);
}

TEST_F(GlTextureTest, Dxt1BlocksDecodeTopRowFirstWithTransparentBlack) {
    auto rows = firstColumn(dxtImage(PixelFormat::Dxt1, 4, 4, kRedBlueRows));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(colourNear(rows[0], 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(rows[1], 0, 0, 255, 0));
    EXPECT_TRUE(colourNear(rows[2], 170, 0, 85, 2));
    EXPECT_TRUE(colourNear(rows[3], 85, 0, 170, 2));
    // Colour 0 <= colour 1: index 3 is transparent, the green background shows.
    rows = firstColumn(
        dxtImage(PixelFormat::Dxt1, 4, 4, {0x1F, 0x00, 0x00, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF}));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(colourNear(rows[0], 0, 255, 0, 0));
}

TEST_F(GlTextureTest, Dxt3AndDxt5CarryTheirAlpha) {
    // DXT3: four bits a texel; rows opaque, clear, opaque, clear.
    std::vector<uint8_t> dxt3 = {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
    dxt3.insert(dxt3.end(), kRedBlueRows.begin(), kRedBlueRows.end());
    auto rows = firstColumn(dxtImage(PixelFormat::Dxt3, 4, 4, dxt3));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(colourNear(rows[0], 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(rows[1], 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(rows[2], 170, 0, 85, 2));
    // DXT5: alpha 255 and 0, index 0 everywhere but the second row's index 1 (bits 12..21).
    std::vector<uint8_t> dxt5 = {0xFF, 0x00, 0x00, 0x90, 0x24, 0x00, 0x00, 0x00};
    dxt5.insert(dxt5.end(), kRedBlueRows.begin(), kRedBlueRows.end());
    rows = firstColumn(dxtImage(PixelFormat::Dxt5, 4, 4, dxt5));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(colourNear(rows[0], 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(rows[1], 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(rows[3], 85, 0, 170, 2));
}

TEST_F(GlTextureTest, ShortOrImpossiblePixelDataIsRefused) {
    EXPECT_EQ(dev->createTexture(Image{}), nullptr);
    Image argb = argbImage(4, 4, [](auto, auto) { return ~0u; });
    argb.data.pop_back();
    EXPECT_EQ(dev->createTexture(argb), nullptr);
    // 6 x 5 needs 2 x 2 blocks of 8 bytes.
    EXPECT_EQ(dev->createTexture(dxtImage(PixelFormat::Dxt1, 6, 5, std::vector<uint8_t>(31))),
              nullptr);
    EXPECT_NE(dev->createTexture(dxtImage(PixelFormat::Dxt1, 6, 5, std::vector<uint8_t>(32))),
              nullptr);
    EXPECT_EQ(dev->createTexture(dxtImage(PixelFormat::Dxt5, 4, 4, std::vector<uint8_t>(8))),
              nullptr);
    // A hostile header's size with no data behind it: refused before any allocation.
    Image huge;
    huge.width = 0x7FFFFFFF;
    huge.height = 0x7FFFFFFF;
    EXPECT_EQ(dev->createTexture(huge), nullptr);
    huge.width = huge.height = static_cast<uint32_t>(dev->maxTextureSize());
    EXPECT_EQ(dev->createTexture(huge), nullptr);
}

}  // namespace
