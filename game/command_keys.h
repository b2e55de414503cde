// When each key command acts: the phase conditions the window procedure tests, shared with the
// words on screen that list the keys acting now.
#pragma once

struct GameState;

enum class Command { Pause, Replay, NewGame, Load, Save, View, Sound, Quit };

// Whether the command's key acts in the state as it stands. Load and Save also need the sound
// system up, as the original asked of it.
bool commandActs(const GameState& state, Command command);
// The sound system answers setTempo(-1) with true exactly when it is initialised.
bool soundSystemUp(const GameState& state);
