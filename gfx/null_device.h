// A graphics device that draws nothing: the headless runner's --no-gl device. Every call succeeds,
// vertex buffers hold real memory, meshes keep their data.
#pragma once

#include "gfx/graphics_device.h"

class NullGraphicsSystem : public GraphicsSystem {
  public:
    bool displayMode() override { return true; }
    std::unique_ptr<GraphicsDevice> createDevice(const PresentParameters& params) override;
};

std::unique_ptr<GraphicsDevice> makeNullDevice();
