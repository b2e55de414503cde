// The game's random generator, shared by the world generation and the effects.
#include "game/random.h"

namespace {
uint32_t state = 1;
}

void seedRandom(uint32_t seed) {
    state = seed;
}

int32_t drawRandom() {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
}

uint32_t randomState() {
    return state;
}
