// DirectX X model files (text, binary and MSZIP-compressed) read into one mesh with one subset per
// material, in the file's own coordinates, winding and texture names; plus bounding radius and
// vertex normals of such a mesh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/graphics_device.h"

// material: diffuse (with alpha), specular, power and emissive as in the file; ambient left 0.
// textureFile: the material's first texture name exactly as written, empty when it has none.
struct ModelMaterial {
    Material material;
    std::string textureFile;
};

struct ModelData {
    MeshData mesh;
    std::vector<ModelMaterial> materials;  // materials[i] belongs to subset i
};

constexpr uint32_t kMaxModelVertices = 1000000;
constexpr size_t kMaxModelFileBytes = size_t(64) << 20;

// All meshes of the file's frame hierarchy with their frame transforms applied, merged into one.
// MeshData.fvf says which vertex fields the file had: position, normal, diffuse (vertex colours)
// and the number of texture coordinate sets, e.g. 0x112 for normals and one set; a field the
// file did not have is 0 in every vertex. Polygons are split into fans around their first
// corner. Subsets: the file's top-level materials, then each mesh's own materials (meshes in
// frames first, a frame's before its children's, then those outside any frame), then one grey
// material when a mesh has no material list. Text, binary and compressed ("tzip", "bzip")
// files with 32- or 64-bit floats; a file that cannot be read gives a message and an empty out.
bool loadModelFromX(const std::string& path, ModelData& out, std::string& error);
bool loadModelFromXBuffer(const uint8_t* data, size_t size, ModelData& out, std::string& error);

// Centre = mean of the positions; radius = greatest distance of a position from it. 0 when empty.
float computeBoundingRadius(const std::vector<MeshVertex>& vertices);

// Every vertex normal from the unit normals of the faces that use it (a vertex no face uses gets
// 0); a face (v0, v1, v2) faces along (v1 - v0) x (v2 - v0). Leaves mesh.fvf as it is.
void computeNormals(MeshData& mesh);
