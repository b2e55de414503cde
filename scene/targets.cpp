// The four targets: moved without wrapping, drawn translucent without fog, and tested for a pass.
#include "scene/targets.h"

#include <cmath>

#include "audio/sound_system.h"
#include "game/flight_pose.h"
#include "game/game_state.h"
#include "gfx/portable_trig.h"
#include "scene/device_setup.h"
#include "scene/obstacles.h"

namespace {

void passTargets(bool move) {
    float h = game.heading * kDegToRad;
    float v = game.speed;
    for (int i = 0; i < TargetCount; ++i) {
        Vec3& p = game.targetPositions[i];
        if (move) {
            p.z = p.z - portableCos(h) * v;
            p.x = p.x + portableSin(h) * v;
        }

        float r = game.targetRadii[i];
        if (game.targetPassed[i] == 0 && game.bumping == 0 &&
            touchesCone(p.x, p.y, p.z, r, 5 * r, game.groundLevel)) {
            game.targetPassed[i] = 1;
            game.passTimes[i] = game.elapsedTenths;
            if (game.passTimes[i] <= game.bestPassTimes[i]) {
                game.lastPassRecord = 1;
                if (game.soundSystem)
                    game.soundSystem->playSound(1);
                game.bestPassTimes[i] = game.passTimes[i];
            } else {
                game.lastPassRecord = 0;
                if (game.soundSystem)
                    game.soundSystem->playSound(2);
            }
            game.allTargetsPassed = 1;
            for (int k = 0; k < TargetCount; ++k) {
                if (game.targetPassed[k] == 0) {
                    game.currentTarget = k;
                    game.allTargetsPassed = 0;
                    break;
                }
            }
        }
    }
}

}  // namespace

void moveTargets() {
    passTargets(true);
}

void touchTargets() {
    passTargets(false);
}

bool drawTargets(const GameState& state) {
    return drawTargets(state, poseOf(state));
}

bool drawTargets(const GameState& state, const FlightPose& pose) {
    GraphicsDevice& device = *state.device;
    device.setRenderState(RenderState::FogEnable, 0);
    Matrix headingTurn = matrixRotationY(pose.heading * kDegToRad);

    for (int i = 0; i < TargetCount; ++i) {
        const Vec3& p = pose.targetPositions[i];
        float r = state.targetRadii[i];
        const Matrix local = matrixTranslation(0, 1, 0) * matrixScaling(r, 5 * r, r);
        // The targets tumble with the tumble after the step's turn, unlike the cones.
        device.setTransform(TransformState::World, placeOnField(local, p, pose, headingTurn,
                                                                state.bumping, pose.bumpTumble));

        const Colour4& c = state.targetColours[i];
        applyMaterial(device, c.r, c.g, c.b, c.a, 1);
        if (state.targetMeshes[i])
            state.targetMeshes[i]->drawSubset(0);
    }

    device.setRenderState(RenderState::FogEnable, 1);
    return true;
}
