// The OpenGL 3.3 graphics device: context and back buffer set-up, the recorded render states and
// how they become GL state, clearing, drawing, presenting and reading back.
#include "platform/gl_device.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/gl_resources.h"
#include "platform/gl_shaders.h"

namespace {

// Largest vertex buffer handed out: far above the game's 120000 bytes.
constexpr uint32_t kMaxVertexBufferBytes = 64u << 20;
// Largest back buffer side accepted.
constexpr uint32_t kMaxBackBufferSide = 8192;
// The original platform's default largest point sprite, in pixels; the game never changes it.
constexpr float kPointSizeMax = 64.0f;
// Texture stage 0's sampler unit, and the unit of the per-instance data.
constexpr GLuint kTextureUnit = 0;
constexpr GLuint kInstanceUnit = 1;

constexpr uint32_t kShadeFlat = 1;
constexpr uint32_t kClearStencil = 4;

void colourOf(uint32_t argb, float out[4]) {
    out[0] = ((argb >> 16) & 0xFF) / 255.0f;
    out[1] = ((argb >> 8) & 0xFF) / 255.0f;
    out[2] = (argb & 0xFF) / 255.0f;
    out[3] = ((argb >> 24) & 0xFF) / 255.0f;
}

GLenum blendFactor(uint32_t blend, bool source) {
    switch (blend) {
        case 1:
            return GL_ZERO;
        case 2:
            return GL_ONE;
        case 3:
            return GL_SRC_COLOR;
        case 4:
            return GL_ONE_MINUS_SRC_COLOR;
        case kBlendSrcAlpha:
            return GL_SRC_ALPHA;
        case kBlendInvSrcAlpha:
            return GL_ONE_MINUS_SRC_ALPHA;
        case 7:
            return GL_DST_ALPHA;
        case 8:
            return GL_ONE_MINUS_DST_ALPHA;
        case 9:
            return GL_DST_COLOR;
        case 10:
            return GL_ONE_MINUS_DST_COLOR;
        case 11:
            return GL_SRC_ALPHA_SATURATE;
        case 12:
            return source ? GL_SRC_ALPHA : GL_ONE_MINUS_SRC_ALPHA;  // both source alpha
        case 13:
            return source ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;  // both inverse
        default:
            return source ? GL_ONE : GL_ZERO;
    }
}

// Forgets errors left by earlier calls, so that the next check judges only what follows.
void drainErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

void uniformRgb(GLint location, uint32_t rgb) {
    float c[4];
    colourOf(rgb, c);
    glUniform3f(location, c[0], c[1], c[2]);
}

}  // namespace

void glPrepareWindowAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // A window's buffers are swapped at present, so the device keeps a back buffer of its own
    // and the window needs colour only. SDL's offscreen driver draws into one surface that is
    // never swapped and keeps its pixels: with the device's depth and stencil it can serve as
    // the back buffer itself (see GlDevice::init).
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool offscreen = driver && std::strcmp(driver, "offscreen") == 0;
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, offscreen ? 24 : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, offscreen ? 8 : 0);
}

void glPreferOneDrawingThread() {
    setenv("LP_NUM_THREADS", "0", 0);
}

bool GlGraphicsSystem::displayMode() {
    if (!window_)
        return false;
    int display = SDL_GetWindowDisplayIndex(window_);
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &mode) != 0) {
        std::fprintf(stderr, "GlGraphicsSystem::displayMode: cannot read the desktop mode: %s\n",
                     SDL_GetError());
        return false;
    }
    desktopWidth_ = static_cast<uint32_t>(mode.w);
    desktopHeight_ = static_cast<uint32_t>(mode.h);
    desktopRefresh_ = static_cast<uint32_t>(mode.refresh_rate);
    return true;
}

std::unique_ptr<GraphicsDevice> GlGraphicsSystem::createDevice(const PresentParameters& params) {
    return createGlDevice(params);
}

std::unique_ptr<GlDevice> GlGraphicsSystem::createGlDevice(const PresentParameters& params) {
    if (!window_) {
        std::fprintf(stderr, "GlGraphicsSystem::createDevice: there is no window\n");
        return nullptr;
    }
    uint32_t width = params.backBufferWidth ? params.backBufferWidth : 640;
    uint32_t height = params.backBufferHeight ? params.backBufferHeight : 480;
    if (width > kMaxBackBufferSide || height > kMaxBackBufferSide) {
        std::fprintf(stderr, "GlGraphicsSystem::createDevice: a %ux%u back buffer is too large\n",
                     width, height);
        return nullptr;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window_);
    if (!context) {
        std::fprintf(stderr,
                     "GlGraphicsSystem::createDevice: no OpenGL 3.3 core context for the "
                     "window: %s\n",
                     SDL_GetError());
        return nullptr;
    }
    std::unique_ptr<GlDevice> device(new GlDevice(window_, context, width, height));
    if (!device->init())
        return nullptr;
    // A device made on a full-screen window keeps the picture's proportions from the start.
    device->setLetterbox((SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0);
    return device;
}

GlDevice::GlDevice(SDL_Window* window, SDL_GLContext context, uint32_t width, uint32_t height)
    : window_(window),
      context_(context),
      width_(width),
      height_(height),
      link_(std::make_shared<GlDeviceLink>()) {
    link_->device = this;
    // The original platform's defaults, for states the game sets before it relies on them.
    auto set = [this](RenderState s, uint32_t v) { states_[static_cast<int>(s)] = v; };
    std::fill(std::begin(states_), std::end(states_), 0u);
    set(RenderState::CullMode, kCullCCW);
    set(RenderState::Lighting, 1);
    set(RenderState::ShadeMode, kShadeGouraud);
    set(RenderState::ZEnable, 1);
    set(RenderState::ZWriteEnable, 1);
    set(RenderState::SrcBlend, 2);
    set(RenderState::DestBlend, 1);
    set(RenderState::FogDensity, floatBits(1.0f));
    set(RenderState::PointSize, floatBits(1.0f));
    set(RenderState::PointSizeMin, floatBits(1.0f));
    set(RenderState::PointScaleA, floatBits(1.0f));
    set(RenderState::PointScaleB, floatBits(0.0f));
    set(RenderState::PointScaleC, floatBits(0.0f));
}

GlDevice::~GlDevice() {
    link_->device = nullptr;
    if (!context_)
        return;
    if (glReady_ && makeCurrent()) {
        if (programs_)
            programs_->release();
        deleteBackBuffer();
        glDeleteVertexArrays(1, &streamArray_);
        glDeleteVertexArrays(1, &spriteArray_);
        glDeleteBuffers(1, &spriteBuffer_);
        glDeleteTextures(1, &instanceTexture_);
        glDeleteBuffers(1, &instanceBuffer_);
        glDeleteSamplers(1, &nearestWrap_);
        glDeleteSamplers(1, &linearClamp_);
        deleteLayer();
    }
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
}

bool GlDevice::makeCurrent() {
    if (SDL_GL_GetCurrentContext() == context_)
        return true;
    return SDL_GL_MakeCurrent(window_, context_) == 0;
}

bool GlDevice::windowCanBeBackBuffer() {
    GLboolean doubleBuffered = GL_TRUE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    GLint samples = 1;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &samples);
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    // SDL's size can differ from the surface's (the offscreen driver's surface keeps the size it
    // was made with); a fresh context's viewport is the surface's own.
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const GLint bw = static_cast<GLint>(width_), bh = static_cast<GLint>(height_);
    if (doubleBuffered || samples != 0 || w != bw || h != bh || viewport[2] != bw ||
        viewport[3] != bh) {
        drainErrors();
        return false;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint buffer = GL_NONE;
    glGetIntegerv(GL_DRAW_BUFFER, &buffer);
    const GLenum colour = buffer == GL_FRONT || buffer == GL_FRONT_LEFT ? GL_FRONT_LEFT
                          : buffer == GL_BACK || buffer == GL_BACK_LEFT ? GL_BACK_LEFT
                                                                        : GL_NONE;
    if (colour == GL_NONE) {
        drainErrors();
        return false;
    }
    auto bits = [](GLenum attachment, GLenum what) {
        GLint v = 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, what, &v);
        return v;
    };
    const bool suits = bits(colour, GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE) == 8 &&
                       bits(colour, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE) == 8 &&
                       bits(colour, GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE) == 8 &&
                       bits(GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE) == 24 &&
                       bits(GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE) == 8;
    if (glGetError() != GL_NO_ERROR || !suits) {
        drainErrors();
        return false;
    }
    // Read-backs read what is drawn.
    glReadBuffer(static_cast<GLenum>(buffer));
    if (glGetError() == GL_NO_ERROR)
        return true;
    drainErrors();
    return false;
}

void GlDevice::deleteBackBuffer() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer_);
    glDeleteRenderbuffers(1, &colourBuffer_);
    glDeleteRenderbuffers(1, &depthBuffer_);
    glDeleteFramebuffers(1, &resolveFramebuffer_);
    glDeleteRenderbuffers(1, &resolveBuffer_);
    framebuffer_ = colourBuffer_ = depthBuffer_ = resolveFramebuffer_ = resolveBuffer_ = 0;
}

unsigned GlDevice::makeColourTarget(unsigned& framebuffer, unsigned& renderbuffer) {
    glGenRenderbuffers(1, &renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width_, height_);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return status;
}

bool GlDevice::makeBackBuffer(const char* who) {
    onlyCleared_ = false;
    auto storage = [this](GLenum format) {
        if (samples_ > 1)
            glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, format, width_, height_);
        else
            glRenderbufferStorage(GL_RENDERBUFFER, format, width_, height_);
    };
    glGenRenderbuffers(1, &colourBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, colourBuffer_);
    storage(GL_RGBA8);
    glGenRenderbuffers(1, &depthBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
    storage(GL_DEPTH24_STENCIL8);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              depthBuffer_);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE && samples_ > 1)
        status = makeColourTarget(resolveFramebuffer_, resolveBuffer_);
    if (status == GL_FRAMEBUFFER_COMPLETE && glGetError() == GL_NO_ERROR)
        return true;
    std::fprintf(stderr, "%s: the %ux%u back buffer (%d samples) is incomplete (status 0x%x)\n",
                 who, width_, height_, samples_, status);
    drainErrors();
    deleteBackBuffer();
    if (samples_ > 1) {
        // Without multisampling rather than without a picture.
        samples_ = 0;
        return makeBackBuffer(who);
    }
    return false;
}

unsigned GlDevice::bindPictureForReading() {
    if (samples_ > 1 && resolveFramebuffer_) {
        const GLint w = static_cast<GLint>(width_), h = static_cast<GLint>(height_);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer_);
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFramebuffer_);
        return resolveFramebuffer_;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    return framebuffer_;
}

int GlDevice::setMultisampling(int samples) {
    if (!glReady_ || !makeCurrent())
        return 0;
    GLint most = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    int wanted = std::min(samples, static_cast<int>(most));
    if (wanted <= 1)
        wanted = 0;
    if (wanted == samples_)
        return samples_;
    flushDraws();
    samples_ = wanted;
    // The window's own surface has one sample a pixel: a multisampled picture needs a buffer of
    // its own.
    if (windowIsBackBuffer_) {
        leaveWindowSurface();
        return samples_;
    }
    resizeBackBuffer(width_, height_);
    return samples_;
}

bool GlDevice::leaveWindowSurface() {
    // On failure (said on stderr, once) it goes on drawing into the window.
    if (ownBufferRefused_)
        return false;
    if (!makeBackBuffer("GlDevice::present")) {
        ownBufferRefused_ = true;
        return false;
    }
    windowIsBackBuffer_ = false;
    orientOwnBuffer();
    // What the window holds becomes the back buffer's picture, depth and stencil, so that a
    // frame drawn over the last one still finds it.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
    const GLint w = static_cast<GLint>(width_), h = static_cast<GLint>(height_);
    const auto [top, bottom] = pictureRows();
    // (GL copies into a multisampled buffer only by drawing: that one starts black.)
    if (samples_ > 1) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    } else {
        glBlitFramebuffer(0, 0, w, h, 0, bottom, w, top, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    glBlitFramebuffer(0, 0, w, h, 0, bottom, w, top, GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT,
                      GL_NEAREST);
    if (samples_ > 1 || glGetError() != GL_NO_ERROR) {
        // Depth kept differently by the window: start it afresh.
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glDepthMask(GL_TRUE);
        glStencilMask(0xFF);
        glClearDepth(1.0);
        glClearStencil(0);
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return true;
}

void GlDevice::orientOwnBuffer() {
    topRowFirst_ = clipControl_ && !windowIsBackBuffer_;
    if (!clipControl_)
        return;
    glClipControl(topRowFirst_ ? GL_UPPER_LEFT : GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
    // A point sprite's texture coordinates count from the point's top in window rows; turned
    // over, the picture's top is the lower row.
    glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, topRowFirst_ ? GL_LOWER_LEFT : GL_UPPER_LEFT);
}

std::array<int, 2> GlDevice::pictureRows() const {
    const int h = static_cast<int>(height_);
    return topRowFirst_ ? std::array<int, 2>{0, h} : std::array<int, 2>{h, 0};
}

std::string GlDevice::rendererName() const {
    if (!glReady_ || SDL_GL_MakeCurrent(window_, context_) != 0)
        return {};
    const GLubyte* name = glGetString(GL_RENDERER);
    return name ? reinterpret_cast<const char*>(name) : "";
}

bool GlDevice::setVsync(bool on) {
    if (!on)
        return SDL_GL_SetSwapInterval(0) == 0;
    return SDL_GL_SetSwapInterval(-1) == 0 || SDL_GL_SetSwapInterval(1) == 0;
}

bool GlDevice::init() {
    if (SDL_GL_MakeCurrent(window_, context_) != 0) {
        std::fprintf(stderr, "GlGraphicsSystem::createDevice: cannot use the GL context: %s\n",
                     SDL_GetError());
        return false;
    }
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 33) {
        std::fprintf(stderr,
                     "GlGraphicsSystem::createDevice: OpenGL 3.3 is needed, the context offers "
                     "%s %d.%d\n",
                     epoxy_is_desktop_gl() ? "OpenGL" : "OpenGL ES", epoxy_gl_version() / 10,
                     epoxy_gl_version() % 10);
        return false;
    }
    glReady_ = true;
    hasS3tc_ = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
    // Never let presentation wait for the display: the game paces its own frames.
    SDL_GL_SetSwapInterval(0);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    GLfloat pointRange[2] = {1, 1};
    glGetFloatv(GL_POINT_SIZE_RANGE, pointRange);
    maxPointSize_ = std::min(kPointSizeMax, pointRange[1]);

    clipControl_ = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    windowIsBackBuffer_ = windowCanBeBackBuffer();
    if (!windowIsBackBuffer_ && !makeBackBuffer("GlGraphicsSystem::createDevice"))
        return false;
    orientOwnBuffer();

    programs_ = std::make_unique<GlPrograms>();
    if (!programs_->build(kTextureUnit, kInstanceUnit))
        return false;

    glGenVertexArrays(1, &streamArray_);
    glGenVertexArrays(1, &spriteArray_);
    glGenBuffers(1, &spriteBuffer_);
    glBindVertexArray(spriteArray_);
    glBindBuffer(GL_ARRAY_BUFFER, spriteBuffer_);
    glBufferData(GL_ARRAY_BUFFER, 4 * 6 * sizeof(float), nullptr, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 6 * sizeof(float),
                          reinterpret_cast<const void*>(4 * sizeof(float)));
    glBindVertexArray(0);

    // The per-instance transforms and materials, read by the scene program through a buffer
    // texture on its own unit.
    glGenBuffers(1, &instanceBuffer_);
    glBindBuffer(GL_TEXTURE_BUFFER, instanceBuffer_);
    glBufferData(GL_TEXTURE_BUFFER, kInstanceCapacity * kInstanceFloats * sizeof(float), nullptr,
                 GL_STREAM_DRAW);
    glGenTextures(1, &instanceTexture_);
    glActiveTexture(GL_TEXTURE0 + kInstanceUnit);
    glBindTexture(GL_TEXTURE_BUFFER, instanceTexture_);
    glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, instanceBuffer_);
    glActiveTexture(GL_TEXTURE0 + kTextureUnit);
    pendingInstances_.reserve(kInstanceCapacity * kInstanceFloats);

    // 3D texturing samples as the original platform's defaults; sprites filter and clamp.
    glGenSamplers(1, &nearestWrap_);
    glSamplerParameteri(nearestWrap_, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glSamplerParameteri(nearestWrap_, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glSamplerParameteri(nearestWrap_, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glSamplerParameteri(nearestWrap_, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glGenSamplers(1, &linearClamp_);
    glSamplerParameteri(linearClamp_, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(linearClamp_, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(linearClamp_, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(linearClamp_, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    // Flat shading takes the first vertex's colour, as on the original platform.
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glEnable(GL_PROGRAM_POINT_SIZE);
    glViewport(0, 0, width_, height_);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        std::fprintf(stderr, "GlGraphicsSystem::createDevice: GL set-up failed (error 0x%x)\n",
                     error);
        return false;
    }
    return true;
}

// ---- Recorded state ----

bool GlDevice::setTransform(TransformState state, const Matrix& matrix) {
    switch (state) {
        case TransformState::World:
            world_ = matrix;
            return true;
        case TransformState::View:
            if (std::memcmp(&view_, &matrix, sizeof matrix) != 0)
                flushDraws();
            view_ = matrix;
            return true;
        case TransformState::Projection:
            if (std::memcmp(&projection_, &matrix, sizeof matrix) != 0)
                flushDraws();
            projection_ = matrix;
            return true;
    }
    return false;
}

bool GlDevice::setRenderState(RenderState state, uint32_t value) {
    int i = static_cast<int>(state);
    if (i < 0 || i >= static_cast<int>(RenderState::Count))
        return false;
    if (states_[i] != value)
        flushDraws();
    states_[i] = value;
    return true;
}

bool GlDevice::setMaterial(const Material& material) {
    material_ = material;
    return true;
}

bool GlDevice::setLight(uint32_t index, const Light& light) {
    if (index >= kMaxLights || light.type != kLightDirectional)
        return false;
    if (length(light.direction) == 0.0f || !std::isfinite(length(light.direction)))
        return false;
    flushDraws();
    lights_[index].light = light;
    lights_[index].set = true;
    return true;
}

bool GlDevice::lightEnable(uint32_t index, bool enable) {
    if (index >= kMaxLights)
        return false;
    flushDraws();
    LightSlot& slot = lights_[index];
    if (enable && !slot.set) {
        // A light switched on before it is set is the platform's default: white, along +z.
        slot.light = Light{};
        slot.light.diffuse = {1, 1, 1, 0};
        slot.light.direction = {0, 0, 1};
        slot.set = true;
    }
    slot.enabled = enable;
    return true;
}

bool GlDevice::setTexture(uint32_t stage, Texture* texture) {
    if (stage >= kTextureStages)
        return false;
    if (!texture) {
        if (textures_[stage])
            flushDraws();
        textures_[stage] = nullptr;
        return true;
    }
    auto* t = dynamic_cast<GlTexture*>(texture);
    if (!t || !t->madeBy(this))
        return false;
    if (textures_[stage] != t)
        flushDraws();
    textures_[stage] = t;
    return true;
}

void GlDevice::forget(const GlTexture* texture) {
    if (std::find(textures_.begin(), textures_.end(), texture) != textures_.end())
        flushDraws();
    // Another texture may come at the same address.
    if (layerKey_ && layerKey_->texture == texture) {
        layerKey_.reset();
        layerKept_ = false;
    }
    for (auto& t : textures_)
        if (t == texture)
            t = nullptr;
}

void GlDevice::forget(const GlVertexBuffer* buffer) {
    if (stream_ == buffer) {
        stream_ = nullptr;
        streamStride_ = 0;
    }
}

// ---- Frame ----

bool GlDevice::clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) {
    if ((flags & ~(kClearTarget | kClearZBuffer | kClearStencil)) != 0 || !makeCurrent())
        return false;
    flushDraws();
    // A frame begins with its clear: drawn at the window's size as it is now (a repaint after a
    // resize or a switch to full screen, when no present has followed the change yet).
    if (!inScene_)
        followDrawable();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    // Clearing ignores the write masks of drawing.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    GLbitfield bits = 0;
    if (flags & kClearTarget) {
        float c[4];
        colourOf(colour, c);
        // The back buffer keeps no alpha of its own: the picture is opaque.
        glClearColor(c[0], c[1], c[2], 1.0f);
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & kClearZBuffer) {
        glClearDepth(std::clamp(std::isnan(z) ? 1.0f : z, 0.0f, 1.0f));
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & kClearStencil) {
        glClearStencil(static_cast<GLint>(stencil & 0xFF));
        bits |= GL_STENCIL_BUFFER_BIT;
    }
    if (bits)
        glClear(bits);
    if (flags & kClearTarget) {
        onlyCleared_ = true;
        clearedColour_ = colour & 0x00FFFFFF;
    }
    return true;
}

bool GlDevice::beginScene() {
    if (inScene_)
        return false;
    inScene_ = true;
    return true;
}

bool GlDevice::endScene() {
    if (!inScene_)
        return false;
    if (makeCurrent())
        flushDraws();
    inScene_ = false;
    return true;
}

std::array<int, 2> GlDevice::nativeSize(int drawableWidth, int drawableHeight) const {
    if (!letterbox_)
        return {drawableWidth, drawableHeight};
    auto rect = presentRect(drawableWidth, drawableHeight);
    return {rect[2], rect[3]};
}

void GlDevice::followDrawable() {
    if (!native_)
        return;
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    if (dw <= 0 || dh <= 0)
        return;
    auto [nw, nh] = nativeSize(dw, dh);
    if (nw <= 0 || nh <= 0 || (nw == static_cast<int>(width_) && nh == static_cast<int>(height_)))
        return;
    if (windowIsBackBuffer_ && !leaveWindowSurface())
        return;
    resizeBackBuffer(static_cast<uint32_t>(nw), static_cast<uint32_t>(nh));
}

bool GlDevice::resizeBackBuffer(uint32_t width, uint32_t height) {
    if (windowIsBackBuffer_ || width == 0 || height == 0 || width > 16384 || height > 16384)
        return false;
    deleteBackBuffer();
    uint32_t oldWidth = width_, oldHeight = height_;
    width_ = width;
    height_ = height;
    if (!makeBackBuffer("GlDevice::present")) {
        width_ = oldWidth;
        height_ = oldHeight;
        return makeBackBuffer("GlDevice::present");
    }
    // Black, and a depth and stencil that nothing has been drawn against.
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    glClearStencil(0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    return true;
}

std::array<int, 4> GlDevice::presentRect(int drawableWidth, int drawableHeight) const {
    if (!letterbox_)
        return {0, 0, drawableWidth, drawableHeight};
    // The picture's proportions are the layout's (the back buffer's, outside native resolution).
    const int64_t pw = native_ ? static_cast<int64_t>(kLayoutWidth) : width_;
    const int64_t ph = native_ ? static_cast<int64_t>(kLayoutHeight) : height_;
    int64_t w = drawableWidth;
    int64_t h = w * ph / pw;
    if (h > drawableHeight) {
        h = drawableHeight;
        w = h * pw / ph;
    }
    return {static_cast<int>((drawableWidth - w) / 2), static_cast<int>((drawableHeight - h) / 2),
            static_cast<int>(w), static_cast<int>(h)};
}

bool GlDevice::present() {
    if (inScene_ || !makeCurrent())
        return false;
    flushDraws();
    drainErrors();
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    if (windowIsBackBuffer_ && dw > 0 && dh > 0 &&
        (dw != static_cast<int>(width_) || dh != static_cast<int>(height_)))
        leaveWindowSurface();
    if (!windowIsBackBuffer_ && dw > 0 && dh > 0) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        bindPictureForReading();
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glViewport(0, 0, dw, dh);
        auto [x, y, w, h] = presentRect(dw, dh);
        if (w != dw || h != dh) {
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        // Filtering is only needed when the picture is scaled; copied pixel for pixel it
        // gives the same colours, slower.
        const bool scaled = w != static_cast<int>(width_) || h != static_cast<int>(height_);
        // Window rows count from the bottom.
        const auto [top, bottom] = pictureRows();
        glBlitFramebuffer(0, bottom, width_, top, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT,
                          scaled ? GL_LINEAR : GL_NEAREST);
    }
    // Hands the frame to the driver even where a swap does not (a pbuffer, as SDL's offscreen
    // driver gives): llvmpipe would otherwise keep every frame's commands and their memory.
    glFlush();
    SDL_GL_SwapWindow(window_);
    // The next frame's instances go to new storage: nothing waits for this frame's draws.
    glBindBuffer(GL_TEXTURE_BUFFER, instanceBuffer_);
    glBufferData(GL_TEXTURE_BUFFER, kInstanceCapacity * kInstanceFloats * sizeof(float), nullptr,
                 GL_STREAM_DRAW);
    instancesUsed_ = 0;
    followDrawable();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, width_, height_);
    return glGetError() == GL_NO_ERROR;
}

bool GlDevice::readBackBuffer(std::vector<uint32_t>& argb) {
    if (!makeCurrent())
        return false;
    flushDraws();
    drainErrors();
    std::vector<uint32_t> rows(static_cast<size_t>(width_) * height_);
    bindPictureForReading();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
    if (glGetError() != GL_NO_ERROR)
        return false;
    if (topRowFirst_) {
        argb = std::move(rows);
        return true;
    }
    // GL keeps the bottom row first.
    argb.resize(rows.size());
    for (uint32_t y = 0; y < height_; ++y)
        std::copy_n(rows.data() + static_cast<size_t>(height_ - 1 - y) * width_, width_,
                    argb.data() + static_cast<size_t>(y) * width_);
    return true;
}

// ---- Resources ----

std::unique_ptr<VertexBuffer> GlDevice::createVertexBuffer(uint32_t bytes, uint32_t fvf) {
    if (bytes == 0 || bytes > kMaxVertexBufferBytes) {
        std::fprintf(stderr, "GlDevice::createVertexBuffer: %u bytes is not a usable size\n",
                     bytes);
        return nullptr;
    }
    if (!makeCurrent())
        return nullptr;
    flushDraws();
    drainErrors();
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(GL_ARRAY_BUFFER, name);
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_DYNAMIC_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteBuffers(1, &name);
        std::fprintf(stderr, "GlDevice::createVertexBuffer: GL has no room for %u bytes\n", bytes);
        return nullptr;
    }
    return std::make_unique<GlVertexBuffer>(link_, name, bytes, fvf);
}

std::unique_ptr<Mesh> GlDevice::createMesh(MeshData data) {
    if (!makeCurrent())
        return nullptr;
    flushDraws();
    drainErrors();
    auto mesh = std::make_unique<GlMesh>(link_, std::move(data));
    if (!mesh->upload())
        return nullptr;
    return mesh;
}

std::unique_ptr<Texture> GlDevice::createTexture(const Image& image) {
    if (!makeCurrent())
        return nullptr;
    const uint64_t w = image.width, h = image.height;
    if (w == 0 || h == 0 || w > static_cast<uint64_t>(maxTextureSize_) ||
        h > static_cast<uint64_t>(maxTextureSize_)) {
        std::fprintf(stderr, "GlDevice::createTexture: a %llux%llu texture is not possible\n",
                     static_cast<unsigned long long>(w), static_cast<unsigned long long>(h));
        return nullptr;
    }
    uint64_t needed = 0;
    GLenum compressed = 0;
    switch (image.format) {
        case PixelFormat::Argb8888:
            needed = w * h * 4;
            break;
        case PixelFormat::Dxt1:
            compressed = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
            break;
        case PixelFormat::Dxt3:
            compressed = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
            break;
        case PixelFormat::Dxt5:
            compressed = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
            break;
    }
    if (compressed) {
        uint64_t blockBytes = image.format == PixelFormat::Dxt1 ? 8 : 16;
        needed = ((w + 3) / 4) * ((h + 3) / 4) * blockBytes;
        if (!hasS3tc_) {
            std::fprintf(stderr,
                         "GlDevice::createTexture: the GL context cannot take DXT textures "
                         "(no GL_EXT_texture_compression_s3tc)\n");
            return nullptr;
        }
    }
    if (image.data.size() < needed) {
        std::fprintf(stderr, "GlDevice::createTexture: %zu bytes of pixels, %llu needed\n",
                     image.data.size(), static_cast<unsigned long long>(needed));
        return nullptr;
    }
    flushDraws();
    drainErrors();
    GLuint name = 0;
    glGenTextures(1, &name);
    glActiveTexture(GL_TEXTURE0 + kTextureUnit);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    // Rows go up top row first, so texture coordinate v = 0 is the picture's top edge.
    if (compressed)
        glCompressedTexImage2D(GL_TEXTURE_2D, 0, compressed, static_cast<GLsizei>(w),
                               static_cast<GLsizei>(h), 0, static_cast<GLsizei>(needed),
                               image.data.data());
    else
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h),
                     0, GL_BGRA, GL_UNSIGNED_BYTE, image.data.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        std::fprintf(stderr, "GlDevice::createTexture: GL refused the pixels (error 0x%x)\n",
                     error);
        return nullptr;
    }
    // Compressed pictures are taken as visible everywhere.
    const Rect visible = compressed ? Rect{0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)}
                                    : glVisibleTexels(image);
    return std::make_unique<GlTexture>(link_, name, image.width, image.height, visible);
}

std::shared_ptr<const GlGeometry> GlDevice::shareGeometry(uint32_t fvf,
                                                          const std::vector<MeshVertex>& vertices,
                                                          std::vector<uint32_t> indices,
                                                          std::vector<GlIndexRange> ranges) {
    std::erase_if(geometries_, [](const auto& g) { return g.expired(); });
    for (const auto& weak : geometries_) {
        std::shared_ptr<const GlGeometry> geometry = weak.lock();
        if (geometry && geometry->sameData(fvf, vertices, indices, ranges))
            return geometry;
    }
    auto geometry =
        std::make_shared<GlGeometry>(link_, fvf, vertices, std::move(indices), std::move(ranges));
    if (!geometry->upload())
        return nullptr;
    geometries_.push_back(geometry);
    return geometry;
}

std::unique_ptr<Sprite> GlDevice::createSprite() {
    return std::make_unique<GlSprite>(link_);
}

// ---- Drawing ----

bool GlDevice::setStreamSource(uint32_t stream, VertexBuffer* buffer, uint32_t stride) {
    if (stream != 0)
        return false;
    if (!buffer) {
        stream_ = nullptr;
        streamStride_ = 0;
        return true;
    }
    auto* b = dynamic_cast<GlVertexBuffer*>(buffer);
    if (!b || !b->madeBy(this) || stride == 0)
        return false;
    stream_ = b;
    streamStride_ = stride;
    return true;
}

bool GlDevice::setVertexFormat(uint32_t fvf) {
    if (!glVertexLayout(fvf).valid)
        return false;
    vertexFormat_ = fvf;
    return true;
}

const GlSceneUniforms* GlDevice::applyStates(bool points, uint32_t fvf) {
    onlyCleared_ = false;
    auto state = [this](RenderState s) { return states_[static_cast<int>(s)]; };
    auto flag = [&](RenderState s) { return state(s) != 0; };
    auto real = [&](RenderState s) { return bitsFloat(state(s)); };

    int fogMode = kGlFogOff;
    if (flag(RenderState::FogEnable)) {
        uint32_t mode = state(RenderState::FogTableMode);
        if (mode == kFogNone)
            mode = state(RenderState::FogVertexMode);
        if (mode == kFogExp)
            fogMode = kGlFogExp;
        if (mode == 2)
            fogMode = kGlFogExp2;
        if (mode == 3)
            fogMode = kGlFogLinear;
    }
    const GlTexture* texture = textures_[0];
    const GlSceneProgram* program = programs_->scene(
        glSceneVariant(texture != nullptr, state(RenderState::ShadeMode) == kShadeFlat,
                       points && flag(RenderState::PointSpriteEnable), fogMode));
    if (!program)
        return nullptr;
    const GlSceneUniforms& u = program->uniforms;

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, width_, height_);
    // The back buffer keeps the alpha of its clear (1): drawing writes colour only.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glUseProgram(program->program);

    if (flag(RenderState::ZEnable)) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(flag(RenderState::ZWriteEnable) ? GL_TRUE : GL_FALSE);
    } else {
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
    }

    // The cull rule names the turn as seen on the picture. The back buffer is not stored
    // upside down (normalised y = +1 is its top row here as on the original platform), so a
    // triangle turns the same way in GL window coordinates: with counter-clockwise as GL's
    // front, clockwise triangles are GL's back faces.
    uint32_t cull = state(RenderState::CullMode);
    if (points || (cull != kCullCW && cull != kCullCCW)) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
        glCullFace(cull == kCullCW ? GL_BACK : GL_FRONT);
    }

    if (flag(RenderState::AlphaBlendEnable)) {
        glEnable(GL_BLEND);
        // The back buffer's alpha stays 1.
        glBlendFuncSeparate(blendFactor(state(RenderState::SrcBlend), true),
                            blendFactor(state(RenderState::DestBlend), false), GL_ZERO, GL_ONE);
    } else {
        glDisable(GL_BLEND);
    }

    // Transforms: uploaded as they are, GLSL's matrix * vector then equals the row vector
    // times the matrix. World x view comes with each instance.
    glUniformMatrix4fv(u.projection, 1, GL_FALSE, &projection_.m[0][0]);
    glUniform2f(u.pixelOffset, 1.0f / width_, -1.0f / height_);

    const GlVertexLayout layout = glVertexLayout(fvf);
    glUniform1i(u.lighting, flag(RenderState::Lighting));
    glUniform1i(u.normalizeNormals, flag(RenderState::NormalizeNormals));
    glUniform1i(u.specularEnable, flag(RenderState::SpecularEnable));
    glUniform1i(u.hasColour, layout.colour >= 0);
    uniformRgb(u.ambient, state(RenderState::Ambient));

    // Lights work in view space; a directional light's direction is normalised first.
    float toward[kMaxLights * 3], diffuse[kMaxLights * 3], specular[kMaxLights * 3],
        ambient[kMaxLights * 3];
    int count = 0;
    for (const LightSlot& slot : lights_) {
        if (!slot.enabled)
            continue;
        Vec3 d = normalize(transformNormal(normalize(slot.light.direction), view_));
        const Light& l = slot.light;
        float* t = toward + count * 3;
        t[0] = -d.x, t[1] = -d.y, t[2] = -d.z;
        float* di = diffuse + count * 3;
        di[0] = l.diffuse.r, di[1] = l.diffuse.g, di[2] = l.diffuse.b;
        float* s = specular + count * 3;
        s[0] = l.specular.r, s[1] = l.specular.g, s[2] = l.specular.b;
        float* a = ambient + count * 3;
        a[0] = l.ambient.r, a[1] = l.ambient.g, a[2] = l.ambient.b;
        ++count;
    }
    glUniform1i(u.lightCount, count);
    if (count > 0) {
        glUniform3fv(u.lightToward, count, toward);
        glUniform3fv(u.lightDiffuse, count, diffuse);
        glUniform3fv(u.lightSpecular, count, specular);
        glUniform3fv(u.lightAmbient, count, ambient);
    }

    glUniform1i(u.pointScale, flag(RenderState::PointScaleEnable));
    glUniform1f(u.pointSize, real(RenderState::PointSize));
    glUniform1f(u.pointSizeMin, std::min(real(RenderState::PointSizeMin), maxPointSize_));
    glUniform1f(u.pointSizeMax, maxPointSize_);
    glUniform3f(u.pointScaleFactors, real(RenderState::PointScaleA), real(RenderState::PointScaleB),
                real(RenderState::PointScaleC));
    glUniform1f(u.viewportHeight, static_cast<float>(height_));
    glUniform1f(u.fogDensity, real(RenderState::FogDensity));
    uniformRgb(u.fogColour, state(RenderState::FogColor));

    glActiveTexture(GL_TEXTURE0 + kTextureUnit);
    glBindTexture(GL_TEXTURE_2D, texture ? texture->name() : 0);
    glBindSampler(kTextureUnit, nearestWrap_);
    glActiveTexture(GL_TEXTURE0 + kInstanceUnit);
    glBindTexture(GL_TEXTURE_BUFFER, instanceTexture_);
    glActiveTexture(GL_TEXTURE0 + kTextureUnit);

    // What the vertices do not carry: no normal, white, texture coordinates 0.
    if (layout.normal < 0)
        glVertexAttrib3f(kAttribNormal, 0, 0, 0);
    if (layout.colour < 0)
        glVertexAttrib4f(kAttribColour, 1, 1, 1, 1);
    if (layout.texCoord < 0)
        glVertexAttrib2f(kAttribTexCoord, 0, 0);
    return &u;
}

bool GlDevice::drawMeshSubset(const GlMesh& mesh, uint32_t subset) {
    if (!inScene_ || subset >= mesh.subsetCount() || !makeCurrent())
        return false;
    const GlMesh::Range* range = mesh.range(subset);
    if (!range)
        return true;  // a subset without triangles draws nothing
    const Matrix worldView = world_ * view_;
    if (culling_ && outsideView(worldView, range->low, range->high)) {
        ++culledDraws_;
        return true;
    }
    const uint32_t fvf = mesh.data().fvf;
    if (pending_.geometry != mesh.geometry() || pending_.firstIndex != range->firstIndex ||
        pending_.indexCount != range->indexCount || pending_.fvf != fvf ||
        pending_.instances == kInstanceCapacity) {
        flushDraws();
        pending_.geometry = mesh.geometry();
        pending_.firstIndex = range->firstIndex;
        pending_.indexCount = range->indexCount;
        pending_.fvf = fvf;
    }
    pendingInstances_.resize(size_t{pending_.instances + 1} * kInstanceFloats);
    writeInstance(worldView,
                  pendingInstances_.data() + size_t{pending_.instances} * kInstanceFloats);
    ++pending_.instances;
    return true;
}

bool GlDevice::outsideView(const Matrix& worldView, const Vec3& low, const Vec3& high) const {
    // The corners in GL clip space as the scene program puts them there (half-pixel shift,
    // depth 0..w moved to -w..w). The view volume and the half-spaces beyond its sides are
    // convex in these coordinates, so a box whose corners all lie beyond one side lies wholly
    // beyond it, whatever the signs of w. The margin, a few units in the last place of the
    // values compared, keeps a box grazing a side, where rounding could differ from GL's, in.
    // (Near the far plane depth changes slowly: a box must lie a little farther out there.)
    const Matrix m = worldView * projection_;
    const float offsetX = 1.0f / static_cast<float>(width_);
    const float offsetY = -1.0f / static_cast<float>(height_);
    auto beyond = [](float a, float w) { return a - w > 1e-6f * (std::fabs(a) + std::fabs(w)); };
    unsigned outside = 0x3F;  // the sides every corner so far lies beyond
    for (int k = 0; k < 8 && outside; ++k) {
        const Vec3 p{k & 1 ? high.x : low.x, k & 2 ? high.y : low.y, k & 4 ? high.z : low.z};
        const Vec4 c = transformPoint(p, m);
        const float x = c.x + offsetX * c.w, y = c.y + offsetY * c.w, z = 2.0f * c.z - c.w;
        const unsigned sides = (beyond(x, c.w) ? 1u : 0u) | (beyond(-x, c.w) ? 2u : 0u) |
                               (beyond(y, c.w) ? 4u : 0u) | (beyond(-y, c.w) ? 8u : 0u) |
                               (beyond(z, c.w) ? 16u : 0u) | (beyond(-z, c.w) ? 32u : 0u);
        outside &= sides;
    }
    return outside != 0;
}

void GlDevice::writeInstance(const Matrix& worldView, float* out) const {
    Matrix inverse;
    Matrix normalMatrix = matrixInverse(worldView, inverse) ? matrixTranspose(inverse) : worldView;
    for (int r = 0; r < 4; ++r) out = std::copy_n(worldView.m[r], 4, out);
    for (int r = 0; r < 3; ++r) {
        out = std::copy_n(normalMatrix.m[r], 3, out);
        *out++ = 0.0f;
    }
    for (const Colour4& c :
         {material_.diffuse, material_.ambient, material_.specular, material_.emissive}) {
        *out++ = c.r, *out++ = c.g, *out++ = c.b, *out++ = c.a;
    }
    *out++ = material_.power, *out++ = 0.0f, *out++ = 0.0f, *out++ = 0.0f;
}

uint32_t GlDevice::uploadInstances(const float* data, uint32_t count) {
    glBindBuffer(GL_TEXTURE_BUFFER, instanceBuffer_);
    if (instancesUsed_ + count > kInstanceCapacity) {
        glBufferData(GL_TEXTURE_BUFFER, kInstanceCapacity * kInstanceFloats * sizeof(float),
                     nullptr, GL_STREAM_DRAW);
        instancesUsed_ = 0;
    }
    const uint32_t first = instancesUsed_;
    const GLintptr offset = GLintptr{first} * kInstanceFloats * sizeof(float);
    const GLsizeiptr bytes = GLsizeiptr{count} * kInstanceFloats * sizeof(float);
    // The range is new in this frame's storage, so no queued draw reads it.
    void* target = glMapBufferRange(
        GL_TEXTURE_BUFFER, offset, bytes,
        GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (target) {
        std::memcpy(target, data, static_cast<size_t>(bytes));
        glUnmapBuffer(GL_TEXTURE_BUFFER);
    } else {
        glBufferSubData(GL_TEXTURE_BUFFER, offset, bytes, data);
    }
    instancesUsed_ += count;
    return first;
}

void GlDevice::flushDraws() {
    if (pending_.instances == 0)
        return;
    const uint32_t first = uploadInstances(pendingInstances_.data(), pending_.instances);
    if (const GlSceneUniforms* u = applyStates(false, pending_.fvf)) {
        glUniform1i(u->instanceBase, static_cast<GLint>(first));
        glBindVertexArray(pending_.geometry->vertexArray());
        glDrawElementsInstanced(GL_TRIANGLES, static_cast<GLsizei>(pending_.indexCount),
                                GL_UNSIGNED_INT,
                                reinterpret_cast<const void*>(uintptr_t{pending_.firstIndex} * 4),
                                static_cast<GLsizei>(pending_.instances));
        glBindVertexArray(0);
    }
    pending_ = PendingDraws{};
    pendingInstances_.clear();
}

bool GlDevice::drawPointList(uint32_t startVertex, uint32_t count) {
    if (!inScene_ || !stream_ || !makeCurrent())
        return false;
    const GlVertexLayout layout = glVertexLayout(vertexFormat_);
    if (!layout.valid || streamStride_ < layout.size)
        return false;
    if (count == 0)
        return true;
    const uint64_t end = (uint64_t{startVertex} + count - 1) * streamStride_ + layout.size;
    if (end > stream_->size())
        return false;

    flushDraws();
    float instance[kInstanceFloats];
    writeInstance(world_ * view_, instance);
    const uint32_t first = uploadInstances(instance, 1);
    stream_->sync();
    glBindVertexArray(streamArray_);
    glBindBuffer(GL_ARRAY_BUFFER, stream_->name());
    const GLsizei stride = static_cast<GLsizei>(streamStride_);
    auto at = [](int offset) { return reinterpret_cast<const void*>(uintptr_t(offset)); };
    glEnableVertexAttribArray(kAttribPosition);
    glVertexAttribPointer(kAttribPosition, 3, GL_FLOAT, GL_FALSE, stride, at(0));
    if (layout.normal >= 0) {
        glEnableVertexAttribArray(kAttribNormal);
        glVertexAttribPointer(kAttribNormal, 3, GL_FLOAT, GL_FALSE, stride, at(layout.normal));
    } else {
        glDisableVertexAttribArray(kAttribNormal);
    }
    if (layout.colour >= 0) {
        // 0xAARRGGBB words: bytes B, G, R, A in memory.
        glEnableVertexAttribArray(kAttribColour);
        glVertexAttribPointer(kAttribColour, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              at(layout.colour));
    } else {
        glDisableVertexAttribArray(kAttribColour);
    }
    if (layout.texCoord >= 0) {
        glEnableVertexAttribArray(kAttribTexCoord);
        glVertexAttribPointer(kAttribTexCoord, 2, GL_FLOAT, GL_FALSE, stride, at(layout.texCoord));
    } else {
        glDisableVertexAttribArray(kAttribTexCoord);
    }
    const GlSceneUniforms* u = applyStates(true, vertexFormat_);
    if (!u) {
        glBindVertexArray(0);
        return false;
    }
    glUniform1i(u->instanceBase, static_cast<GLint>(first));
    glDrawArrays(GL_POINTS, static_cast<GLint>(startVertex), static_cast<GLsizei>(count));
    glBindVertexArray(0);
    return true;
}

bool GlDevice::LayerKey::operator==(const LayerKey& other) const {
    if (clearColour != other.clearColour || texture != other.texture || colour != other.colour ||
        width != other.width || height != other.height)
        return false;
    for (int k = 0; k < 4; ++k) {
        const SpriteCorner &a = corners[k], &b = other.corners[k];
        if (a.x != b.x || a.y != b.y || a.w != b.w || a.u != b.u || a.v != b.v)
            return false;
    }
    return true;
}

void GlDevice::setLayerReuse(bool on) {
    layerReuse_ = on;
    layerKey_.reset();
    layerKept_ = false;
}

void GlDevice::deleteLayer() {
    glDeleteFramebuffers(1, &layerFramebuffer_);
    glDeleteRenderbuffers(1, &layerBuffer_);
    layerFramebuffer_ = layerBuffer_ = 0;
    layerWidth_ = layerHeight_ = 0;
    layerKept_ = false;
}

bool GlDevice::copyLayer(bool storing) {
    if (storing && (layerWidth_ != width_ || layerHeight_ != height_)) {
        deleteLayer();
        const bool complete =
            makeColourTarget(layerFramebuffer_, layerBuffer_) == GL_FRAMEBUFFER_COMPLETE;
        if (!complete || glGetError() != GL_NO_ERROR) {
            drainErrors();
            deleteLayer();
            return false;
        }
        layerWidth_ = width_;
        layerHeight_ = height_;
    }
    if (!layerFramebuffer_ || layerWidth_ != width_ || layerHeight_ != height_)
        return false;
    // Same format, same size, pixel for pixel: the copy is exact.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, storing ? framebuffer_ : layerFramebuffer_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, storing ? layerFramebuffer_ : framebuffer_);
    const GLint w = static_cast<GLint>(width_), h = static_cast<GLint>(height_);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    if (glGetError() == GL_NO_ERROR)
        return true;
    drainErrors();
    return false;
}

bool GlDevice::drawSpriteQuad(const GlTexture& texture, const SpriteCorner corners[4],
                              uint32_t colour) {
    if (!inScene_ || !makeCurrent())
        return false;
    flushDraws();
    const bool overClear = onlyCleared_;
    onlyCleared_ = false;
    // Over a back buffer holding only a clear colour, the picture depends on nothing but that
    // colour and the sprite: the same pair as last time finds it kept (from the second time
    // on, so that a sprite that changes every frame costs no copies).
    if (!overClear || !layerReuse_ || samples_ > 1)
        return drawTexturedQuad(texture, corners, colour);
    LayerKey key;
    key.clearColour = clearedColour_;
    key.texture = &texture;
    std::copy(corners, corners + 4, key.corners);
    key.colour = colour;
    key.width = width_;
    key.height = height_;
    const bool again = layerKey_ && *layerKey_ == key;
    if (again && layerKept_ && copyLayer(false)) {
        ++reusedLayers_;
        return true;
    }
    const bool drawn = drawTexturedQuad(texture, corners, colour);
    if (!again) {
        layerKey_ = key;
        layerKept_ = false;
    } else if (drawn) {
        layerKept_ = copyLayer(true);
    }
    return drawn;
}

bool GlDevice::drawTexturedQuad(const GlTexture& texture, const SpriteCorner corners[4],
                                uint32_t colour) {
    float vertices[4 * 6];
    for (int k = 0; k < 4; ++k) {
        const SpriteCorner& c = corners[k];
        float* v = vertices + k * 6;
        // Back-buffer pixels (y down) to clip space, keeping w.
        v[0] = 2.0f * c.x / kLayoutWidth - c.w;
        v[1] = c.w - 2.0f * c.y / kLayoutHeight;
        v[2] = 0;
        v[3] = c.w;
        v[4] = c.u;
        v[5] = c.v;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, width_, height_);
    // The back buffer keeps the alpha of its clear (1): drawing writes colour only.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glUseProgram(programs_->sprite);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
    glActiveTexture(GL_TEXTURE0 + kTextureUnit);
    glBindTexture(GL_TEXTURE_2D, texture.name());
    glBindSampler(kTextureUnit, linearClamp_);
    float c[4];
    colourOf(colour, c);
    glUniform4f(programs_->spriteUniforms.colour, c[0], c[1], c[2], c[3]);
    glBindVertexArray(spriteArray_);
    glBindBuffer(GL_ARRAY_BUFFER, spriteBuffer_);
    // New storage for each quad, so that the driver need not wait for the last one's draw.
    glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
    return true;
}
