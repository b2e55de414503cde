// The obstacle field: 250 cones moved opposite to the flight, wrapped inside a 6000 by 6000
// square, drawn and tested for contact with the plane.
#include "scene/obstacles.h"

#include <cmath>

#include "audio/sound_system.h"
#include "game/flight_pose.h"
#include "game/game_state.h"
#include "gfx/portable_trig.h"
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

namespace {

// The cones in index order, each moved (when `move` is set) and tested for contact right after
// it, so that the cones after the first touch already see the bump.
void passObstacles(bool move) {
    float h = game.heading * kDegToRad;
    float v = game.speed;
    for (int i = 0; i < ObstacleCount; ++i) {
        Vec3& p = game.obstaclePositions[i];
        if (move) {
            p.z = wrap(p.z - portableCos(h) * v);
            p.x = wrap(p.x + portableSin(h) * v);
        }
        // The pink sky of a bump in the cockpit view, set by every cone that comes after the
        // bump began; the next frame clears with it.
        if (game.cockpitView == 1 && game.bumping)
            game.clearColour = 0xFFFF8888;
        if (touchesCone(p.x, p.y, p.z, game.obstacleRadii[i], game.obstacleHeights[i],
                        game.groundLevel)) {
            game.bumping = 1;
            if (game.soundSystem)
                game.soundSystem->playSound(0);
        }
    }

    if (game.bumping && game.cockpitView) {
        if (move)
            game.bumpTumble = game.bumpTumble + 10;
        if (game.bumpTumble > 90)
            game.bumpTumble = 90;
    }
}

}  // namespace

void moveObstacles() {
    passObstacles(true);
}

void touchObstacles() {
    passObstacles(false);
}

Matrix placeOnField(const Matrix& local, const Vec3& at, const FlightPose& pose,
                    const Matrix& headingTurn, bool bumping, float tumbleDegrees) {
    Matrix world = local * matrixTranslation(at.x, pose.groundLevel, at.z) * headingTurn;
    if (pose.cockpitView == 1) {
        world = world * matrixRotationZ(pose.bank * kDegToRad);
        if (bumping)
            world = world * matrixRotationX(tumbleDegrees * kDegToRad);
    }
    return world;
}

bool drawObstacles(const GameState& state) {
    return drawObstacles(state, poseOf(state));
}

bool drawObstacles(const GameState& state, const FlightPose& pose) {
    GraphicsDevice& device = *state.device;
    Matrix headingTurn = matrixRotationY(pose.heading * kDegToRad);

    for (int i = 0; i < ObstacleCount; ++i) {
        const Vec3& p = pose.obstaclePositions[i];
        float radius = state.obstacleRadii[i];
        float height = state.obstacleHeights[i];
        const Matrix local = matrixRotationX(-1.5707964f) * matrixTranslation(0, 0.5f, 0) *
                             matrixScaling(radius, height, radius);
        // The whole field tumbles with the tumble the step began with.
        device.setTransform(TransformState::World, placeOnField(local, p, pose, headingTurn,
                                                                state.bumping, pose.drawnTumble));

        const Rgb& c = state.obstacleColours[i];
        applyMaterial(device, c.r, c.g, c.b, state.sceneFade, 0);
        if (state.obstacleMeshes[i])
            state.obstacleMeshes[i]->drawSubset(0);
    }
    return true;
}
