// Textures, vertex buffers and meshes of the GL device: their GL objects, upload and release.
#include "platform/gl_resources.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "platform/gl_shaders.h"

GlVertexLayout glVertexLayout(uint32_t fvf) {
    // Position, normal, point size, diffuse, specular, texture-coordinate count; nothing else.
    constexpr uint32_t kKnown = kFvfXyz | kFvfNormal | 0x020 | kFvfDiffuse | 0x080 | 0xF00;
    GlVertexLayout layout;
    uint32_t texCount = (fvf >> 8) & 0xF;
    if ((fvf & ~kKnown) != 0 || (fvf & 0x00E) != kFvfXyz || texCount > 8)
        return layout;
    uint32_t offset = 12;
    if (fvf & kFvfNormal) {
        layout.normal = static_cast<int>(offset);
        offset += 12;
    }
    if (fvf & 0x020)
        offset += 4;  // point size: the device's state size is used instead
    if (fvf & kFvfDiffuse) {
        layout.colour = static_cast<int>(offset);
        offset += 4;
    }
    if (fvf & 0x080)
        offset += 4;  // specular colour: not drawn
    if (texCount > 0)
        layout.texCoord = static_cast<int>(offset);
    offset += 8 * texCount;
    layout.size = offset;
    layout.valid = true;
    return layout;
}

Rect glVisibleTexels(const Image& image) {
    Rect r{static_cast<int32_t>(image.width), static_cast<int32_t>(image.height), 0, 0};
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.data.data() + size_t{y} * image.width * 4;
        for (uint32_t x = 0; x < image.width; ++x) {
            if (row[x * 4 + 3] == 0)
                continue;
            r.left = std::min(r.left, static_cast<int32_t>(x));
            r.right = std::max(r.right, static_cast<int32_t>(x) + 1);
            r.top = std::min(r.top, static_cast<int32_t>(y));
            r.bottom = std::max(r.bottom, static_cast<int32_t>(y) + 1);
        }
    }
    return r.right > r.left ? r : Rect{};
}

GlTexture::~GlTexture() {
    GlDevice* device = link_->device;
    if (!device)
        return;
    device->forget(this);
    if (device->makeCurrent())
        glDeleteTextures(1, &name_);
}

GlVertexBuffer::~GlVertexBuffer() {
    GlDevice* device = link_->device;
    if (!device)
        return;
    device->forget(this);
    if (device->makeCurrent())
        glDeleteBuffers(1, &name_);
}

void* GlVertexBuffer::lock() {
    if (!link_->device)
        return nullptr;
    locked_ = true;
    dirty_ = true;
    return data_.data();
}

void GlVertexBuffer::unlock() {
    locked_ = false;
    GlDevice* device = link_->device;
    if (device && device->makeCurrent())
        sync();
}

void GlVertexBuffer::sync() const {
    if (!dirty_)
        return;
    glBindBuffer(GL_ARRAY_BUFFER, name_);
    // New storage each time rather than writing over the old: a draw still queued from the last
    // frame keeps its vertices and the driver need not wait for it.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data_.size()), data_.data(),
                 GL_STREAM_DRAW);
    // While locked the caller may still be writing: copy again at the next draw.
    dirty_ = locked_;
}

bool GlMesh::upload() {
    // Subset numbers above this are refused rather than counted.
    constexpr uint32_t kMaxSubset = 0xFFFF;
    const char* fault = nullptr;
    const size_t triangles = data_.indices.size() / 3;
    if ((data_.fvf & ~(kFvfXyz | kFvfNormal | kFvfTex1)) != 0 || !(data_.fvf & kFvfXyz))
        fault = "its vertex format is not position with optional normal and texture coordinates";
    else if (data_.vertices.empty() || triangles == 0)
        fault = "it has no vertices or no triangles";
    else if (data_.indices.size() % 3 != 0)
        fault = "its index count is not a multiple of 3";
    else if (data_.vertices.size() > 0xFFFFFFFFu)
        fault = "it has too many vertices";
    else if (!data_.faceSubsets.empty() && data_.faceSubsets.size() != triangles)
        fault = "it has not one subset number per triangle";
    else if (std::any_of(data_.indices.begin(), data_.indices.end(),
                         [this](uint32_t i) { return i >= data_.vertices.size(); }))
        fault = "an index lies past the vertices";
    else if (std::any_of(data_.faceSubsets.begin(), data_.faceSubsets.end(),
                         [](uint32_t s) { return s > kMaxSubset; }))
        fault = "a subset number is above 65535";
    if (fault) {
        std::fprintf(stderr, "GlDevice::createMesh: the mesh is refused: %s.\n", fault);
        return false;
    }

    // Triangles grouped by subset, keeping their order within a subset.
    auto subsetOf = [this](size_t t) {
        return data_.faceSubsets.empty() ? 0 : data_.faceSubsets[t];
    };
    std::vector<uint32_t> order(triangles);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return subsetOf(a) < subsetOf(b); });
    std::vector<uint32_t> indices;
    std::vector<Range> ranges;
    indices.reserve(data_.indices.size());
    for (size_t k = 0; k < order.size(); ++k) {
        uint32_t t = order[k], s = subsetOf(t);
        if (ranges.empty() || ranges.back().subset != s)
            ranges.push_back({s, static_cast<uint32_t>(k * 3), 0});
        ranges.back().indexCount += 3;
        indices.insert(indices.end(), data_.indices.begin() + t * 3,
                       data_.indices.begin() + t * 3 + 3);
    }
    subsetCount_ = ranges.back().subset + 1;

    GlDevice* device = link_->device;
    if (!device)
        return false;
    geometry_ =
        device->shareGeometry(data_.fvf, data_.vertices, std::move(indices), std::move(ranges));
    return geometry_ != nullptr;
}

GlGeometry::~GlGeometry() {
    GlDevice* device = link_->device;
    if (!device || !device->makeCurrent())
        return;
    glDeleteVertexArrays(1, &vertexArray_);
    glDeleteBuffers(1, &vertexBuffer_);
    glDeleteBuffers(1, &indexBuffer_);
}

void GlGeometry::findBounds() {
    for (Range& r : ranges_) {
        bool first = true;
        for (uint32_t k = r.firstIndex; k < r.firstIndex + r.indexCount && k < indices_.size();
             ++k) {
            const uint32_t i = indices_[k];
            if (i >= vertices_.size())
                continue;
            const Vec3& p = vertices_[i].position;
            if (first) {
                r.low = r.high = p;
                first = false;
                continue;
            }
            r.low = {std::min(r.low.x, p.x), std::min(r.low.y, p.y), std::min(r.low.z, p.z)};
            r.high = {std::max(r.high.x, p.x), std::max(r.high.y, p.y), std::max(r.high.z, p.z)};
        }
    }
}

bool GlGeometry::sameData(uint32_t fvf, const std::vector<MeshVertex>& vertices,
                          const std::vector<uint32_t>& indices,
                          const std::vector<Range>& ranges) const {
    auto sameRange = [](const Range& a, const Range& b) {
        return a.subset == b.subset && a.firstIndex == b.firstIndex && a.indexCount == b.indexCount;
    };
    return fvf == fvf_ && vertices.size() == vertices_.size() && indices == indices_ &&
           std::equal(ranges.begin(), ranges.end(), ranges_.begin(), ranges_.end(), sameRange) &&
           std::memcmp(vertices.data(), vertices_.data(), vertices.size() * sizeof(MeshVertex)) ==
               0;
}

bool GlGeometry::upload() {
    glGenVertexArrays(1, &vertexArray_);
    glGenBuffers(1, &vertexBuffer_);
    glGenBuffers(1, &indexBuffer_);
    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(MeshVertex)),
                 vertices_.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices_.size() * 4),
                 indices_.data(), GL_STATIC_DRAW);
    const GLsizei stride = sizeof(MeshVertex);
    glEnableVertexAttribArray(kAttribPosition);
    glVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(MeshVertex, position)));
    if (fvf_ & kFvfNormal) {
        glEnableVertexAttribArray(kAttribNormal);
        glVertexAttribPointer(kAttribNormal, 3, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(MeshVertex, normal)));
    }
    if (fvf_ & kFvfTex1) {
        glEnableVertexAttribArray(kAttribTexCoord);
        glVertexAttribPointer(kAttribTexCoord, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(MeshVertex, u)));
    }
    glBindVertexArray(0);
    if (glGetError() != GL_NO_ERROR) {
        std::fprintf(stderr, "GlDevice::createMesh: GL refused the mesh's %zu vertices.\n",
                     vertices_.size());
        return false;
    }
    return true;
}

const GlMesh::Range* GlMesh::range(uint32_t subset) const {
    if (!geometry_)
        return nullptr;
    const std::vector<Range>& ranges = geometry_->ranges();
    auto it = std::lower_bound(ranges.begin(), ranges.end(), subset,
                               [](const Range& r, uint32_t s) { return r.subset < s; });
    return (it != ranges.end() && it->subset == subset) ? &*it : nullptr;
}

bool GlMesh::drawSubset(uint32_t subset) {
    GlDevice* device = link_->device;
    return device && device->drawMeshSubset(*this, subset);
}
