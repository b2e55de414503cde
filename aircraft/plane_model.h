// The plane model: one mesh from the X file, its materials and textures, its bounding radius.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/graphics_device.h"

class PlaneModel {
  public:
    explicit PlaneModel(const char* fileName) : fileName(fileName) {}
    ~PlaneModel() { release(); }

    int load(GraphicsDevice& device);
    int draw(GraphicsDevice& device) const;
    void release();

    const char* fileName;
    uint32_t materialCount = 0;
    std::unique_ptr<Mesh> mesh;
    std::vector<Material> materials;
    std::vector<std::unique_ptr<Texture>> textures;
    float boundingRadius = 0;
};
