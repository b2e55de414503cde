// A graphics device that draws nothing and logs every call with its arguments, for tests.
#pragma once

#include <string>
#include <vector>

#include "gfx/graphics_device.h"

struct DeviceCall {
    std::string op;    // "SetTransform", "SetRenderState", "DrawSubset", ...
    std::string text;  // op and arguments, formatted
    TransformState transform = TransformState::World;
    Matrix matrix;
    RenderState state = RenderState::Count;
    uint32_t value = 0;
    Material material;
    Light light;
    const void* object = nullptr;  // mesh, texture or buffer involved
    uint32_t index = 0;            // subset, stage, light index, start vertex
    uint32_t count = 0;            // vertex count
    // Sprite draws.
    Rect source;
    bool hasSource = false;
    Vec2 scaling{1, 1}, centre, translation;
    float rotation = 0;
    uint32_t colour = 0;
};

class RecordingDevice : public GraphicsDevice {
  public:
    std::vector<DeviceCall> calls;
    bool failClear = false;

    void reset() { calls.clear(); }
    // Calls with this op, in order.
    std::vector<DeviceCall> callsOf(const std::string& op) const;
    size_t count(const std::string& op) const { return callsOf(op).size(); }
    // The value of the render state as last set, or `fallback`.
    uint32_t lastState(RenderState state, uint32_t fallback = 0xDEADBEEF) const;

    bool setTransform(TransformState state, const Matrix& matrix) override;
    bool setRenderState(RenderState state, uint32_t value) override;
    bool setMaterial(const Material& material) override;
    bool setLight(uint32_t index, const Light& light) override;
    bool lightEnable(uint32_t index, bool enable) override;
    bool setTexture(uint32_t stage, Texture* texture) override;
    bool clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) override;
    bool beginScene() override;
    bool endScene() override;
    bool present() override;
    std::unique_ptr<VertexBuffer> createVertexBuffer(uint32_t bytes, uint32_t fvf) override;
    bool setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t stride) override;
    bool setVertexFormat(uint32_t fvf) override;
    bool drawPointList(uint32_t startVertex, uint32_t count) override;
    std::unique_ptr<Mesh> createMesh(MeshData data) override;
    std::unique_ptr<Texture> createTexture(const Image& image) override;
    std::unique_ptr<Sprite> createSprite() override;

    void log(DeviceCall call) { calls.push_back(std::move(call)); }
};
