// Turning one frame's turn and speed inputs into changes of the flight values.
#pragma once

#include <cstdint>

void applyTurnInput(int16_t v);
void applySpeedInput(int16_t v);
