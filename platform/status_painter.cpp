// The loading status lines on a GL 3.3 core context of its own: a cleared blue frame (letterboxed
// in black in full screen) with each line's text picture (SDL2_ttf, a fontconfig font) drawn on it
// as one textured quad.
#include "platform/status_painter.h"

#include <epoxy/gl.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const char* const kVertexShader = R"(#version 330 core
uniform vec4 rect;  // left, bottom, right, top in clip space
out vec2 uv;
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    uv = vec2(corner.x, 1.0 - corner.y);  // the text picture's first row is its top
    gl_Position = vec4(mix(rect.xy, rect.zw, corner), 0.0, 1.0);
}
)";

const char* const kFragmentShader = R"(#version 330 core
uniform sampler2D picture;
in vec2 uv;
out vec4 colour;
void main() { colour = texture(picture, uv); }
)";

// The GL attributes a context is made with are process-wide; the device's are put back after ours.
struct ContextAttributes {
    int major = 0, minor = 0, profile = 0, flags = 0, share = 0;

    static ContextAttributes current() {
        ContextAttributes a;
        SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &a.major);
        SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &a.minor);
        SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &a.profile);
        SDL_GL_GetAttribute(SDL_GL_CONTEXT_FLAGS, &a.flags);
        SDL_GL_GetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, &a.share);
        return a;
    }
    void apply() const {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, minor);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, profile);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, flags);
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, share);
    }
};

// Puts the context that was current on entry back when the painter is done.
class CurrentContextKeeper {
  public:
    CurrentContextKeeper()
        : window_(SDL_GL_GetCurrentWindow()), context_(SDL_GL_GetCurrentContext()) {}
    ~CurrentContextKeeper() { SDL_GL_MakeCurrent(context_ ? window_ : nullptr, context_); }
    // A context deleted meanwhile is not made current again.
    void forget(SDL_GLContext context) {
        if (context_ == context)
            context_ = nullptr;
    }
    CurrentContextKeeper(const CurrentContextKeeper&) = delete;
    CurrentContextKeeper& operator=(const CurrentContextKeeper&) = delete;

  private:
    SDL_Window* window_;
    SDL_GLContext context_;
};

GLuint compileShader(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[512] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "Dravik: status line shader does not compile: %s\n", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

std::vector<std::string> statusFontFiles() {
    std::vector<std::string> exact, fallback;
    if (!FcInit())
        return {};
    for (const char* family : {"DejaVu Sans", "DejaVu Sans Mono", "sans-serif"}) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
        if (!pattern)
            continue;
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        FcPatternDestroy(pattern);
        if (!match)
            continue;
        FcChar8* file = nullptr;
        FcChar8* matchedFamily = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
            const std::string path = reinterpret_cast<const char*>(file);
            const bool same =
                FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
                matchedFamily &&
                std::strcmp(reinterpret_cast<const char*>(matchedFamily), family) == 0;
            std::vector<std::string>& list = same ? exact : fallback;
            if (std::find(list.begin(), list.end(), path) == list.end())
                list.push_back(path);
        }
        FcPatternDestroy(match);
    }
    for (const std::string& path : fallback) {
        if (std::find(exact.begin(), exact.end(), path) == exact.end())
            exact.push_back(path);
    }
    return exact;
}

StatusPainter::StatusPainter(SDL_Window* window) : window_(window) {}

StatusPainter::~StatusPainter() {
    release();
    if (font_)
        TTF_CloseFont(font_);
    if (ttfStarted_)
        TTF_Quit();
}

void StatusPainter::release() {
    if (!context_)
        return;
    CurrentContextKeeper keeper;
    if (SDL_GL_MakeCurrent(window_, context_) == 0) {
        if (texture_)
            glDeleteTextures(1, &texture_);
        if (vertexArray_)
            glDeleteVertexArrays(1, &vertexArray_);
        if (program_)
            glDeleteProgram(program_);
    }
    texture_ = vertexArray_ = program_ = 0;
    SDL_GL_MakeCurrent(window_, nullptr);
    keeper.forget(context_);
    SDL_GL_DeleteContext(context_);
    context_ = nullptr;
}

bool StatusPainter::makeContext() {
    const ContextAttributes saved = ContextAttributes::current();
    ContextAttributes ours;
    ours.major = 3;
    ours.minor = 3;
    ours.profile = SDL_GL_CONTEXT_PROFILE_CORE;
    ours.apply();
    context_ = SDL_GL_CreateContext(window_);  // current on success
    saved.apply();
    if (!context_) {
        std::fprintf(stderr, "Dravik: no GL context for the status line (%s); it is not drawn\n",
                     SDL_GetError());
        return false;
    }
    if (!makeProgram()) {
        std::fprintf(stderr,
                     "Dravik: the status line cannot be drawn with this GL; it is not drawn\n");
        return false;
    }
    return true;
}

bool StatusPainter::makeProgram() {
    const GLuint vertex = compileShader(GL_VERTEX_SHADER, kVertexShader);
    const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, kFragmentShader);
    if (!vertex || !fragment) {
        if (vertex)
            glDeleteShader(vertex);
        if (fragment)
            glDeleteShader(fragment);
        return false;
    }
    program_ = glCreateProgram();
    glAttachShader(program_, vertex);
    glAttachShader(program_, fragment);
    glLinkProgram(program_);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE)
        return false;
    rectUniform_ = glGetUniformLocation(program_, "rect");
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "picture"), 0);

    glGenVertexArrays(1, &vertexArray_);
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return glGetError() == GL_NO_ERROR;
}

bool StatusPainter::openFont() {
    if (font_)
        return true;
    if (fontFailed_)
        return false;
    fontFailed_ = true;  // until a font opens, so that a failure is said once
    if (!ttfStarted_) {
        if (TTF_Init() != 0) {
            std::fprintf(stderr,
                         "Dravik: SDL_ttf does not start (%s); the status text is not drawn\n",
                         TTF_GetError());
            return false;
        }
        ttfStarted_ = true;
    }
    for (const std::string& file : statusFontFiles()) {
        font_ = TTF_OpenFont(file.c_str(), kFontPixels);
        if (font_) {
            fontFailed_ = false;
            return true;
        }
    }
    std::fprintf(stderr, "Dravik: no font for the status text (install fonts-dejavu-core)\n");
    return false;
}

std::array<int, 4> letterboxRect(int drawableWidth, int drawableHeight, int pictureWidth,
                                 int pictureHeight) {
    if (drawableWidth <= 0 || drawableHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0)
        return {0, 0, std::max(drawableWidth, 0), std::max(drawableHeight, 0)};
    int64_t w = drawableWidth;
    int64_t h = w * pictureHeight / pictureWidth;
    if (h > drawableHeight) {
        h = drawableHeight;
        w = h * pictureWidth / pictureHeight;
    }
    return {static_cast<int>((drawableWidth - w) / 2), static_cast<int>((drawableHeight - h) / 2),
            static_cast<int>(w), static_cast<int>(h)};
}

bool StatusPainter::paint(const char* text, int count, int x, int y, StatusPicture* readBack) {
    const StatusLine line{text, count, x, y};
    return paintLines(&line, 1, readBack);
}

bool StatusPainter::setFontPixels(int pixels) {
    if (pixels == fontPixels_)
        return true;
    if (TTF_SetFontSize(font_, pixels) != 0)
        return false;
    fontPixels_ = pixels;
    return true;
}

SDL_Surface* StatusPainter::renderText(const StatusLine& line) {
    // The first `count` characters, never past the end of the text.
    size_t length = 0;
    if (line.text && line.count > 0) {
        const size_t wanted = static_cast<size_t>(std::min(line.count, kMaxCharacters));
        length = strnlen(line.text, wanted);
    }
    if (length == 0 || !openFont())
        return nullptr;
    const std::string shown(line.text, length);
    const SDL_Color white{255, 255, 255, 255};
    const SDL_Color blue{0, 0, 255, 255};
    // Shaded text is opaque white on blue, like text drawn with a blue background colour.
    SDL_Surface* shaded = TTF_RenderUTF8_Shaded(font_, shown.c_str(), white, blue);
    if (!shaded)
        return nullptr;
    SDL_Surface* picture = SDL_ConvertSurfaceFormat(shaded, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(shaded);
    return picture;
}

bool StatusPainter::paintLines(const StatusLine* lines, int lineCount, StatusPicture* readBack) {
    if (readBack)
        *readBack = StatusPicture{};
    if (!window_ || glFailed_)
        return false;
    CurrentContextKeeper keeper;
    if (!context_) {
        if (!makeContext()) {
            glFailed_ = true;
            release();
            return false;
        }
    } else if (SDL_GL_MakeCurrent(window_, context_) != 0) {
        return false;
    }

    Placement place;
    SDL_GL_GetDrawableSize(window_, &place.drawableWidth, &place.drawableHeight);
    const int width = place.drawableWidth, height = place.drawableHeight;
    std::array<int, 4> blue{0, 0, width, height};
    if (letterbox_) {
        blue = letterboxRect(width, height, kPictureWidth, kPictureHeight);
        place.originX = static_cast<float>(blue[0]);
        place.originY = static_cast<float>(height - blue[1] - blue[3]);
        place.scaleX = static_cast<float>(blue[2]) / kPictureWidth;
        place.scaleY = static_cast<float>(blue[3]) / kPictureHeight;
        place.width = kPictureWidth;
        place.height = kPictureHeight;
    } else {
        // Client coordinates to drawable pixels (they differ on scaled displays).
        SDL_GetWindowSize(window_, &place.width, &place.height);
        if (place.width > 0 && place.height > 0) {
            place.scaleX = static_cast<float>(width) / place.width;
            place.scaleY = static_cast<float>(height) / place.height;
        }
    }
    // Full screen draws the text at the picture's scale rather than magnifying 13-pixel glyphs.
    int fontPixels = kFontPixels;
    if (letterbox_ && place.scaleY > 1.0f)
        fontPixels = std::clamp(static_cast<int>(kFontPixels * place.scaleY + 0.5f), kFontPixels,
                                kFontPixels * 16);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, width, height);
    if (blue[2] != width || blue[3] != height) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(blue[0], blue[1], blue[2], blue[3]);
    }
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    for (int i = 0; lines && i < lineCount; ++i) {
        if (openFont() && !setFontPixels(fontPixels))
            setFontPixels(kFontPixels);
        place.textScale = static_cast<float>(fontPixels_) / kFontPixels;
        SDL_Surface* picture = renderText(lines[i]);
        if (picture) {
            drawText(picture, lines[i].x, lines[i].y, place);
            SDL_FreeSurface(picture);
        }
    }
    if (readBack)
        readPicture(width, height, *readBack);
    SDL_GL_SwapWindow(window_);
    return true;
}

void StatusPainter::drawText(SDL_Surface* text, int x, int y, const Placement& place) {
    const int drawW = place.drawableWidth, drawH = place.drawableHeight;
    if (place.width <= 0 || place.height <= 0 || drawW <= 0 || drawH <= 0)
        return;

    // Only the part of the text inside the picture is uploaded, which bounds the texture. The
    // bounds are in text pixels, which are picture pixels times textScale.
    const double k = place.textScale;
    const int left = std::max(0, static_cast<int>(std::ceil(-x * k)));
    const int top = std::max(0, static_cast<int>(std::ceil(-y * k)));
    const int right = static_cast<int>(
        std::min<double>(text->w, std::floor((static_cast<double>(place.width) - x) * k)));
    const int bottom = static_cast<int>(
        std::min<double>(text->h, std::floor((static_cast<double>(place.height) - y) * k)));
    if (right <= left || bottom <= top)
        return;
    const int w = right - left, h = bottom - top;

    glBindTexture(GL_TEXTURE_2D, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, text->pitch / 4);
    const auto* pixels = static_cast<const uint8_t*>(text->pixels) + top * text->pitch + left * 4;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);

    // Picture pixels to drawable pixels, then clip space.
    const float x0 = place.originX + static_cast<float>(x + left / k) * place.scaleX;
    const float x1 = place.originX + static_cast<float>(x + right / k) * place.scaleX;
    const float y0 = place.originY + static_cast<float>(y + top / k) * place.scaleY;
    const float y1 = place.originY + static_cast<float>(y + bottom / k) * place.scaleY;
    glUseProgram(program_);
    glUniform4f(rectUniform_, 2.0f * x0 / drawW - 1.0f, 1.0f - 2.0f * y1 / drawH,
                2.0f * x1 / drawW - 1.0f, 1.0f - 2.0f * y0 / drawH);
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(vertexArray_);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
}

void StatusPainter::readPicture(int width, int height, StatusPicture& picture) {
    if (width <= 0 || height <= 0)
        return;
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    picture.width = width;
    picture.height = height;
    picture.argb.resize(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        const uint8_t* src = rgba.data() + static_cast<size_t>(height - 1 - row) * width * 4;
        for (int col = 0; col < width; ++col, src += 4) {
            picture.argb[static_cast<size_t>(row) * width + col] = (uint32_t{src[3]} << 24) |
                                                                   (uint32_t{src[0]} << 16) |
                                                                   (uint32_t{src[1]} << 8) | src[2];
        }
    }
}
