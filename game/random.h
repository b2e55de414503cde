// The game's one random generator: a 32-bit linear congruential generator drawing 0..32767.
#pragma once

#include <cstdint>

void seedRandom(uint32_t seed);
int32_t drawRandom();
uint32_t randomState();
