// The conditions of the key commands.
#include "game/command_keys.h"

#include "audio/sound_system.h"
#include "game/game_state.h"

bool soundSystemUp(const GameState& state) {
    return state.soundSystem && state.soundSystem->setTempo(-1.0f);
}

bool commandActs(const GameState& state, Command command) {
    switch (command) {
        case Command::Pause:
            return !state.introActive && !state.gameOver && !state.allTargetsPassed;
        case Command::Replay:
            return !state.steering && state.halted && !state.replaying;
        case Command::NewGame:
            return state.halted;
        case Command::Load:
        case Command::Save:
            return soundSystemUp(state) && state.halted;
        case Command::View:
        case Command::Sound:
        case Command::Quit:
            return true;
    }
    return false;
}
