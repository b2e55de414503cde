// A clear and one sprite over it (the background behind the scene) are kept once they come twice
// in a row and copied back while they keep coming: every frame must show exactly the pixels of
// drawing them, and anything that changes what they show must draw them anew.
#include "gfx/primitive_meshes.h"
#include "tests/gl/gl_test_support.h"

namespace {

// A picture like the game's background: its top half transparent, a ragged half-transparent
// edge, and an opaque, busy bottom half.
Image backgroundImage() {
    return argbImage(256, 256, [](uint32_t x, uint32_t y) {
        const uint32_t edge = 100 + (x * 7) % 23;
        const uint32_t alpha = y < edge ? 0 : y < edge + 8 ? 40 + (y - edge) * 25 : 0xFF;
        return alpha << 24 | ((x * 5) & 0xFF) << 16 | ((y * 3 + x) & 0xFF) << 8 | (x ^ y);
    });
}

class GlLayerTest : public GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        setGameView();
        setGameLight();
        sprite = dev->createSprite();
        texture = dev->createTexture(backgroundImage());
        ASSERT_TRUE(sprite && texture);
        square = wall(10, 4);
        ASSERT_TRUE(square);
    }

    struct Frame {
        uint32_t sky = 0xFF7FEFFA;
        float angle = 0;
        uint32_t colour = 0xFDFFFFFF;  // the faded-in background's alpha, 253
        Vec2 move{-20, 150};
        bool meshFirst = false;
    };

    // One frame as the game draws it: the clear, the background sprite, a lit mesh over it.
    std::vector<uint32_t> drawFrame(const Frame& f) {
        dev->clear(kClearTarget | kClearZBuffer, f.sky, 1, 0);
        dev->beginScene();
        if (f.meshFirst)
            drawMesh();
        Vec2 centre{128, 200};
        EXPECT_TRUE(
            sprite->draw(texture.get(), nullptr, nullptr, &centre, f.angle, &f.move, f.colour));
        drawMesh();
        dev->endScene();
        std::vector<uint32_t> picture;
        EXPECT_TRUE(dev->readBackBuffer(picture));
        EXPECT_TRUE(dev->present());
        return picture;
    }
    void drawMesh() {
        dev->setTransform(TransformState::World, matrixTranslation(0, 0, 0));
        setSolidMaterial(0.2f, 0.6f, 0.9f);
        EXPECT_TRUE(square->drawSubset(0));
    }
    // The frames drawn in turn with reuse on: each must equal the same frame drawn with reuse
    // off. Returns how many were copied back.
    uint64_t copiesIn(const std::vector<Frame>& frames) {
        std::vector<std::vector<uint32_t>> drawn;
        dev->setLayerReuse(false);
        for (const Frame& f : frames) drawn.push_back(drawFrame(f));
        dev->setLayerReuse(true);
        const uint64_t before = dev->reusedLayers();
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_TRUE(drawFrame(frames[i]) == drawn[i]) << "frame " << i << " is not as drawn";
        return dev->reusedLayers() - before;
    }

    std::unique_ptr<Sprite> sprite;
    std::unique_ptr<Texture> texture;
    std::unique_ptr<Mesh> square;
};

TEST_F(GlLayerTest, TheSameClearAndSpriteAreCopiedBackWithTheDrawnPixels) {
    Frame f;
    // The first two draw (the second also keeps the picture); the rest are copies.
    EXPECT_EQ(copiesIn({f, f, f, f, f}), 3u);
    // The sky shows through the transparent half and the ragged edge, the mesh over it all.
    const std::vector<uint32_t> picture = drawFrame(f);
    EXPECT_TRUE(colourNear(picture[10 * 640 + 10], 0x7F, 0xEF, 0xFA, 0));
    EXPECT_NE(picture[400 * 640 + 20], picture[10 * 640 + 10]);
}

TEST_F(GlLayerTest, AnythingThatChangesThePictureDrawsItAnew) {
    Frame base;
    Frame sky = base;
    sky.sky = 0xFF8AE4FA;
    Frame turned = base;
    turned.angle = 0.05f;
    Frame faded = base;
    faded.colour = 0x80FFFFFF;
    Frame moved = base;
    moved.move = {-21, 150};
    // Each change comes after the kept picture: drawn twice, then copied.
    for (const Frame& changed : {sky, turned, faded, moved})
        EXPECT_EQ(copiesIn({base, base, base, changed, changed, changed}), 2u);

    // Something drawn before the sprite: the back buffer holds more than the clear.
    Frame meshFirst = base;
    meshFirst.meshFirst = true;
    EXPECT_EQ(copiesIn({base, base, meshFirst, meshFirst, meshFirst}), 0u);

    // Changing every frame: never kept, never copied.
    std::vector<Frame> turning(5, base);
    for (size_t i = 0; i < turning.size(); ++i) turning[i].angle = 0.01f * static_cast<float>(i);
    EXPECT_EQ(copiesIn(turning), 0u);
}

TEST_F(GlLayerTest, ANewTextureIsNeverShownTheKeptPicture) {
    Frame f;
    drawFrame(f);
    drawFrame(f);
    // Another texture, possibly at the freed one's address, with other texels.
    texture.reset();
    texture = dev->createTexture(argbImage(
        256, 256, [](uint32_t x, uint32_t) { return x < 128 ? 0xFFFF0000u : 0xFF0000FFu; }));
    ASSERT_TRUE(texture);
    const uint64_t before = dev->reusedLayers();
    const std::vector<uint32_t> picture = drawFrame(f);
    EXPECT_EQ(dev->reusedLayers(), before);
    EXPECT_TRUE(colourNear(picture[400 * 640 + 20], 0xFF, 0, 0, 3));
}

}  // namespace
