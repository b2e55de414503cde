// Pixels of lit, fogged, blended, culled and depth-tested 3D drawing against values worked out
// by hand from the fixed-function rules the game was written for.
#include "gfx/primitive_meshes.h"
#include "tests/gl/gl_test_support.h"

namespace {

class GlShadingTest : public GlDeviceTest {
  protected:
    void SetUp() override {
        GlDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        setGameView();
        dev->setRenderState(RenderState::FogEnable, 0);
        dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    }
};

TEST_F(GlShadingTest, LitConeBaseAddsEmissiveAmbientAndDiffuse) {
    auto cone = dev->createMesh(createCylinderMesh(1, 0, 1, 8, 2));
    ASSERT_TRUE(cone);
    // Squashed unevenly, base (normal -z) towards the eye at z = -20, apex away.
    dev->setTransform(TransformState::World,
                      matrixScaling(30, 20, 10) * matrixTranslation(0, 0, 40));
    setGameLight();
    Material m;
    m.diffuse = {0.2f, 0.6f, 0.8f, 1};
    m.ambient = {0.5f, 0.25f, 0.1f, 1};
    m.emissive = {0.1f, 0.05f, 0, 0};
    m.specular = {0.9f, 0.9f, 0.9f, 0};
    m.power = 1;
    ASSERT_TRUE(dev->setMaterial(m));
    drawInScene(*cone);
    grab();
    // Towards the light: (1, 1, -1) / sqrt 3, so N.L = 1 / sqrt 3 = 0.57735; ambient 64/255.
    // r = 0.1 + 0.25098 x 0.5  + 0.2 x 0.57735 = 0.34096 -> 87
    // g = 0.05 + 0.25098 x 0.25 + 0.6 x 0.57735 = 0.45916 -> 117
    // b = 0 + 0.25098 x 0.1 + 0.8 x 0.57735 = 0.48698 -> 124
    EXPECT_TRUE(colourNear(at(320, 240), 87, 117, 124, 2));
    EXPECT_TRUE(colourNear(at(320, 200), 87, 117, 124, 2));
    EXPECT_TRUE(colourNear(at(320, 60), 0, 0, 0, 0)) << "outside the base";

    // The game's sky ambient for the plane, 0x550000, changes only the ambient part:
    // r = 0.1 + (85/255) x 0.5 + 0.11547 = 0.38214 -> 97; g = 0.05 + 0.34641 -> 101; b -> 118.
    dev->setRenderState(RenderState::Ambient, 0x550000);
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    drawInScene(*cone);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 97, 101, 118, 2));
}

TEST_F(GlShadingTest, UnevenScalingTurnsNormalsByTheInverseTranspose) {
    // One triangle facing the eye whose vertex normals lean along x: (1, 0, -1) / sqrt 2.
    auto tri = triangles({{-10, -10, 0}, {-10, 10, 0}, {10, 0, 0}}, {0.70710678f, 0, -0.70710678f});
    ASSERT_TRUE(tri);
    dev->setRenderState(RenderState::CullMode, kCullNone);
    dev->setRenderState(RenderState::Ambient, 0);
    dev->setTransform(TransformState::World, matrixScaling(4, 1, 1) * matrixTranslation(0, 0, 40));
    setGameLight({0, 0, 5});  // shining along +z, towards the light (0, 0, -1)
    Material m;
    m.diffuse = {1, 1, 1, 1};
    dev->setMaterial(m);
    drawInScene(*tri);
    grab();
    // Inverse transpose of scaling (4, 1, 1) is (1/4, 1, 1): n = (0.25, 0, -1) renormalised =
    // (0.24254, 0, -0.97014); N.L = 0.97014 -> 247. (By the world matrix itself it would be
    // 0.24254 -> 62.)
    EXPECT_TRUE(colourNear(at(320, 240), 247, 247, 247, 2));

    // Without NormalizeNormals the transformed normal (0.17678, 0, -0.70711) keeps its length
    // 0.72887: N.L = 0.70711 -> 180.
    dev->setRenderState(RenderState::NormalizeNormals, 0);
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    drawInScene(*tri);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 180, 180, 180, 2));
}

TEST_F(GlShadingTest, SpecularFollowsTheHalfVectorAndMaterialPower) {
    // A small triangle straight ahead; the light 60 degrees off the line of sight.
    auto tri = wall(40, 1.5f);
    ASSERT_TRUE(tri);
    dev->setRenderState(RenderState::Ambient, 0);
    Light light;
    light.diffuse = {0, 0, 0, 0};
    light.specular = {1, 1, 1, 0};
    light.direction = {-0.8660254f, 0, 0.5f};
    ASSERT_TRUE(dev->setLight(0, light));
    ASSERT_TRUE(dev->lightEnable(0, true));
    Material m;
    m.diffuse = {0, 0, 0, 1};
    m.specular = {0.8f, 0.8f, 0.8f, 0};
    m.power = 4;
    dev->setMaterial(m);
    drawInScene(*tri);
    grab();
    // The half vector lies 30 degrees off the normal: 0.8 x cos^4 30 = 0.45 -> 115.
    EXPECT_TRUE(colourNear(at(320, 240), 115, 115, 115, 2));

    m.power = 1;  // 0.8 x cos 30 = 0.69282 -> 177
    dev->setMaterial(m);
    drawInScene(*tri);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 177, 177, 177, 2));

    dev->setRenderState(RenderState::SpecularEnable, 0);
    drawInScene(*tri);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 0, 0, 0, 0));
}

TEST_F(GlShadingTest, GameLightOnlyLightsFacesTurnedToIt) {
    // The light's specular is black in the game, so specular adds nothing; a face turned away
    // gets ambient and emission only.
    auto tri = wall(40, 20);
    ASSERT_TRUE(tri);
    setGameLight({0, 0, -1});  // shining towards the eye: the wall faces away from it
    Material m;
    m.diffuse = {1, 1, 1, 1};
    m.ambient = {1, 0.5f, 0, 1};
    m.specular = {0.9f, 0.9f, 0.9f, 0};
    m.power = 1;
    dev->setMaterial(m);
    drawInScene(*tri);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 64, 32, 0, 1));
}

TEST_F(GlShadingTest, DiffuseAlphaBlendsOverTheBackgroundAndIsClamped) {
    auto tri = wall(40, 20);
    ASSERT_TRUE(tri);
    auto drawOverBlue = [&](float alpha) {
        setSolidMaterial(0.8f, 0, 0, alpha);
        dev->clear(kClearTarget | kClearZBuffer, 0x00000080, 1, 0);
        drawInScene(*tri);
        grab();
        return at(320, 240);
    };
    // 0.5 x (204, 0, 0) + 0.5 x (0, 0, 128)
    EXPECT_TRUE(colourNear(drawOverBlue(0.5f), 102, 0, 64, 1));
    EXPECT_EQ(at(320, 240) >> 24, 0xFFu) << "blending keeps the picture opaque";
    EXPECT_TRUE(colourNear(drawOverBlue(-0.1f), 0, 0, 128, 0)) << "a fade just below 0";
    EXPECT_TRUE(colourNear(drawOverBlue(1.5f), 204, 0, 0, 0));
    dev->setRenderState(RenderState::AlphaBlendEnable, 0);
    EXPECT_TRUE(colourNear(drawOverBlue(0.5f), 204, 0, 0, 0));
}

TEST_F(GlShadingTest, FogFadesToWhiteByDepthAlongTheViewAxis) {
    // A wall filling the view at view depth 1000.
    auto farWall = triangles({{-4000, -2000, 980}, {0, 4000, 980}, {4000, -2000, 980}}, {0, 0, -1});
    ASSERT_TRUE(farWall);
    setSolidMaterial(0.2f, 0.4f, 0.6f);
    dev->setRenderState(RenderState::FogEnable, 1);
    drawInScene(*farWall);
    grab();
    // f = exp(-0.0004 x 1000) = 0.67032; f x c + (1 - f) x 1:
    // (0.46374, 0.59781, 0.73187) -> (118, 152, 187), at the centre and in the corners alike
    // (by distance from the eye a corner would be 1640 away: (149, 174, 199)).
    for (auto [x, y] : {std::pair{320, 240}, {20, 20}, {620, 460}})
        EXPECT_TRUE(colourNear(at(x, y), 118, 152, 187, 2)) << x << "," << y;

    // Switched per draw: off again, the plain colour.
    dev->setRenderState(RenderState::FogEnable, 0);
    drawInScene(*farWall);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 51, 102, 153, 1));
}

TEST_F(GlShadingTest, CullModesFollowTheTurnOnTheScreen) {
    dev->setRenderState(RenderState::Lighting, 0);  // plain white
    // Left: a, b, c counter-clockwise on the screen; right: the same wound the other way.
    std::vector<Vec3> ccw = {{25, -5, 40}, {5, -5, 40}, {15, 5, 40}};
    std::vector<Vec3> cw = {{-5, -5, 40}, {-15, 5, 40}, {-25, -5, 40}};
    auto turn = [](const std::vector<Vec3>& t) {
        Vec2 a = project(t[0]), b = project(t[1]), c = project(t[2]);
        return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);  // < 0: counter-clockwise
    };
    ASSERT_LT(turn(ccw), 0);
    ASSERT_GT(turn(cw), 0);
    auto left = triangles(ccw, {0, 0, -1}), right = triangles(cw, {0, 0, -1});
    ASSERT_TRUE(left && right);
    Vec2 l = project({15, -1, 40}), r = project({-15, -1, 40});
    auto drawn = [&](uint32_t cull) {
        dev->setRenderState(RenderState::CullMode, cull);
        dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
        dev->beginScene();
        left->drawSubset(0);
        right->drawSubset(0);
        dev->endScene();
        grab();
        return std::pair{at(int(l.x), int(l.y)) == 0xFFFFFFFF,
                         at(int(r.x), int(r.y)) == 0xFFFFFFFF};
    };
    EXPECT_EQ(drawn(kCullCW), (std::pair{true, false}));
    EXPECT_EQ(drawn(kCullCCW), (std::pair{false, true}));
    EXPECT_EQ(drawn(kCullNone), (std::pair{true, true}));
}

TEST_F(GlShadingTest, GameConeShowsItsOutsideUnderClockwiseCulling) {
    // The obstacle transform seen from the chase eye: only the near side faces, lit, survive.
    auto cone = dev->createMesh(createCylinderMesh(1, 0, 1, 8, 2));
    ASSERT_TRUE(cone);
    dev->setTransform(TransformState::World,
                      matrixRotationX(-1.5707964f) * matrixTranslation(0, 0.5f, 0) *
                          matrixScaling(100, 150, 100) * matrixTranslation(0, -60, 400));
    setGameLight({0, 0, 1});  // along the view: faces towards the eye are lit
    Material m;
    m.diffuse = {1, 1, 1, 1};
    dev->setMaterial(m);
    dev->setRenderState(RenderState::Ambient, 0);
    drawInScene(*cone);
    grab();
    // Straight ahead of the eye the near side is lit (the far side, seen from inside, would be
    // turned away from the light and black).
    Vec2 p = project({0, 0, 300});
    uint32_t c = at(int(p.x), int(p.y));
    EXPECT_GT(redOf(c), 100);
    EXPECT_EQ(redOf(c), blueOf(c));
}

TEST_F(GlShadingTest, DepthTestKeepsTheNearestUnlessWritesOrTestsAreOff) {
    auto nearWall = wall(20, 30), farWall = wall(60, 60);
    ASSERT_TRUE(nearWall && farWall);
    auto scene = [&](bool nearWrites, bool farTested) {
        dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
        dev->beginScene();
        dev->setRenderState(RenderState::ZWriteEnable, nearWrites);
        setSolidMaterial(1, 0, 0);
        nearWall->drawSubset(0);
        dev->setRenderState(RenderState::ZWriteEnable, 1);
        dev->setRenderState(RenderState::ZEnable, farTested);
        setSolidMaterial(0, 1, 0);
        farWall->drawSubset(0);
        dev->setRenderState(RenderState::ZEnable, 1);
        dev->endScene();
        grab();
        return at(320, 240);
    };
    EXPECT_TRUE(colourNear(scene(true, true), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(scene(false, true), 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(scene(true, false), 0, 255, 0, 0));
    // Clipped at the near plane (0.05 from the eye) and the far plane (2700; with the near
    // plane so close, depth near the far plane resolves only to some tens of units).
    auto tooNear = wall(-19.97f, 0.01f), nearEnough = wall(-19.93f, 0.01f);
    auto tooFar = wall(3980, 6000), farEnough = wall(2580, 3000);
    ASSERT_TRUE(tooNear && nearEnough && tooFar && farEnough);
    dev->setRenderState(RenderState::FogEnable, 0);
    setSolidMaterial(1, 1, 1);
    for (auto [mesh, distance] : {std::pair{tooNear.get(), 0.03f},
                                  {nearEnough.get(), 0.07f},
                                  {tooFar.get(), 4000.0f},
                                  {farEnough.get(), 2600.0f}}) {
        dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
        drawInScene(*mesh);
        grab();
        EXPECT_EQ(at(320, 240) == 0xFFFFFFFFu, distance > 0.05f && distance < 2700)
            << "at distance " << distance;
    }
    // Less-or-equal: the same surface drawn again shows the second colour.
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    setSolidMaterial(1, 0, 0);
    drawInScene(*farWall);
    setSolidMaterial(0, 0, 1);
    drawInScene(*farWall);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 0, 0, 255, 0));
}

TEST_F(GlShadingTest, GouraudBlendsVertexColoursFlatTakesTheFirst) {
    MeshData data;
    data.fvf = kFvfPositionNormal;
    // Normals giving N.L = 1, 0 and 0 with the light along +z.
    Vec3 pos[3] = {{0, 10, 40}, {-10, -10, 40}, {10, -10, 40}};
    Vec3 nrm[3] = {{0, 0, -1}, {1, 0, 0}, {1, 0, 0}};
    for (int i = 0; i < 3; ++i) {
        MeshVertex v;
        v.position = pos[i];
        v.normal = nrm[i];
        data.vertices.push_back(v);
        data.indices.push_back(i);
    }
    auto tri = dev->createMesh(data);
    ASSERT_TRUE(tri);
    dev->setRenderState(RenderState::CullMode, kCullNone);
    dev->setRenderState(RenderState::Ambient, 0);
    setGameLight({0, 0, 1});
    Material m;
    m.diffuse = {1, 1, 1, 1};
    dev->setMaterial(m);
    Vec2 c = project({0, -10.0f / 3, 40});  // the centroid: one third of the top vertex
    drawInScene(*tri);
    grab();
    EXPECT_TRUE(colourNear(at(int(c.x), int(c.y)), 85, 85, 85, 3));
    dev->setRenderState(RenderState::ShadeMode, 1);
    drawInScene(*tri);
    grab();
    EXPECT_TRUE(colourNear(at(int(c.x), int(c.y)), 255, 255, 255, 0));
}

TEST_F(GlShadingTest, TextureModulatesLitColourAndItsAlphaReplacesTheMaterials) {
    // Two texels side by side, repeated across the quad by wrapping, sampled without filtering.
    auto texture = dev->createTexture(
        argbImage(2, 1, [](uint32_t x, auto) { return x == 0 ? 0xFFFF8000u : 0x800000FFu; }));
    ASSERT_TRUE(texture);
    MeshData data;
    data.fvf = kFvfPositionNormalTex;
    // A quad facing the eye, u from 0 to 2 across the screen's x (world x mirrors it).
    const float h = 20, z = 40;
    Vec3 corners[4] = {{h, -h, z}, {h, h, z}, {-h, h, z}, {-h, -h, z}};
    float us[4] = {0, 0, 2, 2};
    for (int i = 0; i < 4; ++i) {
        MeshVertex v;
        v.position = corners[i];
        v.normal = {0, 0, -1};
        v.u = us[i];
        v.v = (i == 1 || i == 2) ? 0.0f : 1.0f;
        data.vertices.push_back(v);
    }
    data.indices = {0, 2, 1, 0, 3, 2};
    auto quad = dev->createMesh(data);
    ASSERT_TRUE(quad);
    setSolidMaterial(0.5f, 1, 1, 0.25f);  // material alpha plays no part once textured
    ASSERT_TRUE(dev->setTexture(0, texture.get()));
    dev->clear(kClearTarget | kClearZBuffer, 0x0000FF00, 1, 0);
    drawInScene(*quad);
    grab();
    // World x = 0.75 h, 0.25 h, -0.25 h are u = 0.25, 0.75, 1.25: texel 0, texel 1, texel 0.
    Vec2 q1 = project({0.75f * h, 0, z}), q2 = project({0.25f * h, 0, z}),
         q3 = project({-0.25f * h, 0, z});
    EXPECT_TRUE(colourNear(at(int(q1.x), 240), 128, 128, 0, 1));  // (1, .5, 0) x (.5, 1, 1)
    EXPECT_TRUE(colourNear(at(int(q2.x), 240), 0, 127, 128, 1));  // blue at alpha .5 on green
    EXPECT_TRUE(colourNear(at(int(q3.x), 240), 128, 128, 0, 1));  // wrapped round
    dev->setTexture(0, nullptr);
    dev->clear(kClearTarget | kClearZBuffer, 0x0000FF00, 1, 0);
    drawInScene(*quad);
    grab();
    EXPECT_TRUE(colourNear(at(int(q1.x), 240), 32, 255, 64, 1)) << "untextured: alpha 0.25";
}

}  // namespace
