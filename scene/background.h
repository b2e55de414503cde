// The background picture drawn behind the scene, turned with the bank in the cockpit view.
#pragma once

struct GameState;

bool createBackground();
bool loadBackground();
bool drawBackground(const GameState& state, float angle);
void releaseBackground();
