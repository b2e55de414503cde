// The four targets: moved without wrapping, drawn translucent without fog, and tested for a pass.
#include "scene/targets.h"

#include <cmath>

#include "audio/sound_system.h"
#include "game/game_state.h"
#include "scene/device_setup.h"
#include "scene/obstacles.h"

bool drawTargets(bool moving) {
    GraphicsDevice& device = *game.device;
    device.setRenderState(RenderState::FogEnable, 0);

    float h = game.heading * kDegToRad;
    float v = game.speed;
    Matrix headingTurn = matrixRotationY(h);

    for (int i = 0; i < TargetCount; ++i) {
        Vec3& p = game.targetPositions[i];
        if (moving) {
            p.z = p.z - std::cos(h) * v;
            p.x = p.x + std::sin(h) * v;
        }

        float r = game.targetRadii[i];
        Matrix world = matrixTranslation(0, 1, 0) * matrixScaling(r, 5 * r, r) *
                       matrixTranslation(p.x, game.groundLevel, p.z) * headingTurn;
        if (game.cockpitView == 1) {
            world = world * matrixRotationZ(game.bank * kDegToRad);
            if (game.bumping)
                world = world * matrixRotationX(game.bumpTumble * kDegToRad);
        }
        device.setTransform(TransformState::World, world);

        const Colour4& c = game.targetColours[i];
        applyMaterial(c.r, c.g, c.b, c.a, 1);
        if (game.targetMeshes[i])
            game.targetMeshes[i]->drawSubset(0);

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

    device.setRenderState(RenderState::FogEnable, 1);
    return true;
}
