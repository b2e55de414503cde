// Draws of meshes with the same data are handed to GL together and sprites skip what cannot
// show: the picture must stay that of the single draws, in their order, each with its own
// transform, material and states.
#include <random>

#include "gfx/primitive_meshes.h"
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

// Meshes wholly outside the view are left out before GL: the picture must be that of drawing
// them all, also for meshes grazing a side, crossing the near plane or behind the eye.
class GlCullingTest : public GlBatchingTest {
  protected:
    // The picture of the draws, culling on or off.
    template <typename F>
    std::vector<uint32_t> picture(bool culling, F draws) {
        dev->setCulling(culling);
        dev->clear(kClearTarget | kClearZBuffer, 0xFF202020, 1, 0);
        EXPECT_TRUE(dev->beginScene());
        draws();
        EXPECT_TRUE(dev->endScene());
        std::vector<uint32_t> argb;
        EXPECT_TRUE(dev->readBackBuffer(argb));
        return argb;
    }
    static int differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
        int n = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
        return n +
               static_cast<int>(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
    }
};

TEST_F(GlCullingTest, AFieldAroundTheEyeLooksTheSameWithAndWithoutCulling) {
    // 400 cones and spheres all around the eye, turned and stretched, some far past the far
    // plane, some so close that they cross the near plane, fogged and lit as in the game.
    auto cone = dev->createMesh(createCylinderMesh(1.0f, 0.0f, 1.0f, 8, 2));
    auto ball = dev->createMesh(createSphereMesh(1.0f, 12, 12));
    ASSERT_TRUE(cone && ball);
    setGameLight();
    dev->setRenderState(RenderState::FogEnable, 1);
    dev->setRenderState(RenderState::Ambient, 0x404040);
    struct Placed {
        Matrix world;
        Material material;
        bool ball;
    };
    std::vector<Placed> field;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0, 1);
    for (int i = 0; i < 400; ++i) {
        const float reach = i % 10 == 0 ? 4000.0f : i % 10 == 1 ? 3.0f : 300.0f;
        const float size = i % 10 == 1 ? 6.0f : 1.0f + 40.0f * unit(random);
        Placed p;
        p.world = matrixScaling(size, size * (0.5f + 3 * unit(random)), size) *
                  matrixRotationX(6.3f * unit(random)) * matrixRotationY(6.3f * unit(random)) *
                  matrixTranslation(reach * (2 * unit(random) - 1), reach * (2 * unit(random) - 1),
                                    -20 + reach * (2 * unit(random) - 1));
        p.material.diffuse = {unit(random), unit(random), unit(random), 1};
        p.material.ambient = p.material.diffuse;
        p.ball = i % 3 == 0;
        field.push_back(p);
    }
    auto draws = [&] {
        for (const Placed& p : field) {
            dev->setTransform(TransformState::World, p.world);
            ASSERT_TRUE(dev->setMaterial(p.material));
            ASSERT_TRUE((p.ball ? ball : cone)->drawSubset(0));
        }
    };
    const uint64_t before = dev->culledDraws();
    std::vector<uint32_t> all = picture(false, draws);
    EXPECT_EQ(dev->culledDraws(), before) << "culling off draws everything";
    std::vector<uint32_t> culled = picture(true, draws);
    const uint64_t left = dev->culledDraws() - before;
    EXPECT_GT(left, 100u) << "most of the field is off the picture";
    EXPECT_LT(left, 390u);
    EXPECT_EQ(differing(all, culled), 0);
    int covered = 0;
    for (uint32_t c : all) covered += c != 0xFF202020u;
    EXPECT_GT(covered, 10000) << "the field shows";
}

TEST_F(GlCullingTest, MeshesGrazingASideStayAndMeshesJustPastItGo) {
    auto mesh = wall(40, 3);
    ASSERT_TRUE(mesh);
    // World x at depth 40 (60 from the eye) per pixel, and the picture's half width and height.
    const float perPixel = 60.0f * std::tan(1.3962635f / 2) * 2 / 480;
    const float halfW = 320 * perPixel, halfH = 240 * perPixel;
    // Each wall (half side 3, 29 pixels) reaches `inside` pixels over one side of the picture.
    // Pixel centres sit half a pixel off GL's, so the view volume reaches half a pixel past the
    // picture on two sides.
    struct Case {
        float x, y;
        const char* what;
    };
    auto cases = [&](float inside) {
        const float d = 3 - inside * perPixel;
        return std::vector<Case>{{halfW + d, 0, "right"},
                                 {-halfW - d, 0, "left"},
                                 {0, halfH + d, "top"},
                                 {0, -halfH - d, "bottom"}};
    };
    for (const Case& c : cases(1.5f)) {
        std::vector<uint32_t> shown = picture(true, [&] { drawAt(*mesh, c.x, c.y, 0, 1, 0); });
        std::vector<uint32_t> all = picture(false, [&] { drawAt(*mesh, c.x, c.y, 0, 1, 0); });
        EXPECT_EQ(differing(shown, all), 0) << c.what;
        int green = 0;
        for (uint32_t p : shown) green += p == 0xFF00FF00u;
        EXPECT_GE(green, 25) << c.what << ": a strip along the side";
    }
    for (const Case& c : cases(-0.7f)) {
        const uint64_t before = dev->culledDraws();
        std::vector<uint32_t> shown = picture(true, [&] { drawAt(*mesh, c.x, c.y, 0, 1, 0); });
        EXPECT_EQ(dev->culledDraws(), before + 1) << c.what;
        int green = 0;
        for (uint32_t p : shown) green += p == 0xFF00FF00u;
        EXPECT_EQ(green, 0) << c.what;
    }
    // Behind the eye and well past the far plane: left out. A floor running from behind the eye to
    // far ahead crosses the near plane: drawn.
    const uint64_t before = dev->culledDraws();
    picture(true, [&] {
        dev->setTransform(TransformState::World, matrixTranslation(0, 0, -70));
        setSolidMaterial(1, 0, 0);
        ASSERT_TRUE(mesh->drawSubset(0));
        dev->setTransform(TransformState::World, matrixTranslation(0, 0, 4000));
        ASSERT_TRUE(mesh->drawSubset(0));
    });
    EXPECT_EQ(dev->culledDraws(), before + 2);
    auto floor = triangles({{-50, -5, -100},
                            {-50, -5, 100},
                            {50, -5, 100},
                            {-50, -5, -100},
                            {50, -5, 100},
                            {50, -5, -100}},
                           {0, 1, 0});
    ASSERT_TRUE(floor);
    dev->setRenderState(RenderState::CullMode, kCullNone);
    std::vector<uint32_t> shown = picture(true, [&] {
        dev->setTransform(TransformState::World, Matrix::identity());
        setSolidMaterial(0, 0, 1);
        ASSERT_TRUE(floor->drawSubset(0));
    });
    EXPECT_EQ(dev->culledDraws(), before + 2);
    EXPECT_EQ(shown[470 * 640 + 320], 0xFF0000FFu) << "the floor under the eye";
}

TEST_F(GlCullingTest, EachSubsetHasItsOwnBoxAndMeshesShareOnlyTheSameSubsets) {
    // Two triangles at depth 40, one left and one right of the middle; a third far off to the
    // side, in the first triangle's subset in one mesh and in a subset of its own in the other.
    auto mesh = [&](std::vector<uint32_t> subsets) {
        MeshData data;
        data.fvf = kFvfPositionNormal;
        const std::vector<Vec3> corners = {{-12, -2, 40}, {-12, 2, 40}, {-8, 0, 40},
                                           {8, -2, 40},   {8, 2, 40},   {12, 0, 40},
                                           {900, -2, 40}, {900, 2, 40}, {904, 0, 40}};
        for (const Vec3& c : corners) {
            MeshVertex v;
            v.position = c;
            v.normal = {0, 0, -1};
            data.vertices.push_back(v);
            data.indices.push_back(static_cast<uint32_t>(data.indices.size()));
        }
        data.faceSubsets = std::move(subsets);
        return dev->createMesh(std::move(data));
    };
    dev->setRenderState(RenderState::CullMode, kCullNone);
    auto split = mesh({0, 1, 1}), whole = mesh({0, 0, 0}), apart = mesh({0, 1, 2});
    ASSERT_TRUE(split && whole && apart);
    auto shows = [&](const std::vector<uint32_t>& p, float x) {
        Vec2 at = project({x, 0, 40});
        return p[static_cast<size_t>(at.y) * 640 + static_cast<size_t>(at.x)] == 0xFF00FF00u;
    };
    auto draw = [&](Mesh& m, uint32_t subset) {
        return picture(true, [&] {
            dev->setTransform(TransformState::World, Matrix::identity());
            setSolidMaterial(0, 1, 0);
            ASSERT_TRUE(m.drawSubset(subset));
        });
    };
    std::vector<uint32_t> p = draw(*whole, 0);
    EXPECT_TRUE(shows(p, -10) && shows(p, 10)) << "one subset holding all three";
    p = draw(*split, 0);
    EXPECT_TRUE(shows(p, -10) && !shows(p, 10));
    p = draw(*split, 1);
    EXPECT_TRUE(!shows(p, -10) && shows(p, 10)) << "its box reaches past the side: drawn";
    const uint64_t before = dev->culledDraws();
    p = draw(*apart, 2);
    EXPECT_EQ(dev->culledDraws(), before + 1) << "the far triangle's own box";
    p = draw(*apart, 1);
    EXPECT_TRUE(shows(p, 10));
    EXPECT_EQ(dev->culledDraws(), before + 1);
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
