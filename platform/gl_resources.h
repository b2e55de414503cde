// The GL device's resources: textures, vertex buffers, meshes and sprites, each tied to its
// device through a shared link that the device cuts when it goes away.
#pragma once

#include <memory>
#include <vector>

#include "gfx/graphics_device.h"
#include "platform/gl_device.h"

struct GlDeviceLink {
    GlDevice* device = nullptr;  // null once the device is gone
};

// Where the parts of a vertex of a flexible vertex format lie; valid only for the formats the
// device can draw (a 3D position, optional normal, point size, colours, 2D texture coordinates).
struct GlVertexLayout {
    bool valid = false;
    uint32_t size = 0;
    int normal = -1, colour = -1, texCoord = -1;  // byte offsets, -1 when absent
};
GlVertexLayout glVertexLayout(uint32_t fvf);

class GlTexture : public Texture {
  public:
    // visible: the texels whose alpha is not 0 lie inside it (right and bottom exclusive).
    GlTexture(std::shared_ptr<GlDeviceLink> link, unsigned name, uint32_t width, uint32_t height,
              Rect visible)
        : link_(std::move(link)), name_(name), width_(width), height_(height), visible_(visible) {}
    ~GlTexture() override;
    uint32_t width() const override { return width_; }
    uint32_t height() const override { return height_; }
    unsigned name() const { return name_; }
    const Rect& visible() const { return visible_; }
    bool madeBy(const GlDevice* device) const { return link_->device == device && device; }

  private:
    std::shared_ptr<GlDeviceLink> link_;
    unsigned name_;
    uint32_t width_, height_;
    Rect visible_;
};

// The smallest rectangle holding every texel of a 32-bit picture whose alpha is not 0; empty
// (all zero) when there is none.
Rect glVisibleTexels(const Image& image);

// The vertices live in memory (lock() hands them out) and are copied to the GL buffer when
// unlocked or drawn.
class GlVertexBuffer : public VertexBuffer {
  public:
    GlVertexBuffer(std::shared_ptr<GlDeviceLink> link, unsigned name, uint32_t bytes, uint32_t fvf)
        : link_(std::move(link)), name_(name), data_(bytes, 0), fvf_(fvf) {}
    ~GlVertexBuffer() override;
    uint32_t size() const override { return static_cast<uint32_t>(data_.size()); }
    void* lock() override;
    void unlock() override;

    unsigned name() const { return name_; }
    uint32_t fvf() const { return fvf_; }
    bool madeBy(const GlDevice* device) const { return link_->device == device && device; }
    // Copies changed vertices to GL; needs the device's context current.
    void sync() const;

  private:
    std::shared_ptr<GlDeviceLink> link_;
    unsigned name_;
    std::vector<uint8_t> data_;
    uint32_t fvf_;
    bool locked_ = false;
    mutable bool dirty_ = true;  // GL's copy starts out undefined
};

// The GL buffers of a mesh's vertices and triangles (grouped by subset). Meshes made with the same
// data share one, so that the device can hand their draws to GL together.
// The triangles of one subset: a run of the geometry's indices, and the box holding their
// vertices (set by GlGeometry).
struct GlIndexRange {
    uint32_t subset, firstIndex, indexCount;
    Vec3 low{}, high{};
};

class GlGeometry {
  public:
    using Range = GlIndexRange;
    GlGeometry(std::shared_ptr<GlDeviceLink> link, uint32_t fvf, std::vector<MeshVertex> vertices,
               std::vector<uint32_t> indices, std::vector<Range> ranges)
        : link_(std::move(link)),
          fvf_(fvf),
          vertices_(std::move(vertices)),
          indices_(std::move(indices)),
          ranges_(std::move(ranges)) {
        findBounds();
    }
    ~GlGeometry();
    GlGeometry(const GlGeometry&) = delete;
    GlGeometry& operator=(const GlGeometry&) = delete;

    // Makes the GL objects; needs the device's context current.
    bool upload();
    // The same vertices, triangles and subsets.
    bool sameData(uint32_t fvf, const std::vector<MeshVertex>& vertices,
                  const std::vector<uint32_t>& indices, const std::vector<Range>& ranges) const;
    unsigned vertexArray() const { return vertexArray_; }
    const std::vector<Range>& ranges() const { return ranges_; }

  private:
    void findBounds();

    std::shared_ptr<GlDeviceLink> link_;
    uint32_t fvf_;
    std::vector<MeshVertex> vertices_;
    std::vector<uint32_t> indices_;
    std::vector<Range> ranges_;  // by subset, only subsets that have triangles
    unsigned vertexArray_ = 0, vertexBuffer_ = 0, indexBuffer_ = 0;
};

class GlMesh : public Mesh {
  public:
    using Range = GlGeometry::Range;
    GlMesh(std::shared_ptr<GlDeviceLink> link, MeshData data)
        : link_(std::move(link)), data_(std::move(data)) {}
    const MeshData& data() const override { return data_; }
    uint32_t subsetCount() const override { return subsetCount_; }
    bool drawSubset(uint32_t subset) override;

    // Checks the data and finds or uploads its geometry; false with the reason on stderr.
    bool upload();
    const std::shared_ptr<const GlGeometry>& geometry() const { return geometry_; }
    const Range* range(uint32_t subset) const;

  private:
    std::shared_ptr<GlDeviceLink> link_;
    MeshData data_;
    std::shared_ptr<const GlGeometry> geometry_;
    uint32_t subsetCount_ = 0;
};

class GlSprite : public Sprite {
  public:
    explicit GlSprite(std::shared_ptr<GlDeviceLink> link) : link_(std::move(link)) {}
    bool begin() override;
    bool end() override;
    bool draw(Texture* texture, const Rect* source, const Vec2* scaling, const Vec2* rotationCentre,
              float rotation, const Vec2* translation, uint32_t colour) override;
    bool drawTransform(Texture* texture, const Rect* source, const Matrix& transform,
                       uint32_t colour) override;

  private:
    // The texture as the device's own and the source rectangle; false when either is unusable.
    // drawn: the part of the rectangle that can change the picture (empty when none can).
    bool prepare(Texture* texture, const Rect* source, const GlTexture*& glTexture, Rect& rect,
                 Rect& drawn) const;

    std::shared_ptr<GlDeviceLink> link_;
    bool begun_ = false;
};
