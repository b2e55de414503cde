// The graphics device the game draws through: Direct3D-8-shaped operations (transforms, render
// states, material, light, textures, vertex buffers, meshes, sprites) implemented by platform/.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gfx/math.h"

enum class TransformState { World, View, Projection };

enum class RenderState {
    CullMode,
    Lighting,
    SpecularEnable,
    ShadeMode,
    ZEnable,
    ZWriteEnable,
    Ambient,
    NormalizeNormals,
    AlphaBlendEnable,
    SrcBlend,
    DestBlend,
    FogEnable,
    FogColor,
    FogTableMode,
    FogVertexMode,
    FogDensity,  // float bits
    PointSpriteEnable,
    PointScaleEnable,
    PointSize,     // float bits
    PointSizeMin,  // float bits
    PointScaleA,   // float bits
    PointScaleB,   // float bits
    PointScaleC,   // float bits
    Count
};

const char* renderStateName(RenderState state);

// Render state values, numbered as on the original platform.
constexpr uint32_t kCullNone = 1;
constexpr uint32_t kCullCW = 2;
constexpr uint32_t kCullCCW = 3;
constexpr uint32_t kShadeGouraud = 2;
constexpr uint32_t kBlendSrcAlpha = 5;
constexpr uint32_t kBlendInvSrcAlpha = 6;
constexpr uint32_t kFogNone = 0;
constexpr uint32_t kFogExp = 1;

// Float-valued states travel as their bit patterns, as on the original platform.
inline uint32_t floatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}
inline float bitsFloat(uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

// Clear flags.
constexpr uint32_t kClearTarget = 1;
constexpr uint32_t kClearZBuffer = 2;

// Vertex formats (flexible vertex format bits).
constexpr uint32_t kFvfXyz = 0x002;
constexpr uint32_t kFvfNormal = 0x010;
constexpr uint32_t kFvfDiffuse = 0x040;
constexpr uint32_t kFvfTex1 = 0x100;
constexpr uint32_t kFvfPositionNormal = kFvfXyz | kFvfNormal;                // 0x012
constexpr uint32_t kFvfPositionNormalTex = kFvfXyz | kFvfNormal | kFvfTex1;  // 0x112
constexpr uint32_t kFvfPointSprite = kFvfXyz | kFvfDiffuse | kFvfTex1;       // 0x142

struct Colour4 {
    float r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Colour4&) const = default;
};

struct Material {
    Colour4 diffuse, ambient, specular, emissive;
    float power = 0;
    bool operator==(const Material&) const = default;
};

constexpr int kLightDirectional = 3;

struct Light {
    int type = kLightDirectional;
    Colour4 diffuse, specular, ambient;
    Vec3 position, direction;
    float range = 0, falloff = 0, attenuation0 = 0, attenuation1 = 0, attenuation2 = 0;
    float theta = 0, phi = 0;
};

// The vertex of a point sprite: position, 0xAARRGGBB colour, unused texture coordinates.
struct PointVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(PointVertex) == 24);

// The vertex of a mesh: position, normal, one pair of texture coordinates.
struct MeshVertex {
    Vec3 position;
    Vec3 normal;
    float u = 0, v = 0;
};
static_assert(sizeof(MeshVertex) == 32);

// Pixel data for a texture: 32-bit colour as bytes B, G, R, A in memory (0xAARRGGBB words), or
// S3TC blocks handed to the device as they are.
enum class PixelFormat { Argb8888, Dxt1, Dxt3, Dxt5 };

struct Image {
    uint32_t width = 0, height = 0;
    PixelFormat format = PixelFormat::Argb8888;
    std::vector<uint8_t> data;  // top row first
};

class Texture {
  public:
    virtual ~Texture() = default;
    virtual uint32_t width() const = 0;
    virtual uint32_t height() const = 0;
};

class VertexBuffer {
  public:
    virtual ~VertexBuffer() = default;
    virtual uint32_t size() const = 0;
    // Whole buffer; null when it cannot be locked.
    virtual void* lock() = 0;
    virtual void unlock() = 0;
};

// Geometry with one or more subsets; the triangles of subset i are drawn by drawSubset(i).
struct MeshData {
    uint32_t fvf = kFvfPositionNormalTex;
    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices;      // three per triangle
    std::vector<uint32_t> faceSubsets;  // one per triangle; triangles sorted by subset
};

class Mesh {
  public:
    virtual ~Mesh() = default;
    virtual const MeshData& data() const = 0;
    virtual uint32_t subsetCount() const = 0;
    virtual bool drawSubset(uint32_t subset) = 0;
};

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Screen-space sprite in back-buffer pixels (x right, y down): no depth test, no depth writes, no
// lighting, no fog; texture colour times the colour, blended by texture alpha times colour alpha;
// bilinear filtering with clamped edges.
//
// draw(): a texel p of the source rectangle (counted from its top-left corner) lands on
//   q = p * scaling;  q' = centre + R(-rotation) (q - centre);  screen = q' + translation,
// where R(b) maps (x, y) to (x cos b - y sin b, x sin b + y cos b).
class Sprite {
  public:
    virtual ~Sprite() = default;
    virtual bool begin() = 0;
    virtual bool end() = 0;
    // Null pointers mean: whole texture, no scaling, no rotation centre, no translation.
    virtual bool draw(Texture* texture, const Rect* source, const Vec2* scaling,
                      const Vec2* rotationCentre, float rotation, const Vec2* translation,
                      uint32_t colour) = 0;
    // The rectangle's corners (0,0)..(w,h) carried into back-buffer pixels by the transform.
    virtual bool drawTransform(Texture* texture, const Rect* source, const Matrix& transform,
                               uint32_t colour) = 0;
};

class GraphicsDevice {
  public:
    virtual ~GraphicsDevice() = default;

    virtual bool setTransform(TransformState state, const Matrix& matrix) = 0;
    virtual bool setRenderState(RenderState state, uint32_t value) = 0;
    virtual bool setMaterial(const Material& material) = 0;
    virtual bool setLight(uint32_t index, const Light& light) = 0;
    virtual bool lightEnable(uint32_t index, bool enable) = 0;
    virtual bool setTexture(uint32_t stage, Texture* texture) = 0;

    virtual bool clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) = 0;
    virtual bool beginScene() = 0;
    virtual bool endScene() = 0;
    virtual bool present() = 0;

    virtual std::unique_ptr<VertexBuffer> createVertexBuffer(uint32_t bytes, uint32_t fvf) = 0;
    virtual bool setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t stride) = 0;
    virtual bool setVertexFormat(uint32_t fvf) = 0;
    virtual bool drawPointList(uint32_t startVertex, uint32_t count) = 0;

    virtual std::unique_ptr<Mesh> createMesh(MeshData data) = 0;
    virtual std::unique_ptr<Texture> createTexture(const Image& image) = 0;
    virtual std::unique_ptr<Sprite> createSprite() = 0;

    virtual uint32_t backBufferWidth() const { return 640; }
    virtual uint32_t backBufferHeight() const { return 480; }
};

// Presentation settings for the device, filled before it is made.
struct PresentParameters {
    uint32_t backBufferWidth = 0, backBufferHeight = 0;
    uint32_t backBufferCount = 0;
    bool windowed = false;
    bool autoDepthStencil = false;
    uint32_t depthBits = 0;
};

// The graphics system object from which the device is made.
class GraphicsSystem {
  public:
    virtual ~GraphicsSystem() = default;
    // False when the desktop mode cannot be read.
    virtual bool displayMode() = 0;
    virtual std::unique_ptr<GraphicsDevice> createDevice(const PresentParameters& params) = 0;
};
