// The player's plane: a small low-poly propeller plane built from convex parts, written as a
// text DirectX X file with its materials, normals and texture coordinates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

struct Vec3f {
    float x = 0, y = 0, z = 0;
};

struct ModelVertex {
    Vec3f position;
    Vec3f normal;
    float u = 0, v = 0;
};

struct ModelFace {
    uint32_t index[3] = {0, 0, 0};
    uint32_t material = 0;
};

struct ModelMaterial {
    Colour diffuse;  // alpha below 1 makes the material translucent
    float power = 0;
    Colour specular;
    Colour emissive;
    std::string texture;  // empty: untextured
};

struct PlaneMesh {
    std::vector<ModelVertex> vertices;
    std::vector<ModelFace> faces;
    std::vector<ModelMaterial> materials;
};

// The texture the body material names, resolved by the game against its current directory.
inline constexpr const char* kPlaneSkinName = "media/planeskin.dds";

PlaneMesh buildPlane();
bool writeXFile(const std::string& path, const PlaneMesh& mesh);
