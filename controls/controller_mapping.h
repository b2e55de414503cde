// A game controller's left stick and triggers turned into the turn and speed inputs that the
// mouse and the keyboard give, so that a controller flight records and replays like theirs.
#pragma once

#include <cstdint>

// Stick and trigger axes run to 32767 (a stick down to -32768, negative to the left).
constexpr int32_t kAxisFull = 32767;
// A stick at rest reads a few thousand counts off centre; inside this it counts as centred.
constexpr int32_t kStickDeadZone = 8000;
// A trigger counts as pulled beyond this.
constexpr int32_t kTriggerThreshold = 8000;
// The turn input at full deflection: five times an arrow key's.
constexpr int16_t kStickFullTurn = 40;

// The turn input of a horizontal stick position, in the units of the mouse's horizontal movement:
// kNoInput inside the dead zone, else a curve from 0 at its edge through the arrow keys' 8 at
// about half deflection to 40 at full, rounded to whole counts, negative to the left.
int16_t stickTurnInput(int32_t stickX);
// The speed input of the two triggers: +2 for the right, -2 for the left, the right winning, or
// kNoInput while neither is pulled past the threshold.
int16_t triggerSpeedInput(int32_t leftTrigger, int32_t rightTrigger);
