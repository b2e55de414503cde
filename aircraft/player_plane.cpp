// The player's plane in flight: rolled by twice the bank, yawed by half of it the other way, and
// tumbling under a red light while it bounces off a cone.
#include "aircraft/player_plane.h"

#include "aircraft/plane_model.h"
#include "game/flight_pose.h"
#include "game/game_state.h"

namespace {

constexpr float kPi = 3.141592654f;
constexpr uint32_t kFlightAmbient = 0x00404040;
constexpr uint32_t kBumpAmbient = 0x00F02020;

}  // namespace

void tumblePlayerPlane() {
    if (!game.bumping)
        return;
    game.bumpTumble += 20.0f;
    if (game.bumpTumble > 360.0f)
        game.bumpTumble -= 360.0f;
}

int drawPlayerPlane(const GameState& state) {
    return drawPlayerPlane(state, poseOf(state));
}

int drawPlayerPlane(const GameState& state, const FlightPose& pose) {
    if (!state.device || !state.planeModel)
        return 1;
    GraphicsDevice& device = *state.device;

    // Scaled so that the bounding sphere is 5 world units across whatever the file's units.
    float s = 5.0f / state.planeModel->boundingRadius;
    Matrix world = matrixRotationY(kPi) * matrixRotationZ(2.0f * pose.bank * kDegToRad) *
                   matrixScaling(s, s, s) * matrixRotationY(-(pose.bank / 2.0f) * kDegToRad);

    if (state.bumping) {
        // Drawn with the tumble the step began with; the step turns it on for the next frame.
        world = world * matrixRotationX(pose.drawnTumble * kDegToRad);
        device.setRenderState(RenderState::Ambient, kBumpAmbient);
    }

    device.setTransform(TransformState::World, world);
    state.planeModel->draw(device);
    device.setRenderState(RenderState::Ambient, kFlightAmbient);
    return 1;
}
