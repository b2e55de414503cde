// The head-up display: the arrow to the next target, the game clock and the time digits.
#pragma once

#include <cstdint>

bool createArrow();
bool drawArrow(float bearing, uint32_t colour);
float bearingToTarget(int target);
// The arrow's colour for the current target: paler with distance, in 16 steps.
uint32_t arrowColour(int target);
bool updateHud();
void releaseArrow();
