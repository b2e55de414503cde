// The GL device's set-up, scene rules, clear, read-back and presentation onto windows of any size.
#include <cstring>
#include <random>

#include "gfx/primitive_meshes.h"
#include "tests/gl/gl_test_support.h"

namespace {

TEST_F(GlDeviceTest, ClearFillsTheWholeBackBufferOpaque) {
    EXPECT_EQ(dev->backBufferWidth(), 640u);
    EXPECT_EQ(dev->backBufferHeight(), 480u);
    EXPECT_TRUE(win.system->displayMode());
    ASSERT_TRUE(dev->clear(kClearTarget | kClearZBuffer, 0x00336699, 1.0f, 0));
    grab();
    ASSERT_EQ(pixels.size(), 640u * 480u);
    for (uint32_t p : pixels) ASSERT_EQ(p, 0xFF336699u);
    // A depth-only clear leaves the colour; unknown flags are refused.
    ASSERT_TRUE(dev->clear(kClearZBuffer, 0x00FFFFFF, 1.0f, 0));
    grab();
    EXPECT_EQ(at(0, 0), 0xFF336699u);
    EXPECT_FALSE(dev->clear(8, 0, 1.0f, 0));
}

TEST_F(GlDeviceTest, ClearResetsDepthEvenWithDepthWritesOff) {
    setGameView();
    dev->setRenderState(RenderState::FogEnable, 0);
    auto nearWall = wall(10, 50), farWall = wall(100, 200);
    ASSERT_TRUE(nearWall && farWall);
    dev->clear(kClearTarget | kClearZBuffer, 0, 1.0f, 0);
    setSolidMaterial(1, 0, 0);
    drawInScene(*nearWall);
    // The game switches depth writes off around the sparks; a clear must still reset depth.
    dev->setRenderState(RenderState::ZWriteEnable, 0);
    ASSERT_TRUE(dev->clear(kClearTarget | kClearZBuffer, 0, 1.0f, 0));
    dev->setRenderState(RenderState::ZWriteEnable, 1);
    setSolidMaterial(0, 1, 0);
    drawInScene(*farWall);
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 0, 255, 0, 0));
}

TEST_F(GlDeviceTest, ScenesPairAndDrawingNeedsOne) {
    auto mesh = wall(10, 5);
    ASSERT_TRUE(mesh);
    EXPECT_FALSE(mesh->drawSubset(0)) << "outside a scene";
    EXPECT_FALSE(dev->endScene());
    ASSERT_TRUE(dev->beginScene());
    EXPECT_FALSE(dev->beginScene());
    EXPECT_FALSE(dev->present()) << "inside a scene";
    EXPECT_TRUE(mesh->drawSubset(0));
    EXPECT_FALSE(mesh->drawSubset(1));
    EXPECT_TRUE(dev->endScene());
    EXPECT_TRUE(dev->present());
}

TEST(GlDeviceCreation, WindowWithoutOpenGlGivesNoDevice) {
    GlTestWindow plain;
    EXPECT_FALSE(plain.open(640, 480, SDL_WINDOW_HIDDEN));
    EXPECT_EQ(plain.device, nullptr);
    EXPECT_EQ(GlGraphicsSystem(nullptr).createDevice(PresentParameters{}), nullptr);
    EXPECT_FALSE(GlGraphicsSystem(nullptr).displayMode());
}

// Four quadrants in four colours, drawn with sprites of a white texel.
void drawQuadrants(GlDevice& device, Texture& white) {
    auto sprite = device.createSprite();
    const uint32_t colours[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    Vec2 scale{320, 240};
    device.beginScene();
    for (int q = 0; q < 4; ++q) {
        Vec2 at{(q % 2) * 320.0f, (q / 2) * 240.0f};
        EXPECT_TRUE(sprite->draw(&white, nullptr, &scale, nullptr, 0, &at, colours[q]));
    }
    device.endScene();
}

uint32_t windowPixel(int x, int y) {
    uint32_t p = 0;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadPixels(x, y, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &p);
    return p;
}

TEST(GlPresent, StretchesTheWholeBackBufferOverAWideWindow) {
    GlTestWindow wide;
    ASSERT_TRUE(wide.open(800, 450));
    auto white = wide.device->createTexture(argbImage(1, 1, [](auto, auto) { return ~0u; }));
    ASSERT_TRUE(white);
    drawQuadrants(*wide.device, *white);
    ASSERT_TRUE(wide.device->present());
    // GL window rows count from the bottom: back-buffer top-left is window top-left.
    EXPECT_TRUE(colourNear(windowPixel(2, 447), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(windowPixel(797, 447), 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(windowPixel(2, 2), 0, 0, 255, 0));
    EXPECT_TRUE(colourNear(windowPixel(797, 2), 255, 255, 0, 0));
    // The seams move with the stretch: x 320 -> 400, y 240 -> 225.
    EXPECT_TRUE(colourNear(windowPixel(396, 300), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(windowPixel(404, 300), 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(windowPixel(100, 229), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(windowPixel(100, 221), 0, 0, 255, 0));
}

TEST(GlPresent, LetterboxKeepsFourByThreeBetweenBlackBars) {
    GlTestWindow wide;
    ASSERT_TRUE(wide.open(800, 450));
    EXPECT_EQ(wide.device->presentRect(800, 450), (std::array<int, 4>{0, 0, 800, 450}));
    wide.device->setLetterbox(true);
    EXPECT_EQ(wide.device->presentRect(800, 450), (std::array<int, 4>{100, 0, 600, 450}));
    EXPECT_EQ(wide.device->presentRect(640, 600), (std::array<int, 4>{0, 60, 640, 480}));
    auto white = wide.device->createTexture(argbImage(1, 1, [](auto, auto) { return ~0u; }));
    ASSERT_TRUE(white);
    drawQuadrants(*wide.device, *white);
    ASSERT_TRUE(wide.device->present());
    EXPECT_TRUE(colourNear(windowPixel(98, 400), 0, 0, 0, 0));
    EXPECT_TRUE(colourNear(windowPixel(102, 400), 255, 0, 0, 0));
    EXPECT_TRUE(colourNear(windowPixel(697, 400), 0, 255, 0, 0));
    EXPECT_TRUE(colourNear(windowPixel(701, 400), 0, 0, 0, 0));
}

// The game's view, and a square of half side `half` at depth z facing the eye in an emissive
// colour, drawn in a scene of its own.
void setPlainView(GlDevice& device) {
    device.setTransform(TransformState::View, matrixLookAtRH({0, 0, -20}, {0, 0, 100}, {0, 1, 0}));
    device.setTransform(TransformState::Projection,
                        matrixPerspectiveFovRH(1.3962635f, 640.0f / 480.0f, 0.05f, 2700.0f));
    device.setRenderState(RenderState::ZEnable, 1);
    device.setRenderState(RenderState::ZWriteEnable, 1);
    device.setRenderState(RenderState::Lighting, 1);
    device.setRenderState(RenderState::Ambient, 0);
    device.setRenderState(RenderState::CullMode, kCullNone);
}
void drawSquare(GlDevice& device, float z, float half, float r, float b) {
    MeshData data;
    data.fvf = kFvfPositionNormal;
    for (Vec3 p : {Vec3{-half, -half, z}, Vec3{-half, half, z}, Vec3{half, half, z},
                   Vec3{-half, -half, z}, Vec3{half, half, z}, Vec3{half, -half, z}}) {
        MeshVertex v;
        v.position = p;
        v.normal = {0, 0, -1};
        data.vertices.push_back(v);
        data.indices.push_back(static_cast<uint32_t>(data.indices.size()));
    }
    data.faceSubsets.assign(2, 0);
    Material m;
    m.emissive = {r, 0, b, 0};
    EXPECT_TRUE(device.setMaterial(m));
    auto mesh = device.createMesh(std::move(data));
    EXPECT_TRUE(mesh && device.beginScene() && mesh->drawSubset(0) && device.endScene());
}

// After a red wall near the eye was presented, a blue wall behind it over the whole picture,
// drawn without a clear: the red one must stay, in colour and in depth, as when the game redraws
// its scene over the last frame.
void checkFarWallOverLastFrame(GlDevice& device, const char* what) {
    drawSquare(device, 100, 500, 0, 1);
    ASSERT_TRUE(device.present()) << what;
    std::vector<uint32_t> picture;
    ASSERT_TRUE(device.readBackBuffer(picture)) << what;
    ASSERT_EQ(picture.size(), 640u * 480u) << what;
    EXPECT_EQ(picture[240 * 640 + 320], 0xFFFF0000u) << what << ": the near wall in front";
    EXPECT_EQ(picture[20 * 640 + 20], 0xFF0000FFu) << what << ": the far wall around it";
}
void checkFrameKeptAcrossPresent(GlDevice& device, const char* what) {
    setPlainView(device);
    device.clear(kClearTarget | kClearZBuffer, 0xFF000000, 1, 0);
    drawSquare(device, 10, 5, 1, 0);
    ASSERT_TRUE(device.present()) << what;
    checkFarWallOverLastFrame(device, what);
}

TEST(GlPresent, AnOffscreenSurfaceOfTheBackBufferSizeIsTheBackBuffer) {
    {
        GlTestWindow same;
        ASSERT_TRUE(same.open(640, 480, SDL_WINDOW_OPENGL, false));
        EXPECT_TRUE(same.device->drawsIntoWindow());
        checkFrameKeptAcrossPresent(*same.device, "drawing into the window");
    }
    {
        GlTestWindow own;
        ASSERT_TRUE(own.open(640, 480, SDL_WINDOW_OPENGL, true));
        EXPECT_FALSE(own.device->drawsIntoWindow()) << "the window has no depth";
        checkFrameKeptAcrossPresent(*own.device, "drawing into its own back buffer");
    }
    GlTestWindow wide;
    ASSERT_TRUE(wide.open(800, 450, SDL_WINDOW_OPENGL, false));
    EXPECT_FALSE(wide.device->drawsIntoWindow()) << "stretched at present";
    checkFrameKeptAcrossPresent(*wide.device, "drawing into its own back buffer, stretched");
}

// Cones and translucent balls lit, fogged and crowded so that many edges meet, and a point sprite
// of a texture whose four quarters differ; the picture read back.
std::vector<uint32_t> crowdedPicture(GlDevice& device) {
    setPlainView(device);
    device.setRenderState(RenderState::CullMode, kCullCW);
    device.setRenderState(RenderState::Ambient, 0x404040);
    device.setRenderState(RenderState::FogEnable, 1);
    device.setRenderState(RenderState::FogColor, 0xFFFFFF);
    device.setRenderState(RenderState::FogTableMode, kFogExp);
    device.setRenderState(RenderState::FogDensity, floatBits(0.004f));
    device.setRenderState(RenderState::AlphaBlendEnable, 1);
    device.setRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
    device.setRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
    Light light;
    light.type = kLightDirectional;
    light.diffuse = {1, 1, 1, 0};
    light.direction = {-1, -1, 1};
    EXPECT_TRUE(device.setLight(0, light) && device.lightEnable(0, true));
    auto cone = device.createMesh(createCylinderMesh(1.0f, 0.0f, 1.0f, 8, 2));
    auto ball = device.createMesh(createSphereMesh(1.0f, 12, 12));
    auto quarters = device.createTexture(argbImage(2, 2, [](uint32_t x, uint32_t y) {
        const uint32_t c[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
        return c[y * 2 + x];
    }));
    auto points = device.createVertexBuffer(sizeof(PointVertex), kFvfPointSprite);
    EXPECT_TRUE(cone && ball && quarters && points);
    if (!cone || !ball || !quarters || !points)
        return {};
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(0, 1);
    device.clear(kClearTarget | kClearZBuffer, 0x00C0A0FF, 1, 0);
    device.beginScene();
    for (int i = 0; i < 120; ++i) {
        const float size = 1.0f + 6.0f * unit(random);
        device.setTransform(TransformState::World,
                            matrixScaling(size, size * (0.5f + 2 * unit(random)), size) *
                                matrixRotationX(6.3f * unit(random)) *
                                matrixRotationY(6.3f * unit(random)) *
                                matrixTranslation(60 * unit(random) - 30, 40 * unit(random) - 20,
                                                  40 * unit(random)));
        Material m;
        m.diffuse = {unit(random), unit(random), unit(random), i % 3 == 0 ? 0.5f : 1.0f};
        m.ambient = m.diffuse;
        device.setMaterial(m);
        (i % 3 == 0 ? ball : cone)->drawSubset(0);
    }
    // In front of everything, a little off the pixel grid.
    device.setTransform(TransformState::World, matrixTranslation(0.013f, -0.007f, -15));
    const PointVertex sprite{0, 0, 0, 0x00FFFFFF, 0, 0};
    std::memcpy(points->lock(), &sprite, sizeof sprite);
    points->unlock();
    device.setRenderState(RenderState::Lighting, 0);
    device.setRenderState(RenderState::PointSpriteEnable, 1);
    device.setRenderState(RenderState::PointSize, floatBits(37.0f));
    device.setTexture(0, quarters.get());
    device.setStreamSource(0, points.get(), sizeof(PointVertex));
    device.setVertexFormat(kFvfPointSprite);
    EXPECT_TRUE(device.drawPointList(0, 1));
    device.endScene();
    device.setTexture(0, nullptr);
    std::vector<uint32_t> picture;
    EXPECT_TRUE(device.readBackBuffer(picture));
    return picture;
}

TEST(GlPresent, ABackBufferOfTheDevicesOwnHoldsTheWindowSurfacesPixels) {
    // A desktop window's picture is drawn into a back buffer of the device's own; the headless
    // runner's and the tests' into the window's surface. Both must rasterize alike, edge for
    // edge, so that what the tests pin is what a player sees.
    std::vector<uint32_t> onSurface, ownBuffer;
    {
        GlTestWindow w;
        ASSERT_TRUE(w.open(640, 480, SDL_WINDOW_OPENGL, false));
        if (!w.device->drawsIntoWindow())
            GTEST_SKIP() << "this video driver's window surface is not the back buffer";
        onSurface = crowdedPicture(*w.device);
    }
    {
        GlTestWindow w;
        ASSERT_TRUE(w.open(640, 480, SDL_WINDOW_OPENGL, true));
        ASSERT_FALSE(w.device->drawsIntoWindow());
        ownBuffer = crowdedPicture(*w.device);
    }
    ASSERT_EQ(onSurface.size(), 640u * 480u);
    ASSERT_EQ(ownBuffer.size(), onSurface.size());
    int differing = 0, firstX = -1, firstY = -1;
    for (size_t i = 0; i < onSurface.size(); ++i)
        if (onSurface[i] != ownBuffer[i] && differing++ == 0) {
            firstX = static_cast<int>(i % 640);
            firstY = static_cast<int>(i / 640);
        }
    EXPECT_EQ(differing, 0) << "the first at " << firstX << "," << firstY;
    // The sprite's red quarter is at its top left, its white one at its bottom right (fogged a
    // little).
    EXPECT_TRUE(colourNear(ownBuffer[size_t{230} * 640 + 311], 255, 5, 5, 3));
    EXPECT_TRUE(colourNear(ownBuffer[size_t{250} * 640 + 330], 255, 255, 255, 3));
}

TEST(GlPresent, ASurfaceSmallerThanSdlSaysIsNotTheBackBuffer) {
    // The offscreen driver's surface keeps the size the window was made with.
    ASSERT_TRUE(glTestVideoReady());
    glPrepareWindowAttributes();
    SDL_Window* window = SDL_CreateWindow("Dravik", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, 800, 450, SDL_WINDOW_OPENGL);
    ASSERT_NE(window, nullptr);
    SDL_SetWindowSize(window, 640, 480);
    {
        GlGraphicsSystem system(window);
        auto device = system.createGlDevice(glTestPresentParameters());
        ASSERT_TRUE(device);
        EXPECT_FALSE(device->drawsIntoWindow());
        ASSERT_TRUE(device->clear(kClearTarget | kClearZBuffer, 0x00336699, 1, 0));
        std::vector<uint32_t> picture;
        ASSERT_TRUE(device->readBackBuffer(picture));
        ASSERT_EQ(picture.size(), 640u * 480u);
        EXPECT_EQ(picture[0], 0xFF336699u) << "the top row";
        EXPECT_EQ(picture[479 * 640 + 639], 0xFF336699u) << "the bottom row";
    }
    SDL_DestroyWindow(window);
}

TEST(GlPresent, AResizedWindowHandsItsPictureToABackBufferOfTheDevicesOwn) {
    GlTestWindow w;
    ASSERT_TRUE(w.open(640, 480, SDL_WINDOW_OPENGL, false));
    ASSERT_TRUE(w.device->drawsIntoWindow());
    auto white = w.device->createTexture(argbImage(1, 1, [](auto, auto) { return ~0u; }));
    ASSERT_TRUE(white);
    drawQuadrants(*w.device, *white);
    ASSERT_TRUE(w.device->present());
    SDL_SetWindowSize(w.window, 800, 450);
    ASSERT_TRUE(w.device->present());
    EXPECT_FALSE(w.device->drawsIntoWindow());
    std::vector<uint32_t> picture;
    ASSERT_TRUE(w.device->readBackBuffer(picture));
    ASSERT_EQ(picture.size(), 640u * 480u);
    EXPECT_EQ(picture[10 * 640 + 10], 0xFFFF0000u);
    EXPECT_EQ(picture[10 * 640 + 630], 0xFF00FF00u);
    EXPECT_EQ(picture[470 * 640 + 10], 0xFF0000FFu);
    EXPECT_EQ(picture[470 * 640 + 630], 0xFFFFFF00u);

    // Depth moves too: a wall drawn before the move still hides one drawn behind it after.
    GlTestWindow d;
    ASSERT_TRUE(d.open(640, 480, SDL_WINDOW_OPENGL, false));
    ASSERT_TRUE(d.device->drawsIntoWindow());
    setPlainView(*d.device);
    d.device->clear(kClearTarget | kClearZBuffer, 0xFF000000, 1, 0);
    drawSquare(*d.device, 10, 5, 1, 0);
    ASSERT_TRUE(d.device->present());
    SDL_SetWindowSize(d.window, 800, 450);
    ASSERT_TRUE(d.device->present());
    ASSERT_FALSE(d.device->drawsIntoWindow());
    checkFarWallOverLastFrame(*d.device, "after the move");
}

TEST_F(GlDeviceTest, ResizedWindowIsFilledAndTheBackBufferStays640By480) {
    SDL_SetWindowSize(win.window, 800, 450);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(win.window, &w, &h);
    ASSERT_EQ(w, 800);
    ASSERT_EQ(h, 450);
    EXPECT_EQ(dev->presentRect(w, h), (std::array<int, 4>{0, 0, 800, 450}));
    dev->clear(kClearTarget, 0x00123456, 1, 0);
    EXPECT_TRUE(dev->present());
    grab();
    EXPECT_EQ(pixels.size(), 640u * 480u);
    EXPECT_EQ(at(639, 479), 0xFF123456u);
}

TEST_F(GlDeviceTest, ResourcesOutliveTheirDeviceHarmlessly) {
    auto texture = dev->createTexture(argbImage(2, 2, [](auto, auto) { return ~0u; }));
    auto buffer = dev->createVertexBuffer(48, kFvfPointSprite);
    auto mesh = wall(10, 5);
    auto sprite = dev->createSprite();
    ASSERT_TRUE(texture && buffer && mesh && sprite);
    EXPECT_NE(buffer->lock(), nullptr);
    buffer->unlock();
    win.device.reset();
    EXPECT_EQ(buffer->lock(), nullptr);
    EXPECT_FALSE(mesh->drawSubset(0));
    EXPECT_FALSE(sprite->begin());
    EXPECT_FALSE(sprite->draw(texture.get(), nullptr, nullptr, nullptr, 0, nullptr, ~0u));
    EXPECT_EQ(texture->width(), 2u);
    texture.reset();
    buffer.reset();
    mesh.reset();
}

TEST_F(GlDeviceTest, ADestroyedTextureOrBufferIsNoLongerBound) {
    setGameView();
    dev->setRenderState(RenderState::FogEnable, 0);
    dev->setRenderState(RenderState::Lighting, 0);
    auto texture = dev->createTexture(argbImage(1, 1, [](auto, auto) { return 0xFF0000FFu; }));
    auto buffer = dev->createVertexBuffer(24, kFvfPointSprite);
    auto mesh = wall(10, 50);
    ASSERT_TRUE(texture && buffer && mesh);
    ASSERT_TRUE(dev->setTexture(0, texture.get()));
    ASSERT_TRUE(dev->setStreamSource(0, buffer.get(), 24));
    texture.reset();
    buffer.reset();
    dev->clear(kClearTarget | kClearZBuffer, 0, 1, 0);
    drawInScene(*mesh);  // untextured: white
    grab();
    EXPECT_TRUE(colourNear(at(320, 240), 255, 255, 255, 0));
    dev->beginScene();
    EXPECT_FALSE(dev->drawPointList(0, 1));
    dev->endScene();
}

TEST_F(GlDeviceTest, StateCallsRefuseWhatTheDeviceCannotHold) {
    EXPECT_FALSE(dev->setRenderState(RenderState::Count, 1));
    EXPECT_FALSE(dev->setTexture(8, nullptr));
    EXPECT_TRUE(dev->setTexture(7, nullptr));
    Light light;
    light.direction = {0, 0, 0};
    EXPECT_FALSE(dev->setLight(0, light)) << "a directional light needs a direction";
    light.direction = {0, 0, 1};
    light.type = 1;  // point light
    EXPECT_FALSE(dev->setLight(0, light));
    light.type = kLightDirectional;
    EXPECT_FALSE(dev->setLight(8, light));
    EXPECT_TRUE(dev->setLight(7, light));
    EXPECT_FALSE(dev->lightEnable(8, true));
    EXPECT_FALSE(dev->setStreamSource(1, nullptr, 24));
    EXPECT_FALSE(dev->setVertexFormat(0x004)) << "transformed positions are not drawn";
    EXPECT_FALSE(dev->setVertexFormat(kFvfPointSprite | 0x1000));
    EXPECT_TRUE(dev->setVertexFormat(kFvfPointSprite));
    EXPECT_EQ(dev->createVertexBuffer(0, kFvfPointSprite), nullptr);
    EXPECT_EQ(dev->createVertexBuffer(0xFFFFFFFFu, kFvfPointSprite), nullptr);
}

}  // namespace
