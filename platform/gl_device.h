// The OpenGL 3.3 graphics device: an SDL window's GL context, a 640x480 offscreen back buffer and
// shaders that draw as the original fixed-function pipeline did.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/graphics_device.h"

struct SDL_Window;
typedef void* SDL_GLContext;

class GlTexture;
class GlVertexBuffer;
class GlMesh;
class GlGeometry;
struct GlIndexRange;
class GlSprite;
struct GlDeviceLink;
struct GlPrograms;
struct GlSceneUniforms;

// Sets the SDL GL attributes the device needs (3.3 core, double buffer). Call it before
// SDL_CreateWindow(..., SDL_WINDOW_OPENGL).
void glPrepareWindowAttributes();

// Asks a software GL renderer (Mesa's llvmpipe, which reads LP_NUM_THREADS when GL starts) to
// draw with the thread that calls GL alone rather than hand each frame to threads of its own:
// the classic picture is small and comes 32 times a second, and handing it over costs more
// processor time than it saves. A value the environment already has is kept. Hardware drivers
// ignore it. Call it before the first window.
void glPreferOneDrawingThread();

// Draws into a back buffer of its own (a framebuffer object) and shows it on the window at
// present(). Owns the GL context; textures, buffers, meshes and sprites made by it may outlive it
// (they then do nothing and report failure).
class GlDevice : public GraphicsDevice {
  public:
    ~GlDevice() override;
    GlDevice(const GlDevice&) = delete;
    GlDevice& operator=(const GlDevice&) = delete;

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

    uint32_t backBufferWidth() const override { return width_; }
    uint32_t backBufferHeight() const override { return height_; }

    // The back buffer as 0xAARRGGBB words, top row first. The picture is opaque: alpha is 0xFF.
    bool readBackBuffer(std::vector<uint32_t>& argb);
    // On: present() keeps the back buffer's proportions with black bars. Off (the default): it
    // stretches the back buffer over the whole drawable.
    void setLetterbox(bool on) { letterbox_ = on; }
    // Where present() puts the back buffer in a drawable of the given size, in GL window
    // coordinates (origin bottom-left): x, y, width, height.
    std::array<int, 4> presentRect(int drawableWidth, int drawableHeight) const;

    bool inScene() const { return inScene_; }

    // On (the default): mesh draws lying wholly outside the view volume are left out before
    // they reach GL, which changes no pixel. Off: every draw goes to GL.
    void setCulling(bool on) { culling_ = on; }
    // Mesh draws left out by culling since the device was made.
    uint64_t culledDraws() const { return culledDraws_; }
    // On (the default): the picture that a colour clear and one sprite drawn over it make (the
    // background behind the scene) is kept once the same clear and sprite come twice in a row,
    // and copied back while they keep coming, which gives the same pixels for less work. Off:
    // such a sprite is always drawn.
    void setLayerReuse(bool on);
    // Frames whose cleared-and-sprite picture was copied back rather than drawn.
    uint64_t reusedLayers() const { return reusedLayers_; }

    // True while the window's own surface is the back buffer: it is never swapped and has the
    // back buffer's size, so present() has nothing to copy.
    bool drawsIntoWindow() const { return windowIsBackBuffer_; }

    // The renderer as GL names it ("llvmpipe (LLVM 15.0.6, 256 bits)", ...); empty without GL.
    std::string rendererName() const;
    // On: present() waits for the display's refresh, adaptively where the driver can (a late
    // frame is shown at once rather than a whole refresh later). False when the driver offers
    // neither; presentation then does not wait.
    bool setVsync(bool on);

    // On: the back buffer follows the window's drawable at each present, at its real pixel size
    // (the 4:3 part of it when letterboxed), so the picture is drawn sharp; the 2D parts keep
    // their places in the 640 x 480 layout, scaled to the picture. Off (the default): the back
    // buffer stays as made and present() scales it.
    void setNativeResolution(bool on) { native_ = on; }
    // The size the back buffer takes in native resolution for a drawable of this size.
    std::array<int, 2> nativeSize(int drawableWidth, int drawableHeight) const;
    // Multisampling: the back buffer keeps `samples` samples a pixel (0 or 1: one), resolved
    // when it is shown or read. Returns the samples now used: at most what GL offers, 0 when it
    // offers none or the buffer cannot be made with them.
    int setMultisampling(int samples);
    int multisampling() const { return samples_; }

    // Largest texture side the context accepts.
    int maxTextureSize() const { return maxTextureSize_; }

  private:
    friend class GlGraphicsSystem;
    friend class GlTexture;
    friend class GlVertexBuffer;
    friend class GlMesh;
    friend class GlGeometry;
    friend class GlSprite;

    static constexpr uint32_t kMaxLights = 8;
    static constexpr uint32_t kTextureStages = 8;

    struct LightSlot {
        Light light;
        bool set = false;
        bool enabled = false;
    };
    struct SpriteCorner {
        float x, y, w;  // back-buffer pixels times w, and w
        float u, v;
    };
    // Draws of one geometry's triangles in a row, with nothing but the world transform and the
    // material changed between them: they go to GL as one instanced draw when anything else
    // happens. GL draws the instances in order, so the picture is that of the single draws.
    struct PendingDraws {
        std::shared_ptr<const GlGeometry> geometry;
        uint32_t firstIndex = 0, indexCount = 0, fvf = 0;
        uint32_t instances = 0;
    };
    // Per drawn instance, as the scene program reads it: world x view (4 rows), its inverse
    // transpose (3 rows), the material's diffuse, ambient, specular and emissive colours, power.
    static constexpr uint32_t kInstanceTexels = 12;
    static constexpr uint32_t kInstanceFloats = kInstanceTexels * 4;
    // Instances the GL buffer holds; a frame that draws more starts a new buffer.
    static constexpr uint32_t kInstanceCapacity = 1024;

    GlDevice(SDL_Window* window, SDL_GLContext context, uint32_t width, uint32_t height);
    bool init();
    bool makeCurrent();
    // Whether the window's surface can be the back buffer: single-buffered (what is drawn
    // stays, as drawing over the last frame needs), of the back buffer's size, with 8-bit
    // colour, 24-bit depth and 8-bit stencil like the device's own. Sets it up for read-backs.
    bool windowCanBeBackBuffer();
    // The device's own back buffer (colour, depth and stencil); false, with the reason on
    // stderr after `who`, and nothing made, when GL cannot make it.
    bool makeBackBuffer(const char* who);
    // A single-sampled 8-bit colour renderbuffer of the back buffer's size in a framebuffer of
    // its own (the multisampled picture's resolve target, the kept layer); the back buffer's
    // framebuffer is bound again afterwards. Returns the new framebuffer's status.
    unsigned makeColourTarget(unsigned& framebuffer, unsigned& renderbuffer);
    // Moves from the window's surface to a back buffer of the device's own, taking over the
    // picture, when the window no longer has the back buffer's size.
    bool leaveWindowSurface();
    bool drawMeshSubset(const GlMesh& mesh, uint32_t subset);
    // The geometry of an earlier mesh with the same data, or a new one; null when GL refuses it.
    std::shared_ptr<const GlGeometry> shareGeometry(uint32_t fvf,
                                                    const std::vector<MeshVertex>& vertices,
                                                    std::vector<uint32_t> indices,
                                                    std::vector<GlIndexRange> ranges);
    // True when the box (in the coordinates worldView, the current world x view, takes to the
    // eye) lies wholly beyond one side of the view volume, so that nothing inside it can reach
    // the picture.
    bool outsideView(const Matrix& worldView, const Vec3& low, const Vec3& high) const;
    // The current world x view and material as one instance's kInstanceFloats values.
    void writeInstance(const Matrix& worldView, float* out) const;
    // Copies instances into the GL buffer; returns the first one's index there.
    uint32_t uploadInstances(const float* data, uint32_t count);
    // Hands the waiting draws to GL. Called before anything that changes what they depend on.
    void flushDraws();
    bool drawSpriteQuad(const GlTexture& texture, const SpriteCorner corners[4], uint32_t colour);
    // A sprite quad blended over the back buffer.
    bool drawTexturedQuad(const GlTexture& texture, const SpriteCorner corners[4], uint32_t colour);
    // What a sprite drawn over a back buffer holding only a clear colour depends on.
    struct LayerKey {
        uint32_t clearColour = 0;
        const GlTexture* texture = nullptr;
        SpriteCorner corners[4] = {};
        uint32_t colour = 0;
        uint32_t width = 0, height = 0;
        bool operator==(const LayerKey& other) const;
    };
    // Copies the back buffer's colour into the kept layer (storing) or back; false, with
    // nothing copied, when GL cannot.
    bool copyLayer(bool storing);
    // Deletes the kept layer's GL objects.
    void deleteLayer();
    void forget(const GlTexture* texture);
    void forget(const GlVertexBuffer* buffer);
    // Puts the recorded states into GL and the uniforms of the scene program they call for, for
    // a mesh or point draw; null (nothing changed) when that program cannot be built.
    const GlSceneUniforms* applyStates(bool points, uint32_t fvf);

    SDL_Window* window_;
    SDL_GLContext context_;
    uint32_t width_, height_;
    std::shared_ptr<GlDeviceLink> link_;
    std::unique_ptr<GlPrograms> programs_;
    unsigned framebuffer_ = 0, colourBuffer_ = 0, depthBuffer_ = 0;
    // With multisampling: the single-sampled picture the back buffer resolves into.
    unsigned resolveFramebuffer_ = 0, resolveBuffer_ = 0;
    int samples_ = 0;
    // Deletes the back buffer's GL objects.
    void deleteBackBuffer();
    // The framebuffer holding the picture as drawn so far, one sample a pixel (resolved first
    // when multisampled), bound for reading.
    unsigned bindPictureForReading();
    unsigned streamArray_ = 0, spriteArray_ = 0, spriteBuffer_ = 0;
    unsigned nearestWrap_ = 0, linearClamp_ = 0;
    bool glReady_ = false;  // the context offers GL 3.3: GL objects may be made and deleted
    bool hasS3tc_ = false;
    int maxTextureSize_ = 0;
    float maxPointSize_ = 1;
    bool letterbox_ = false;
    bool native_ = false;
    // The 2D layout that sprites are placed in, whatever the back buffer's pixel size.
    static constexpr float kLayoutWidth = 640, kLayoutHeight = 480;
    // Makes the back buffer anew at this size (native resolution).
    bool resizeBackBuffer(uint32_t width, uint32_t height);
    // In native resolution, makes the back buffer the size the drawable asks for now.
    void followDrawable();
    bool windowIsBackBuffer_ = false;
    // The device's own back buffer keeps its picture top row first, as window surfaces do: GL's
    // clip control turns the picture over as it is drawn. Rasterized in that order, the picture
    // has the same pixels in a desktop window as on the window surface (SDL's offscreen driver,
    // the headless runner, the tests). Off where GL has no clip control, and while the window's
    // own surface is the back buffer.
    bool topRowFirst_ = false;
    bool clipControl_ = false;
    void orientOwnBuffer();
    // The GL rows of the back buffer's top and bottom edges: {top, bottom}.
    std::array<int, 2> pictureRows() const;
    bool ownBufferRefused_ = false;  // GL could not make the back buffer when it was needed
    bool inScene_ = false;
    bool culling_ = true;
    uint64_t culledDraws_ = 0;
    // The back buffer holds nothing but the colour of its last clear, clearedColour_.
    bool onlyCleared_ = false;
    uint32_t clearedColour_ = 0;
    bool layerReuse_ = true;
    // The last sprite drawn over a cleared back buffer, and whether the layer holds its picture.
    std::optional<LayerKey> layerKey_;
    bool layerKept_ = false;
    unsigned layerFramebuffer_ = 0, layerBuffer_ = 0;
    uint32_t layerWidth_ = 0, layerHeight_ = 0;
    uint64_t reusedLayers_ = 0;

    uint32_t states_[static_cast<int>(RenderState::Count)];
    Matrix world_, view_, projection_;
    Material material_;
    std::array<LightSlot, kMaxLights> lights_;
    std::array<const GlTexture*, kTextureStages> textures_{};
    std::vector<std::weak_ptr<const GlGeometry>> geometries_;
    PendingDraws pending_;
    std::vector<float> pendingInstances_;
    unsigned instanceBuffer_ = 0, instanceTexture_ = 0;
    uint32_t instancesUsed_ = 0;  // of the GL buffer, in this frame
    const GlVertexBuffer* stream_ = nullptr;
    uint32_t streamStride_ = 0;
    uint32_t vertexFormat_ = 0;
};

// The graphics system of an SDL window made with SDL_WINDOW_OPENGL (after
// glPrepareWindowAttributes()).
class GlGraphicsSystem : public GraphicsSystem {
  public:
    explicit GlGraphicsSystem(SDL_Window* window) : window_(window) {}

    // Reads the desktop mode of the window's display; false when SDL cannot tell it.
    bool displayMode() override;
    std::unique_ptr<GraphicsDevice> createDevice(const PresentParameters& params) override;
    // As createDevice, keeping the device's own type. Null, with the reason on stderr, when there
    // is no usable GL 3.3 context.
    std::unique_ptr<GlDevice> createGlDevice(const PresentParameters& params);

    uint32_t desktopWidth() const { return desktopWidth_; }
    uint32_t desktopHeight() const { return desktopHeight_; }
    uint32_t desktopRefreshRate() const { return desktopRefresh_; }

  private:
    SDL_Window* window_;
    uint32_t desktopWidth_ = 0, desktopHeight_ = 0, desktopRefresh_ = 0;
};
