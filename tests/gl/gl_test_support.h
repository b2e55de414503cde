// Shared set-up of the GL tests: a window on SDL's offscreen video driver (no display needed)
// with a GL device, the game's view and render states, and back-buffer pixel helpers.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "gfx/graphics_device.h"
#include "gfx/math.h"
#include "platform/gl_device.h"

// SDL's video, once per test program, on the offscreen driver.
inline bool glTestVideoReady() {
    static const bool ready = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
            return false;
        }
        return true;
    }();
    return ready;
}

// The back buffer the game asks for: 640 x 480 in a window, with depth.
inline PresentParameters glTestPresentParameters() {
    PresentParameters params;
    params.backBufferWidth = 640;
    params.backBufferHeight = 480;
    params.backBufferCount = 1;
    params.windowed = true;
    params.autoDepthStencil = true;
    params.depthBits = 16;
    return params;
}

struct GlTestWindow {
    SDL_Window* window = nullptr;
    std::unique_ptr<GlGraphicsSystem> system;
    std::unique_ptr<GlDevice> device;

    // ownBackBuffer: a window without depth, so that the device draws into a back buffer of its
    // own as on a desktop's double-buffered window, not into the offscreen surface. The test
    // programs run once each way (DRAVIK_TEST_OWN_BACK_BUFFER set for the second run).
    static bool ownBackBufferByDefault() { return std::getenv("DRAVIK_TEST_OWN_BACK_BUFFER"); }

    bool open(int width = 640, int height = 480, uint32_t flags = SDL_WINDOW_OPENGL,
              bool ownBackBuffer = ownBackBufferByDefault()) {
        if (!glTestVideoReady())
            return false;
        glPrepareWindowAttributes();
        if (ownBackBuffer) {
            SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
            SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        }
        window = SDL_CreateWindow("Dravik", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                  height, flags);
        if (!window)
            return false;
        system = std::make_unique<GlGraphicsSystem>(window);
        device = system->createGlDevice(glTestPresentParameters());
        return device != nullptr;
    }
    ~GlTestWindow() {
        device.reset();
        system.reset();
        if (window)
            SDL_DestroyWindow(window);
    }
};

inline int redOf(uint32_t c) {
    return (c >> 16) & 0xFF;
}
inline int greenOf(uint32_t c) {
    return (c >> 8) & 0xFF;
}
inline int blueOf(uint32_t c) {
    return c & 0xFF;
}

inline ::testing::AssertionResult colourNear(uint32_t actual, int r, int g, int b, int tolerance) {
    if (std::abs(redOf(actual) - r) <= tolerance && std::abs(greenOf(actual) - g) <= tolerance &&
        std::abs(blueOf(actual) - b) <= tolerance)
        return ::testing::AssertionSuccess();
    char text[160];
    std::snprintf(text, sizeof text, "pixel 0x%08X is (%d, %d, %d), expected (%d, %d, %d) +- %d",
                  actual, redOf(actual), greenOf(actual), blueOf(actual), r, g, b, tolerance);
    return ::testing::AssertionFailure() << text;
}

// A 0..1 channel value as a byte, the way the expected colours are computed by hand.
inline int level(double v) {
    return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

// A texture of width x height 0xAARRGGBB texels given by texel(x, y).
template <typename F>
Image argbImage(uint32_t width, uint32_t height, F texel) {
    Image image;
    image.width = width;
    image.height = height;
    image.format = PixelFormat::Argb8888;
    image.data.resize(size_t{width} * height * 4);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t c = texel(x, y);
            uint8_t* p = image.data.data() + (size_t{y} * width + x) * 4;
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
            p[3] = (c >> 24) & 0xFF;
        }
    return image;
}

class GlDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(win.open()) << "no GL device on the offscreen driver";
        dev = win.device.get();
    }

    // The game's view set-up: camera at `eye` looking along +z, 80 degrees, 4:3, 0.05..2700,
    // and the render states it sets once.
    void setGameView(Vec3 eye = {0, 0, -20}) {
        dev->setTransform(TransformState::View, matrixLookAtRH(eye, {0, 0, 100}, {0, 1, 0}));
        dev->setTransform(TransformState::Projection,
                          matrixPerspectiveFovRH(1.3962635f, 640.0f / 480.0f, 0.05f, 2700.0f));
        dev->setRenderState(RenderState::CullMode, kCullCW);
        dev->setRenderState(RenderState::Lighting, 1);
        dev->setRenderState(RenderState::SpecularEnable, 1);
        dev->setRenderState(RenderState::ShadeMode, kShadeGouraud);
        dev->setRenderState(RenderState::ZEnable, 1);
        dev->setRenderState(RenderState::ZWriteEnable, 1);
        dev->setRenderState(RenderState::Ambient, 0x404040);
        dev->setRenderState(RenderState::NormalizeNormals, 1);
        dev->setRenderState(RenderState::AlphaBlendEnable, 1);
        dev->setRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
        dev->setRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
        dev->setRenderState(RenderState::FogEnable, 1);
        dev->setRenderState(RenderState::FogColor, 0xFFFFFF);
        dev->setRenderState(RenderState::FogTableMode, kFogExp);
        dev->setRenderState(RenderState::FogVertexMode, kFogNone);
        dev->setRenderState(RenderState::FogDensity, floatBits(0.0004f));
    }

    // The game's light: white, directional, (-1, -1, 1) unnormalised.
    void setGameLight(Vec3 direction = {-1, -1, 1}) {
        Light light;
        light.type = kLightDirectional;
        light.diffuse = {1, 1, 1, 0};
        light.direction = direction;
        ASSERT_TRUE(dev->setLight(0, light));
        ASSERT_TRUE(dev->lightEnable(0, true));
    }

    // Where a world point lands in back-buffer pixels under the current game view.
    static Vec2 project(Vec3 world, Vec3 eye = {0, 0, -20}) {
        Matrix vp = matrixLookAtRH(eye, {0, 0, 100}, {0, 1, 0}) *
                    matrixPerspectiveFovRH(1.3962635f, 640.0f / 480.0f, 0.05f, 2700.0f);
        Vec3 ndc = transformCoord(world, vp);
        return {(ndc.x + 1) * 320, (1 - ndc.y) * 240};
    }

    void grab() { ASSERT_TRUE(dev->readBackBuffer(pixels)); }
    // A pixel of the last grab(); 0 (never a back-buffer value: alpha is 0xFF) off the picture.
    uint32_t at(int x, int y) const {
        if (x < 0 || y < 0 || x >= 640 || y >= 480 || pixels.size() != 640u * 480u) {
            ADD_FAILURE() << "pixel " << x << "," << y << " is off the back buffer";
            return 0;
        }
        return pixels[static_cast<size_t>(y) * 640 + x];
    }

    // A mesh of the given triangles, position and one shared normal per vertex.
    std::unique_ptr<Mesh> triangles(const std::vector<Vec3>& corners, Vec3 normal,
                                    uint32_t fvf = kFvfPositionNormal) {
        MeshData data;
        data.fvf = fvf;
        for (size_t i = 0; i < corners.size(); ++i) {
            MeshVertex v;
            v.position = corners[i];
            v.normal = normal;
            data.vertices.push_back(v);
            data.indices.push_back(static_cast<uint32_t>(i));
        }
        data.faceSubsets.assign(corners.size() / 3, 0);
        return dev->createMesh(std::move(data));
    }

    // A square of side 2 half at world depth z around (cx, cy), facing the eye (its plain cross
    // products point to -z), normal (0, 0, -1).
    std::unique_ptr<Mesh> wall(float z, float half, float cx = 0, float cy = 0) {
        Vec3 a{cx - half, cy - half, z}, b{cx - half, cy + half, z}, c{cx + half, cy + half, z},
            d{cx + half, cy - half, z};
        return triangles({a, b, c, a, c, d}, {0, 0, -1});
    }

    // A material that shows exactly (r, g, b) whatever the lights: emission only.
    void setSolidMaterial(float r, float g, float b, float alpha = 1) {
        Material m;
        m.diffuse = {0, 0, 0, alpha};
        m.emissive = {r, g, b, 0};
        ASSERT_TRUE(dev->setMaterial(m));
    }

    // Draws one subset-0 mesh inside its own scene.
    void drawInScene(Mesh& mesh) {
        ASSERT_TRUE(dev->beginScene());
        EXPECT_TRUE(mesh.drawSubset(0));
        ASSERT_TRUE(dev->endScene());
    }

    GlTestWindow win;
    GlDevice* dev = nullptr;
    std::vector<uint32_t> pixels;
};
