// The obstacle field: 250 cones moved opposite to the flight, wrapped inside a 6000 by 6000
// square, drawn and tested for contact with the plane.
#include "scene/obstacles.h"

#include <cmath>

#include "audio/sound_system.h"
#include "game/game_state.h"
#include "gfx/primitive_meshes.h"
#include "scene/device_setup.h"

namespace {

constexpr float kHalfField = 3000.0f;

// Moves one coordinate and wraps it back into -3000..3000; the edges themselves stay.
float wrap(float v) {
    if (v < -kHalfField)
        v = v + 6000.0f;
    if (v > kHalfField)
        v = v - 6000.0f;
    return v;
}

}  // namespace

bool createSceneMeshes() {
    GraphicsDevice& device = *game.device;
    for (int i = 0; i < ObstacleCount; ++i) {
        game.obstacleMeshes[i] = device.createMesh(createCylinderMesh(1.0f, 0.0f, 1.0f, 8, 2));
        if (!game.obstacleMeshes[i])
            return false;
    }
    for (int i = 0; i < TargetCount; ++i) {
        game.targetMeshes[i] = device.createMesh(createSphereMesh(1.0f, 12, 12));
        if (!game.targetMeshes[i])
            return false;
    }
    return true;
}

void releaseSceneMeshes() {
    for (auto& mesh : game.obstacleMeshes) mesh.reset();
    for (auto& mesh : game.targetMeshes) mesh.reset();
}

bool touchesCone(float x, float /*y*/, float z, float radius, float height, float groundLevel) {
    if (game.gameOver)
        return false;
    if (groundLevel > 0)
        return true;
    float altitude = -groundLevel;
    if (height <= altitude)
        return false;
    float r = (height - altitude) * radius / height;
    return x * x + z * z <= r * r;
}

bool drawObstacles(bool moving) {
    GraphicsDevice& device = *game.device;
    float h = game.heading * kDegToRad;
    float v = game.speed;
    Matrix headingTurn = matrixRotationY(h);

    for (int i = 0; i < ObstacleCount; ++i) {
        Vec3& p = game.obstaclePositions[i];
        if (moving) {
            p.z = wrap(p.z - std::cos(h) * v);
            p.x = wrap(p.x + std::sin(h) * v);
        }

        float radius = game.obstacleRadii[i];
        float height = game.obstacleHeights[i];
        Matrix world = matrixRotationX(-1.5707964f) * matrixTranslation(0, 0.5f, 0) *
                       matrixScaling(radius, height, radius) *
                       matrixTranslation(p.x, game.groundLevel, p.z) * headingTurn;
        if (game.cockpitView == 1) {
            world = world * matrixRotationZ(game.bank * kDegToRad);
            if (game.bumping) {
                world = world * matrixRotationX(game.bumpTumble * kDegToRad);
                game.clearColour = 0xFFFF8888;
            }
        }
        device.setTransform(TransformState::World, world);

        const Rgb& c = game.obstacleColours[i];
        applyMaterial(c.r, c.g, c.b, game.sceneFade, 0);
        if (game.obstacleMeshes[i])
            game.obstacleMeshes[i]->drawSubset(0);

        if (touchesCone(p.x, p.y, p.z, radius, height, game.groundLevel)) {
            game.bumping = 1;
            if (game.soundSystem)
                game.soundSystem->playSound(0);
        }
    }

    if (game.bumping && game.cockpitView) {
        if (moving)
            game.bumpTumble = game.bumpTumble + 10;
        if (game.bumpTumble > 90)
            game.bumpTumble = 90;
    }
    return true;
}
