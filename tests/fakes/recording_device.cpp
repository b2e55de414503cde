// The recording device: every call becomes one DeviceCall entry.
#include "fakes/recording_device.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string format(const char* fmt, auto... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

class RecordingTexture : public Texture {
  public:
    RecordingTexture(uint32_t w, uint32_t h) : w_(w), h_(h) {}
    uint32_t width() const override { return w_; }
    uint32_t height() const override { return h_; }

  private:
    uint32_t w_, h_;
};

class RecordingBuffer : public VertexBuffer {
  public:
    RecordingBuffer(RecordingDevice& device, uint32_t bytes) : device_(device), bytes_(bytes, 0) {}
    uint32_t size() const override { return static_cast<uint32_t>(bytes_.size()); }
    void* lock() override {
        DeviceCall c;
        c.op = "Lock";
        c.text = "Lock";
        c.object = this;
        device_.log(c);
        return bytes_.data();
    }
    void unlock() override {
        DeviceCall c;
        c.op = "Unlock";
        c.text = "Unlock";
        c.object = this;
        device_.log(c);
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    RecordingDevice& device_;
    std::vector<uint8_t> bytes_;
};

class RecordingMesh : public Mesh {
  public:
    RecordingMesh(RecordingDevice& device, MeshData data)
        : device_(device), data_(std::move(data)) {}
    const MeshData& data() const override { return data_; }
    uint32_t subsetCount() const override {
        uint32_t n = 0;
        for (uint32_t s : data_.faceSubsets) n = std::max(n, s + 1);
        return data_.faceSubsets.empty() ? 1 : n;
    }
    bool drawSubset(uint32_t subset) override {
        DeviceCall c;
        c.op = "DrawSubset";
        c.text = format("DrawSubset %u", subset);
        c.object = this;
        c.index = subset;
        device_.log(c);
        return true;
    }

  private:
    RecordingDevice& device_;
    MeshData data_;
};

class RecordingSprite : public Sprite {
  public:
    explicit RecordingSprite(RecordingDevice& device) : device_(device) {}
    bool begin() override { return logSimple("SpriteBegin"); }
    bool end() override { return logSimple("SpriteEnd"); }
    bool draw(Texture* texture, const Rect* source, const Vec2* scaling, const Vec2* centre,
              float rotation, const Vec2* translation, uint32_t colour) override {
        DeviceCall c;
        c.op = "SpriteDraw";
        c.object = texture;
        if (source) {
            c.source = *source;
            c.hasSource = true;
        }
        if (scaling)
            c.scaling = *scaling;
        if (centre)
            c.centre = *centre;
        if (translation)
            c.translation = *translation;
        c.rotation = rotation;
        c.colour = colour;
        c.text = format(
            "SpriteDraw src=%d,%d,%d,%d scale=%g,%g centre=%g,%g rot=%g at=%g,%g colour=0x%08X",
            c.source.left, c.source.top, c.source.right, c.source.bottom, c.scaling.x, c.scaling.y,
            c.centre.x, c.centre.y, rotation, c.translation.x, c.translation.y, colour);
        device_.log(c);
        return !failDraw;
    }
    bool drawTransform(Texture* texture, const Rect* source, const Matrix& transform,
                       uint32_t colour) override {
        DeviceCall c;
        c.op = "SpriteDrawTransform";
        c.object = texture;
        if (source) {
            c.source = *source;
            c.hasSource = true;
        }
        c.matrix = transform;
        c.colour = colour;
        c.text = format("SpriteDrawTransform colour=0x%08X", colour);
        device_.log(c);
        return !failDraw;
    }
    bool failDraw = false;

  private:
    bool logSimple(const char* op) {
        DeviceCall c;
        c.op = op;
        c.text = op;
        c.object = this;
        device_.log(c);
        return true;
    }
    RecordingDevice& device_;
};

}  // namespace

std::vector<DeviceCall> RecordingDevice::callsOf(const std::string& op) const {
    std::vector<DeviceCall> out;
    for (const auto& c : calls)
        if (c.op == op)
            out.push_back(c);
    return out;
}

uint32_t RecordingDevice::lastState(RenderState state, uint32_t fallback) const {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->op == "SetRenderState" && it->state == state)
            return it->value;
    return fallback;
}

bool RecordingDevice::setTransform(TransformState state, const Matrix& matrix) {
    DeviceCall c;
    c.op = "SetTransform";
    c.transform = state;
    c.matrix = matrix;
    const char* names[] = {"World", "View", "Projection"};
    c.text = format("SetTransform %s", names[static_cast<int>(state)]);
    log(c);
    return true;
}

bool RecordingDevice::setRenderState(RenderState state, uint32_t value) {
    DeviceCall c;
    c.op = "SetRenderState";
    c.state = state;
    c.value = value;
    c.text = format("SetRenderState %s 0x%X", renderStateName(state), value);
    log(c);
    return true;
}

bool RecordingDevice::setMaterial(const Material& material) {
    DeviceCall c;
    c.op = "SetMaterial";
    c.material = material;
    c.text = format("SetMaterial diffuse=%g,%g,%g,%g", material.diffuse.r, material.diffuse.g,
                    material.diffuse.b, material.diffuse.a);
    log(c);
    return true;
}

bool RecordingDevice::setLight(uint32_t index, const Light& light) {
    DeviceCall c;
    c.op = "SetLight";
    c.index = index;
    c.light = light;
    c.text = format("SetLight %u dir=%g,%g,%g", index, light.direction.x, light.direction.y,
                    light.direction.z);
    log(c);
    return true;
}

bool RecordingDevice::lightEnable(uint32_t index, bool enable) {
    DeviceCall c;
    c.op = "LightEnable";
    c.index = index;
    c.value = enable;
    c.text = format("LightEnable %u %d", index, enable ? 1 : 0);
    log(c);
    return true;
}

bool RecordingDevice::setTexture(uint32_t stage, Texture* texture) {
    DeviceCall c;
    c.op = "SetTexture";
    c.index = stage;
    c.object = texture;
    c.text = format("SetTexture %u %s", stage, texture ? "texture" : "null");
    log(c);
    return true;
}

bool RecordingDevice::clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) {
    DeviceCall c;
    c.op = "Clear";
    c.value = flags;
    c.colour = colour;
    c.text = format("Clear flags=%u colour=0x%08X z=%g stencil=%u", flags, colour, z, stencil);
    log(c);
    return !failClear;
}

bool RecordingDevice::beginScene() {
    log({.op = "BeginScene", .text = "BeginScene"});
    return true;
}

bool RecordingDevice::endScene() {
    log({.op = "EndScene", .text = "EndScene"});
    return true;
}

bool RecordingDevice::present() {
    log({.op = "Present", .text = "Present"});
    return true;
}

std::unique_ptr<VertexBuffer> RecordingDevice::createVertexBuffer(uint32_t bytes, uint32_t fvf) {
    auto buffer = std::make_unique<RecordingBuffer>(*this, bytes);
    DeviceCall c;
    c.op = "CreateVertexBuffer";
    c.value = fvf;
    c.count = bytes;
    c.object = buffer.get();
    c.text = format("CreateVertexBuffer %u fvf=0x%X", bytes, fvf);
    log(c);
    return buffer;
}

bool RecordingDevice::setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t stride) {
    DeviceCall c;
    c.op = "SetStreamSource";
    c.index = stream;
    c.object = buffer;
    c.value = stride;
    c.text = format("SetStreamSource %u stride=%u", stream, stride);
    log(c);
    return true;
}

bool RecordingDevice::setVertexFormat(uint32_t fvf) {
    DeviceCall c;
    c.op = "SetVertexFormat";
    c.value = fvf;
    c.text = format("SetVertexFormat 0x%X", fvf);
    log(c);
    return true;
}

bool RecordingDevice::drawPointList(uint32_t startVertex, uint32_t count) {
    DeviceCall c;
    c.op = "DrawPointList";
    c.index = startVertex;
    c.count = count;
    c.text = format("DrawPointList %u %u", startVertex, count);
    log(c);
    return true;
}

std::unique_ptr<Mesh> RecordingDevice::createMesh(MeshData data) {
    auto mesh = std::make_unique<RecordingMesh>(*this, std::move(data));
    DeviceCall c;
    c.op = "CreateMesh";
    c.object = mesh.get();
    c.text = "CreateMesh";
    log(c);
    return mesh;
}

std::unique_ptr<Texture> RecordingDevice::createTexture(const Image& image) {
    auto texture = std::make_unique<RecordingTexture>(image.width, image.height);
    DeviceCall c;
    c.op = "CreateTexture";
    c.object = texture.get();
    c.text = format("CreateTexture %ux%u", image.width, image.height);
    log(c);
    return texture;
}

std::unique_ptr<Sprite> RecordingDevice::createSprite() {
    log({.op = "CreateSprite", .text = "CreateSprite"});
    return std::make_unique<RecordingSprite>(*this);
}
