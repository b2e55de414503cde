// The null graphics device.
#include "gfx/null_device.h"

#include <algorithm>
#include <vector>

namespace {

class NullTexture : public Texture {
  public:
    NullTexture(uint32_t w, uint32_t h) : w_(w), h_(h) {}
    uint32_t width() const override { return w_; }
    uint32_t height() const override { return h_; }

  private:
    uint32_t w_, h_;
};

class NullBuffer : public VertexBuffer {
  public:
    explicit NullBuffer(uint32_t bytes) : bytes_(bytes) {}
    uint32_t size() const override { return static_cast<uint32_t>(bytes_.size()); }
    void* lock() override { return bytes_.data(); }
    void unlock() override {}

  private:
    std::vector<uint8_t> bytes_;
};

class NullMesh : public Mesh {
  public:
    explicit NullMesh(MeshData data) : data_(std::move(data)) {
        for (uint32_t s : data_.faceSubsets) subsets_ = std::max(subsets_, s + 1);
    }
    const MeshData& data() const override { return data_; }
    uint32_t subsetCount() const override { return subsets_; }
    bool drawSubset(uint32_t) override { return true; }

  private:
    MeshData data_;
    uint32_t subsets_ = 1;
};

class NullSprite : public Sprite {
  public:
    bool begin() override { return true; }
    bool end() override { return true; }
    bool draw(Texture*, const Rect*, const Vec2*, const Vec2*, float, const Vec2*,
              uint32_t) override {
        return true;
    }
    bool drawTransform(Texture*, const Rect*, const Matrix&, uint32_t) override { return true; }
};

class NullDevice : public GraphicsDevice {
  public:
    bool setTransform(TransformState, const Matrix&) override { return true; }
    bool setRenderState(RenderState, uint32_t) override { return true; }
    bool setMaterial(const Material&) override { return true; }
    bool setLight(uint32_t, const Light&) override { return true; }
    bool lightEnable(uint32_t, bool) override { return true; }
    bool setTexture(uint32_t, Texture*) override { return true; }
    bool clear(uint32_t, uint32_t, float, uint32_t) override { return true; }
    bool beginScene() override { return true; }
    bool endScene() override { return true; }
    bool present() override { return true; }
    std::unique_ptr<VertexBuffer> createVertexBuffer(uint32_t bytes, uint32_t) override {
        return std::make_unique<NullBuffer>(bytes);
    }
    bool setStreamSource(uint32_t, VertexBuffer*, uint32_t) override { return true; }
    bool setVertexFormat(uint32_t) override { return true; }
    bool drawPointList(uint32_t, uint32_t) override { return true; }
    std::unique_ptr<Mesh> createMesh(MeshData data) override {
        return std::make_unique<NullMesh>(std::move(data));
    }
    std::unique_ptr<Texture> createTexture(const Image& image) override {
        return std::make_unique<NullTexture>(image.width, image.height);
    }
    std::unique_ptr<Sprite> createSprite() override { return std::make_unique<NullSprite>(); }
};

}  // namespace

std::unique_ptr<GraphicsDevice> makeNullDevice() {
    return std::make_unique<NullDevice>();
}

std::unique_ptr<GraphicsDevice> NullGraphicsSystem::createDevice(const PresentParameters&) {
    return makeNullDevice();
}
