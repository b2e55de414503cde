// The ghost plane: the player's plane model with its materials paled and made translucent, placed
// by the recorded flight's pose relative to the player's.
#include "aircraft/ghost_plane.h"

#include <cmath>

#include "aircraft/plane_model.h"
#include "game/flight_pose.h"
#include "game/game_state.h"
#include "gfx/graphics_device.h"

namespace {

constexpr float kPi = 3.141592654f;
// The flight's ambient level, which the targets after the ghost are drawn with.
constexpr uint32_t kFlightAmbient = 0x00404040;
// A bright, neutral light for the ghost alone: never the red of a bump.
constexpr uint32_t kGhostAmbient = 0x00A0A0A0;
constexpr float kGhostAlpha = 0.45f;
// How far towards white the model's colours are moved.
constexpr float kLighten = 0.5f;
// A ghost whose centre is this far behind the eye cannot show (the model is 5 units across), and
// one farther away than this is less than a pixel or two: neither is drawn.
constexpr float kBehindEye = 5.0f;
constexpr float kFarthestShown = 3000.0f;
constexpr float kChaseEyeZ = -20.0f;

float lighter(float c) {
    return c + (1.0f - c) * kLighten;
}

Colour4 paled(const Colour4& c) {
    return {lighter(c.r), lighter(c.g), lighter(c.b), kGhostAlpha};
}

}  // namespace

GhostPose viewerPose(const GameState& state, const GhostPath& path) {
    return viewerPose(poseOf(state), path);
}

GhostPose viewerPose(const FlightPose& flight, const GhostPath& path) {
    return groundPoseOf(flight, path.origin);
}

Matrix ghostWorldMatrix(const GhostPose& ghostPose, const GhostPose& viewer, bool cockpitView,
                        float modelScale) {
    float s = modelScale;
    // The plane as the player's is drawn, then turned from the ghost's heading into the ground's
    // frame, moved to its place and seen as the field is seen.
    Matrix world = matrixRotationY(kPi) * matrixRotationZ(2.0f * ghostPose.bank * kDegToRad) *
                   matrixScaling(s, s, s) * matrixRotationY(-(ghostPose.bank / 2.0f) * kDegToRad);
    if (ghostPose.tumble != 0.0f)
        world = world * matrixRotationX(ghostPose.tumble * kDegToRad);
    world = world * matrixRotationY(-ghostPose.heading * kDegToRad) *
            matrixTranslation(ghostPose.x - viewer.x, viewer.groundLevel - ghostPose.groundLevel,
                              ghostPose.z - viewer.z) *
            matrixRotationY(viewer.heading * kDegToRad);
    if (cockpitView) {
        world = world * matrixRotationZ(viewer.bank * kDegToRad);
        if (viewer.tumble != 0.0f)
            world = world * matrixRotationX(viewer.tumble * kDegToRad);
    }
    return world;
}

void drawGhostPlane(GraphicsDevice& device, const PlaneModel& model, const GhostPose& ghostPose,
                    const GhostPose& viewer, bool cockpitView) {
    if (!model.mesh || !(model.boundingRadius > 0))
        return;
    float s = 5.0f / model.boundingRadius;
    Matrix world = ghostWorldMatrix(ghostPose, viewer, cockpitView, s);
    Vec3 at = transformCoord({0, 0, 0}, world);
    float eyeZ = cockpitView ? 0.0f : kChaseEyeZ;
    if (at.z < eyeZ - kBehindEye ||
        at.x * at.x + at.y * at.y + at.z * at.z > kFarthestShown * kFarthestShown)
        return;
    device.setTransform(TransformState::World, world);
    device.setRenderState(RenderState::FogEnable, 0);
    device.setRenderState(RenderState::Ambient, kGhostAmbient);
    for (uint32_t i = 0; i < model.materialCount && i < model.materials.size(); ++i) {
        Material m = model.materials[i];
        m.diffuse = paled(m.diffuse);
        m.ambient = paled(m.ambient);
        m.emissive = {0.25f, 0.25f, 0.25f, 0};
        device.setMaterial(m);
        device.setTexture(0, i < model.textures.size() ? model.textures[i].get() : nullptr);
        model.mesh->drawSubset(i);
    }
    device.setTexture(0, nullptr);
    device.setRenderState(RenderState::Ambient, kFlightAmbient);
    device.setRenderState(RenderState::FogEnable, 1);
}

namespace {

float mixed(float a, float b, float t) {
    return a + (b - a) * t;
}

GhostPose mixedPose(const GhostPose& a, const GhostPose& b, float t) {
    GhostPose p = b;
    p.x = mixed(a.x, b.x, t);
    p.z = mixed(a.z, b.z, t);
    p.heading = mixed(a.heading, b.heading, t);
    p.bank = mixed(a.bank, b.bank, t);
    p.groundLevel = mixed(a.groundLevel, b.groundLevel, t);
    // A tumble blends only within one bump: it starts from and falls back to 0.
    if (a.tumble != 0.0f && b.tumble != 0.0f) {
        float d = std::fmod(b.tumble - a.tumble, 360.0f);
        if (d > 180.0f)
            d -= 360.0f;
        else if (d < -180.0f)
            d += 360.0f;
        p.tumble = a.tumble + d * t;
    }
    return p;
}

}  // namespace

void drawGhost(const GameState& state, const FlightPose& pose) {
    if (!ghost.shown() || !state.device || !state.planeModel)
        return;
    const GhostPath& path = *ghost.path;
    uint64_t index = ghostStepIndex(state);
    if (index >= path.poses.size())
        return;
    GhostPose at = path.poses[index];
    // The viewer as this frame draws the player (blended between steps).
    GhostPose viewer = viewerPose(pose, path);
    if (pose.fraction < 1.0f && index > 0)
        at = mixedPose(path.poses[index - 1], at, pose.fraction);
    if (at.x == viewer.x && at.z == viewer.z && at.heading == viewer.heading &&
        at.groundLevel == viewer.groundLevel)
        return;
    drawGhostPlane(*state.device, *state.planeModel, at, viewer, pose.cockpitView != 0);
}
