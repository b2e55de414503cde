// The state log: one JSON object per frame step with the game-state fields, for comparing runs.
#pragma once

#include <cstdint>
#include <string>

// The JSON line for the state after frame step `step` (1 is the first call), without a newline.
std::string stateLogLine(uint64_t step, bool withObstacles);
