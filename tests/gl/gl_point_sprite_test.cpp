// Point sprites as the spark and sparkle effects draw them: size by distance, texture times
// vertex colour, texture alpha, fog and depth.
#include <cstring>

#include "tests/gl/gl_test_support.h"

namespace {

class GlPointSpriteTest : public GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        setGameView();
        dev->setRenderState(RenderState::FogEnable, 0);
        buffer = dev->createVertexBuffer(4 * sizeof(PointVertex), kFvfPointSprite);
        ASSERT_TRUE(buffer);
        white = dev->createTexture(argbImage(2, 2, [](auto, auto) { return 0xFFFFFFFFu; }));
        ASSERT_TRUE(white);
    }

    // The spark effect's states around its draw.
    void sparkStates(Texture* texture, float size, float sizeMin = 0) {
        dev->setRenderState(RenderState::ZWriteEnable, 0);
        dev->setRenderState(RenderState::CullMode, kCullNone);
        dev->setTexture(0, texture);
        dev->setRenderState(RenderState::Lighting, 0);
        dev->setRenderState(RenderState::PointSpriteEnable, 1);
        dev->setRenderState(RenderState::PointScaleEnable, 1);
        dev->setRenderState(RenderState::PointSize, floatBits(size));
        dev->setRenderState(RenderState::PointSizeMin, floatBits(sizeMin));
        dev->setRenderState(RenderState::PointScaleA, floatBits(0));
        dev->setRenderState(RenderState::PointScaleB, floatBits(0));
        dev->setRenderState(RenderState::PointScaleC, floatBits(1));
    }
    void restoreStates() {
        dev->setRenderState(RenderState::PointSpriteEnable, 0);
        dev->setRenderState(RenderState::PointScaleEnable, 0);
        dev->setTexture(0, nullptr);
        dev->setRenderState(RenderState::Lighting, 1);
        dev->setRenderState(RenderState::CullMode, kCullCW);
        dev->setRenderState(RenderState::ZWriteEnable, 1);
    }

    void fill(std::initializer_list<PointVertex> points) {
        void* p = buffer->lock();
        ASSERT_NE(p, nullptr);
        std::memcpy(p, points.begin(), points.size() * sizeof(PointVertex));
        buffer->unlock();
    }

    // Draws `count` points from `start` with the world at the burst point (0, 0, 20).
    bool drawPoints(uint32_t start = 0, uint32_t count = 1) {
        dev->setTransform(TransformState::World, matrixTranslation(0, 0, 20));
        dev->beginScene();
        dev->setStreamSource(0, buffer.get(), sizeof(PointVertex));
        dev->setVertexFormat(kFvfPointSprite);
        bool ok = dev->drawPointList(start, count);
        dev->endScene();
        return ok;
    }

    // Lit pixels along the row and the column through (x, y).
    std::pair<int, int> extent(int x, int y, uint32_t background) {
        int w = 0, h = 0;
        for (int i = 0; i < 640; ++i) w += at(i, y) != background;
        for (int j = 0; j < 480; ++j) h += at(x, j) != background;
        return {w, h};
    }

    std::unique_ptr<VertexBuffer> buffer;
    std::unique_ptr<Texture> white;
};

TEST_F(GlPointSpriteTest, SideIsViewportHeightTimesSizeOverDistance) {
    sparkStates(white.get(), 4.0f);
    auto sideAt = [&](float z) {
        fill({{0, 0, z, 0x00FF0000, 0, 0}});
        dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
        EXPECT_TRUE(drawPoints());
        grab();
        return extent(320, 240, 0xFF000000);
    };
    // Distance 40 from the eye: 480 x 4 / 40 = 48 pixels, centred on the middle of the screen.
    EXPECT_EQ(sideAt(0), (std::pair{48, 48}));
    EXPECT_TRUE(colourNear(at(296, 240), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(at(343, 263), 255, 0, 0, 0));
    EXPECT_EQ(at(295, 240), 0xFF000000u);
    EXPECT_EQ(at(344, 240), 0xFF000000u);
    // Pixel centres lie on whole coordinates, as on the original platform: the point projects
    // onto the centre of pixel (320, 240), and 49 pixels cover 24 on either side of it.
    sparkStates(white.get(), 49.0f / 12.0f);
    EXPECT_EQ(sideAt(0), (std::pair{49, 49}));
    EXPECT_EQ(at(295, 240), 0xFF000000u);
    EXPECT_NE(at(296, 240), 0xFF000000u);
    EXPECT_NE(at(344, 240), 0xFF000000u);
    EXPECT_EQ(at(345, 240), 0xFF000000u);
    EXPECT_EQ(at(320, 215), 0xFF000000u);
    EXPECT_NE(at(320, 216), 0xFF000000u);
    EXPECT_NE(at(320, 264), 0xFF000000u);
    sparkStates(white.get(), 4.0f);
    // Distance 100: 19.2 pixels.
    auto far = sideAt(60);
    EXPECT_NEAR(far.first, 19, 1);
    EXPECT_NEAR(far.second, 19, 1);
    // The original platform's largest sprite, 64 pixels, holds at distance 20 (96 by the rule).
    EXPECT_EQ(sideAt(-20), (std::pair{64, 64}));
    // At least PointSizeMin.
    sparkStates(white.get(), 4.0f, 30.0f);
    EXPECT_EQ(sideAt(60), (std::pair{30, 30}));
}

TEST_F(GlPointSpriteTest, ColourIsTextureTimesVertexColourAndOpacityTheTexturesAlpha) {
    auto grey = dev->createTexture(argbImage(2, 2, [](auto, auto) { return 0x80808080u; }));
    ASSERT_TRUE(grey);
    sparkStates(grey.get(), 4.0f);
    // Yellow with an alpha byte of 0, as the sparks carry it.
    fill({{0, 0, 0, 0x00FFFF00, 0, 0}});
    dev->clear(kClearTarget | kClearZBuffer, 0x000000FF, 1, 0);
    ASSERT_TRUE(drawPoints());
    grab();
    // (0.502, 0.502, 0) at opacity 0.502 over blue.
    EXPECT_TRUE(colourNear(at(320, 240), 64, 64, 127, 1));
}

TEST_F(GlPointSpriteTest, TextureTopLeftShowsAtTheSpritesTopLeft) {
    auto quads = dev->createTexture(argbImage(2, 2, [](uint32_t x, uint32_t y) {
        const uint32_t c[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
        return c[y * 2 + x];
    }));
    ASSERT_TRUE(quads);
    sparkStates(quads.get(), 4.0f);
    fill({{0, 0, 0, 0x00FFFFFF, 0, 0}});
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    ASSERT_TRUE(drawPoints());
    grab();
    EXPECT_TRUE(colourNear(at(308, 228), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(at(332, 228), 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(at(308, 252), 0, 0, 255, 0));
    EXPECT_TRUE(colourNear(at(332, 252), 255, 255, 255, 0));
}

TEST_F(GlPointSpriteTest, FoggedHiddenByNearerSolidsAndHidingNothingDrawnLater) {
    dev->setRenderState(RenderState::FogEnable, 1);
    sparkStates(white.get(), 100.0f);
    // Distance 1000: 48 pixels; f = exp(-0.4) = 0.67032 towards white: (255, 84, 84).
    fill({{0, 0, 960, 0x00FF0000, 0, 0}});  // world z 980
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    ASSERT_TRUE(drawPoints());
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 255, 84, 84, 2));
    EXPECT_EQ(extent(320, 240, 0xFF000000), (std::pair{48, 48}));
    restoreStates();

    dev->setRenderState(RenderState::FogEnable, 0);
    dev->setTransform(TransformState::World, Matrix::identity());
    auto nearWall = wall(10, 2), farWall = wall(60, 2);
    ASSERT_TRUE(nearWall && farWall);
    // A solid in front hides the spark.
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    setSolidMaterial(0, 1, 0);
    drawInScene(*nearWall);
    sparkStates(white.get(), 4.0f);
    fill({{0, 0, 0, 0x00FF0000, 0, 0}});
    ASSERT_TRUE(drawPoints());
    restoreStates();
    dev->setTransform(TransformState::World, Matrix::identity());
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(at(300, 240), 255, 0, 0, 0));
    // A solid drawn later behind the spark still shows: the spark wrote no depth.
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    sparkStates(white.get(), 4.0f);
    ASSERT_TRUE(drawPoints());
    restoreStates();
    dev->setTransform(TransformState::World, Matrix::identity());
    setSolidMaterial(0, 0, 1);
    drawInScene(*farWall);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 0, 0, 255, 0));
    EXPECT_TRUE(colourNear(at(300, 240), 255, 0, 0, 0));
}

TEST_F(GlPointSpriteTest, DrawsTheAskedVerticesAndRefusesReadsPastTheBuffer) {
    sparkStates(white.get(), 1.0f);
    // World x +15 shows on the left, -15 on the right.
    fill({{15, 0, 0, 0x00FF0000, 0, 0},
          {0, 0, 0, 0x0000FF00, 0, 0},
          {-15, 0, 0, 0x000000FF, 0, 0},
          {0, 10, 0, 0x00FFFFFF, 0, 0}});
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    ASSERT_TRUE(drawPoints(1, 1));
    grab();
    Vec2 left = project({15, 0, 20}), right = project({-15, 0, 20});
    EXPECT_TRUE(colourNear(at(320, 240), 0, 255, 0, 0));
    EXPECT_EQ(at(int(left.x), int(left.y)), 0xFF000000u);
    EXPECT_EQ(at(int(right.x), int(right.y)), 0xFF000000u);

    // Vertices rewritten after a draw are the ones drawn next.
    fill({{15, 0, 0, 0x00FF0000, 0, 0}});
    ASSERT_TRUE(drawPoints(0, 1));
    grab();
    EXPECT_TRUE(colourNear(at(int(left.x), int(left.y)), 255, 0, 0, 0));

    EXPECT_TRUE(drawPoints(0, 4));
    EXPECT_FALSE(drawPoints(1, 4));
    EXPECT_FALSE(drawPoints(0xFFFFFFFFu, 2));
    dev->beginScene();
    dev->setStreamSource(0, buffer.get(), 12);  // narrower than the format
    EXPECT_FALSE(dev->drawPointList(0, 1));
    dev->setStreamSource(0, nullptr, 0);
    EXPECT_FALSE(dev->drawPointList(0, 1));
    dev->endScene();
}

}  // namespace
