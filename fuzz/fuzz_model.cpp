// Fuzzes X model loading (text, binary and compressed files), then the mesh helpers on
// what came out: every index names a vertex, every triangle a material.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "gfx/model_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ModelData model;
    std::string error;
    if (!loadModelFromXBuffer(data, size, model, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    MeshData& mesh = model.mesh;
    FUZZ_CHECK(!mesh.vertices.empty() && !model.materials.empty());
    FUZZ_CHECK(mesh.vertices.size() <= kMaxModelVertices);
    FUZZ_CHECK(mesh.indices.size() == mesh.faceSubsets.size() * 3);
    for (uint32_t index : mesh.indices) FUZZ_CHECK(index < mesh.vertices.size());
    for (size_t t = 0; t < mesh.faceSubsets.size(); ++t) {
        FUZZ_CHECK(mesh.faceSubsets[t] < model.materials.size());
        FUZZ_CHECK(t == 0 || mesh.faceSubsets[t - 1] <= mesh.faceSubsets[t]);
    }
    for (const MeshVertex& v : mesh.vertices) {
        FUZZ_CHECK(std::isfinite(v.position.x) && std::isfinite(v.position.y) &&
                   std::isfinite(v.position.z));
    }
    const float radius = computeBoundingRadius(mesh.vertices);
    FUZZ_CHECK(radius >= 0 && !std::isnan(radius));
    computeNormals(mesh);
    return 0;
}
