// The graphics device for the game window, the view and projection, the fixed render states, the
// two materials and the one directional light.
#include "scene/device_setup.h"

#include "app/window_services.h"
#include "game/game_state.h"

namespace {

constexpr float kFieldOfView = 1.3962635f;  // 80 degrees
constexpr float kNearPlane = 0.05f;
constexpr float kFarPlane = 2700.0f;

}  // namespace

bool createDevice() {
    game.direct3d = game.graphicsPlatform;
    if (!game.direct3d)
        return false;
    if (!game.direct3d->displayMode())
        return false;

    PresentParameters params;
    params.backBufferWidth = 640;
    params.backBufferHeight = 480;
    params.backBufferCount = 1;
    params.windowed = true;
    params.autoDepthStencil = true;
    params.depthBits = 16;
    game.presentParameters = params;

    game.device = game.direct3d->createDevice(game.presentParameters);
    return game.device != nullptr;
}

void setViewForCurrentEye() {
    Vec3 eye = game.cockpitView ? game.cockpitEye : game.chaseEye;
    game.viewMatrix = matrixLookAtRH(eye, game.lookAtPoint, {0, 1, 0});
    if (game.device)
        game.device->setTransform(TransformState::View, game.viewMatrix);
}

bool setUpView() {
    ClientRect client;
    if (game.mainWindow)
        client = game.mainWindow->clientRect();
    GraphicsDevice& device = *game.device;

    game.viewMatrix = matrixLookAtRH(game.cockpitEye, game.lookAtPoint, {0, 1, 0});
    // A minimised or zero-height client area would give a division by zero; keep 4:3 then.
    float aspect = client.bottom > 0 && client.right > 0
                       ? static_cast<float>(client.right) / static_cast<float>(client.bottom)
                       : 640.0f / 480.0f;
    game.projectionMatrix = matrixPerspectiveFovRH(kFieldOfView, aspect, kNearPlane, kFarPlane);
    device.setTransform(TransformState::View, game.viewMatrix);
    device.setTransform(TransformState::Projection, game.projectionMatrix);

    device.setRenderState(RenderState::CullMode, kCullCW);
    device.setRenderState(RenderState::Lighting, 1);
    device.setRenderState(RenderState::SpecularEnable, 1);
    device.setRenderState(RenderState::ShadeMode, kShadeGouraud);
    device.setRenderState(RenderState::ZEnable, 1);
    device.setRenderState(RenderState::ZWriteEnable, 1);
    device.setRenderState(RenderState::Ambient, 0x404040);
    device.setRenderState(RenderState::NormalizeNormals, 1);
    device.setRenderState(RenderState::AlphaBlendEnable, 1);
    device.setRenderState(RenderState::SrcBlend, kBlendSrcAlpha);
    device.setRenderState(RenderState::DestBlend, kBlendInvSrcAlpha);
    device.setRenderState(RenderState::FogEnable, 1);
    device.setRenderState(RenderState::FogColor, 0xFFFFFF);
    device.setRenderState(RenderState::FogTableMode, kFogExp);
    device.setRenderState(RenderState::FogVertexMode, kFogNone);
    device.setRenderState(RenderState::FogDensity, floatBits(0.0004f));
    return true;
}

bool applyMaterial(GraphicsDevice& device, float r, float g, float b, float a, int kind) {
    Material material;
    material.diffuse = {r, g, b, a};
    material.ambient = {r, g, b, a};
    if (kind == 1) {
        material.emissive = {0.4f, 0.4f, 0.4f, 0};
        material.specular = {0.2f, 0.2f, 0.2f, 0};
    } else {
        material.emissive = {0, 0, 0, 0};
        material.specular = {0.9f, 0.9f, 0.9f, 0};
    }
    material.power = 1.0f;
    device.setMaterial(material);
    return true;
}

bool updateLight(const GameState& state, float angle) {
    return updateLight(state, state.heading, angle);
}

bool updateLight(const GameState& state, float heading, float angle) {
    Vec3 d{-1, -1, 1};
    d = transformNormal(d, matrixRotationY(heading * kDegToRad));
    if (state.cockpitView == 1)
        d = transformNormal(d, matrixRotationZ(-angle * kDegToRad));

    Light light;
    light.type = kLightDirectional;
    light.diffuse = {1, 1, 1, 0};
    light.direction = d;
    state.device->setLight(0, light);
    state.device->lightEnable(0, true);
    return true;
}

void releaseDevice() {
    game.device.reset();
    game.direct3d = nullptr;
}
