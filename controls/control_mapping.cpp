// Turning one frame's turn and speed inputs into changes of the flight values of the game state.
// Every value is single precision and computed in a fixed order, because a replay must land on
// the same bits as the flight it was recorded from.
#include "controls/control_mapping.h"

#include "game/game_state.h"

void applyTurnInput(int16_t v) {
    if (game.bumping) {
        return;
    }
    // Dead zone: a mouse at rest still twitches by a count or two.
    if (v > -3 && v < 3) {
        v = 0;
    }
    float q = static_cast<float>(v) / 120.0f;
    // Faster flight turns harder for the same input.
    game.turnDelta = (game.speed + 10.0f) / 40.0f * q;
}

void applySpeedInput(int16_t v) {
    if (game.bumping || game.introActive) {
        return;
    }
    game.speedDelta = game.speedDelta - static_cast<float>(v) / 30.0f;
    // The floor applies now, before this frame's step subtracts the delta.
    if (game.speed < 10.0f) {
        game.speed = 10.0f;
    }
    game.tempoDirty = 1;
}
