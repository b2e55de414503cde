// The real tick counter, from SDL.
#pragma once

#include "app/window_services.h"

class SdlTickSource : public TickSource {
  public:
    uint32_t now() override;
};
