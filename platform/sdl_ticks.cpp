// The real tick counter: SDL's millisecond count, cut to 32 bits so that it wraps as the game
// expects.
#include "platform/sdl_ticks.h"

#include <SDL.h>

uint32_t SdlTickSource::now() {
    return static_cast<uint32_t>(SDL_GetTicks64());
}
