// A plane model made straight on the recording device, for the drawing tests of the aircraft.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "aircraft/plane_model.h"
#include "hud/picture_fixtures.h"

// Two parts, red and grey, of a model whose bounding sphere has the given radius.
inline void makeTwoPartModel(PlaneModel& model, GraphicsDevice& device, float radius) {
    MeshData data;
    data.vertices.resize(6);
    data.indices = {0, 1, 2, 3, 4, 5};
    data.faceSubsets = {0, 1};
    model.mesh = device.createMesh(data);
    model.materialCount = 2;
    model.materials.resize(2);
    model.materials[0].diffuse = model.materials[0].ambient = {1, 0, 0, 1};
    model.materials[1].diffuse = model.materials[1].ambient = {0.5f, 0.5f, 0.5f, 1};
    model.textures.resize(2);
    model.boundingRadius = radius;
}

inline void expectMatrixNear(const Matrix& actual, const Matrix& expected,
                             float tolerance = 1e-5f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tolerance) << "row " << r << " col " << c;
}

// The world transform set just before the first subset was drawn.
inline Matrix worldAtDraw(const RecordingDevice& device) {
    Matrix world;
    for (const auto& c : device.calls) {
        if (c.op == "SetTransform" && c.transform == TransformState::World)
            world = c.matrix;
        if (c.op == "DrawSubset")
            break;
    }
    return world;
}

// The ambient level in force when the first subset was drawn.
inline uint32_t ambientAtDraw(const RecordingDevice& device) {
    uint32_t ambient = 0xDEADBEEF;
    for (const auto& c : device.calls) {
        if (c.op == "SetRenderState" && c.state == RenderState::Ambient)
            ambient = c.value;
        if (c.op == "DrawSubset")
            break;
    }
    return ambient;
}
