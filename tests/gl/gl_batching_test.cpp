// Draws of meshes with the same data are handed to GL together and sprites skip what cannot
// show: the picture must stay that of the single draws, in their order, each with its own
// transform, material and states.
#include "tests/gl/gl_test_support.h"

namespace {

class GlBatchingTest : public GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        setGameView();
        dev->setRenderState(RenderState::FogEnable, 0);
        dev->setRenderState(RenderState::Ambient, 0);
        dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    }
    // Draws subset 0 of the mesh moved by (x, y) at depth 40, in an emissive colour.
    void drawAt(Mesh& mesh, float x, float y, float r, float g, float b) {
        dev->setTransform(TransformState::World, matrixTranslation(x, y, 0));
        setSolidMaterial(r, g, b);
        ASSERT_TRUE(mesh.drawSubset(0));
    }
    // The pixel where world (x, y, 40) shows.
    uint32_t pixelAt(float x, float y) {
        Vec2 p = project({x, y, 40});
        return at(static_cast<int>(p.x), static_cast<int>(p.y));
    }
};

TEST_F(GlBatchingTest, SameDataDrawsKeepTheirOrderTransformAndMaterial) {
    auto a = wall(40, 3), b = wall(40, 3), c = wall(40, 3);
    ASSERT_TRUE(a && b && c);
    ASSERT_TRUE(dev->beginScene());
    // At equal depth a later draw covers an earlier one (less-or-equal depth test), so the
    // order inside one batch shows on the picture.
    drawAt(*a, -10, 0, 1, 0, 0);
    drawAt(*b, -10, 0, 0, 1, 0);
    drawAt(*c, 10, 0, 0, 0, 1);
    drawAt(*a, 10, 0, 1, 0, 0);
    drawAt(*a, 0, 10, 1, 1, 0);
    ASSERT_TRUE(dev->endScene());
    grab();
    EXPECT_TRUE(colourNear(pixelAt(-10, 0), 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(pixelAt(10, 0), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(pixelAt(0, 10), 255, 255, 0, 0));
    EXPECT_TRUE(colourNear(pixelAt(0, 0), 0, 0, 0, 0)) << "nothing drawn between them";
}

TEST_F(GlBatchingTest, StateChangedBetweenDrawsAppliesOnlyToTheLaterOnes) {
    auto mesh = wall(40, 3);
    ASSERT_TRUE(mesh);
    ASSERT_TRUE(dev->beginScene());
    drawAt(*mesh, -10, 0, 1, 0, 0);
    // Thick white fog from here on: at depth 60 from the eye exp(-0.1 x 60) leaves 0.25% red.
    dev->setRenderState(RenderState::FogEnable, 1);
    dev->setRenderState(RenderState::FogDensity, floatBits(0.1f));
    drawAt(*mesh, 10, 0, 1, 0, 0);
    dev->setRenderState(RenderState::FogEnable, 0);
    // A texture on the stage: the wall has no texture coordinates, so it samples texel (0, 0).
    auto texture =
        dev->createTexture(argbImage(1, 1, [](uint32_t, uint32_t) { return 0xFF0000FFu; }));
    ASSERT_TRUE(texture);
    ASSERT_TRUE(dev->setTexture(0, texture.get()));
    dev->setRenderState(RenderState::Ambient, 0xFFFFFF);
    drawAt(*mesh, 0, 10, 1, 1, 1);
    ASSERT_TRUE(dev->setTexture(0, nullptr));
    dev->setRenderState(RenderState::Ambient, 0);
    drawAt(*mesh, 0, -10, 0, 1, 0);
    ASSERT_TRUE(dev->endScene());
    grab();
    EXPECT_TRUE(colourNear(pixelAt(-10, 0), 255, 0, 0, 0)) << "drawn before the fog";
    EXPECT_TRUE(colourNear(pixelAt(10, 0), 255, 254, 254, 1)) << "drawn in the fog";
    EXPECT_TRUE(colourNear(pixelAt(0, 10), 0, 0, 255, 1)) << "textured";
    EXPECT_TRUE(colourNear(pixelAt(0, -10), 0, 255, 0, 0)) << "after the texture went";
}

TEST_F(GlBatchingTest, QueuedDrawsSurviveTheirMeshAndShowWhenReadBack) {
    auto kept = wall(40, 3);
    ASSERT_TRUE(kept);
    ASSERT_TRUE(dev->beginScene());
    {
        auto gone = wall(40, 3);
        ASSERT_TRUE(gone);
        drawAt(*gone, -10, 0, 0, 1, 0);
    }
    drawAt(*kept, 10, 0, 0, 0, 1);
    // Read while the scene is still open: what was asked for so far is there.
    grab();
    EXPECT_TRUE(colourNear(pixelAt(-10, 0), 0, 255, 0, 0)) << "mesh destroyed after its draw";
    EXPECT_TRUE(colourNear(pixelAt(10, 0), 0, 0, 255, 0));
    ASSERT_TRUE(dev->endScene());
}

TEST_F(GlBatchingTest, MoreDrawsThanOneBatchHoldsStayInOrder) {
    auto mesh = wall(40, 3);
    ASSERT_TRUE(mesh);
    // 2500 draws on one spot, more than two batches' worth: the last one, red, covers the
    // others (blue and black by turns).
    auto drawMany = [&] {
        ASSERT_TRUE(dev->beginScene());
        for (int i = 0; i < 2500; ++i) {
            const bool last = i == 2499;
            drawAt(*mesh, 0, 0, last ? 1.0f : 0.0f, 0, !last && i % 2 ? 1.0f : 0.0f);
        }
        ASSERT_TRUE(dev->endScene());
    };
    drawMany();
    grab();
    EXPECT_TRUE(colourNear(pixelAt(0, 0), 255, 0, 0, 0));
    ASSERT_TRUE(dev->present());

    // The following frames reuse the instance storage.
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    ASSERT_TRUE(dev->beginScene());
    drawAt(*mesh, 5, 0, 0, 1, 0);
    ASSERT_TRUE(dev->endScene());
    grab();
    EXPECT_TRUE(colourNear(pixelAt(-2, 0), 0, 0, 0, 0));
    EXPECT_TRUE(colourNear(pixelAt(5, 0), 0, 255, 0, 0));
    ASSERT_TRUE(dev->present());

    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    drawMany();
    grab();
    EXPECT_TRUE(colourNear(pixelAt(0, 0), 255, 0, 0, 0));
}

class GlSpriteClipTest : public GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        sprite = dev->createSprite();
        ASSERT_TRUE(sprite);
    }
    // The picture after drawing the texture scaled by 4 at (100, 100) over a blue back buffer.
    std::vector<uint32_t> drawnOverBlue(Texture* texture) {
        dev->clear(kClearTarget | kClearZBuffer, 0xFF0000FF, 1, 0);
        dev->beginScene();
        Vec2 scale{4, 4}, move{100, 100};
        EXPECT_TRUE(sprite->draw(texture, nullptr, &scale, nullptr, 0, &move, 0xFFFFFFFF));
        dev->endScene();
        std::vector<uint32_t> picture;
        EXPECT_TRUE(dev->readBackBuffer(picture));
        return picture;
    }
    std::unique_ptr<Sprite> sprite;
};

TEST_F(GlSpriteClipTest, TransparentTexelsAreSkippedWithoutChangingThePicture) {
    // 16 x 16: the top 8 rows transparent red, the rest opaque green. Filtered and scaled by 4,
    // the seam blends over a few rows above and below row 8.
    auto half = [](uint32_t, uint32_t y) { return y < 8 ? 0x00FF0000u : 0xFF00FF00u; };
    // The same with one opaque texel in the far corner, so no part of it can be skipped.
    auto whole = [&](uint32_t x, uint32_t y) {
        return x == 15 && y == 0 ? 0xFFFF0000u : half(x, y);
    };
    auto clipped = dev->createTexture(argbImage(16, 16, half));
    auto full = dev->createTexture(argbImage(16, 16, whole));
    ASSERT_TRUE(clipped && full);
    std::vector<uint32_t> a = drawnOverBlue(clipped.get()), b = drawnOverBlue(full.get());
    ASSERT_EQ(a.size(), 640u * 480u);
    ASSERT_EQ(b.size(), a.size());
    int compared = 0;
    for (int y = 96; y < 168; ++y)
        for (int x = 96; x < 150; ++x) {  // clear of the corner texel
            uint32_t p = a[static_cast<size_t>(y) * 640 + x],
                     q = b[static_cast<size_t>(y) * 640 + x];
            ASSERT_TRUE(colourNear(p, redOf(q), greenOf(q), blueOf(q), 1)) << x << "," << y;
            ++compared;
        }
    EXPECT_GT(compared, 0);
    // The seam really blends: between blue above and green below.
    uint32_t seam = a[static_cast<size_t>(132) * 640 + 120];
    EXPECT_GT(greenOf(seam), 0);
    EXPECT_GT(blueOf(seam), 0);
    EXPECT_TRUE(colourNear(a[static_cast<size_t>(110) * 640 + 120], 0, 0, 255, 0));
    EXPECT_TRUE(colourNear(a[static_cast<size_t>(150) * 640 + 120], 0, 255, 0, 0));
}

TEST_F(GlSpriteClipTest, ASourceRectanglePastTheTextureStillShowsTheClampedEdge) {
    // 8 x 8, the top half transparent; the source runs 4 rows past the bottom, where clamped
    // sampling repeats the opaque green edge.
    auto texture = dev->createTexture(
        argbImage(8, 8, [](uint32_t, uint32_t y) { return y < 4 ? 0x00FF0000u : 0xFF00FF00u; }));
    ASSERT_TRUE(texture);
    dev->clear(kClearTarget | kClearZBuffer, 0xFF0000FF, 1, 0);
    dev->beginScene();
    Rect source{0, 0, 8, 12};
    Vec2 move{100, 100};
    EXPECT_TRUE(sprite->draw(texture.get(), &source, nullptr, nullptr, 0, &move, 0xFFFFFFFF));
    dev->endScene();
    std::vector<uint32_t> picture;
    ASSERT_TRUE(dev->readBackBuffer(picture));
    EXPECT_TRUE(colourNear(picture[static_cast<size_t>(101) * 640 + 104], 0, 0, 255, 0));
    for (int y = 106; y < 112; ++y)
        EXPECT_TRUE(colourNear(picture[static_cast<size_t>(y) * 640 + 104], 0, 255, 0, 0)) << y;
    EXPECT_TRUE(colourNear(picture[static_cast<size_t>(113) * 640 + 104], 0, 0, 255, 0));
}

TEST_F(GlSpriteClipTest, AFullyTransparentTextureDrawsNothingAndStillSucceeds) {
    auto texture =
        dev->createTexture(argbImage(8, 8, [](uint32_t, uint32_t) { return 0x00FFFFFFu; }));
    ASSERT_TRUE(texture);
    std::vector<uint32_t> picture = drawnOverBlue(texture.get());
    ASSERT_EQ(picture.size(), 640u * 480u);
    EXPECT_TRUE(colourNear(picture[static_cast<size_t>(110) * 640 + 110], 0, 0, 255, 0));
    // Outside a scene the draw is refused as any other.
    Vec2 move{0, 0};
    EXPECT_FALSE(sprite->draw(texture.get(), nullptr, nullptr, nullptr, 0, &move, 0xFFFFFFFF));
}

}  // namespace
