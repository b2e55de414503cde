// The head-up display: the arrow to the next target, the game clock and the time digits.
#pragma once

#include <cstdint>

#include "gfx/math.h"

struct GameState;
struct FlightPose;

bool createArrow();
bool drawArrow(const GameState& state, float bearing, uint32_t colour);
float bearingToTarget(const GameState& state, int target);
float bearingToTarget(float heading, const Vec3& target);
// The arrow's colour for a target: paler with distance, in 16 steps.
uint32_t arrowColour(const GameState& state, int target);
// The game clock: the elapsed game time in tenths, while the flight runs.
void updateGameClock();
// The arrow to the next target (in flight) and the time digits.
bool drawHud(const GameState& state);
// The arrow turned for the pose's heading and target; its colour and the digits from the state.
bool drawHud(const GameState& state, const FlightPose& pose);
void releaseArrow();
