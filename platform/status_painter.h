// The status lines painted on the bare window while the game loads: blue client area, white text,
// drawn through a GL context of its own so that the graphics device's context never sees it.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A read-back of the painted client area: 0xAARRGGBB, top row first.
struct StatusPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;

    uint32_t at(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
};

// One line of status text: the first `count` characters of `text`, top-left at (x, y).
struct StatusLine {
    const char* text = nullptr;
    int count = 0;
    int x = 0, y = 0;
};

// Where a picture of pictureWidth x pictureHeight goes in a drawable when it keeps its
// proportions: the largest such rectangle, centred, in GL window coordinates (origin
// bottom-left): x, y, width, height.
std::array<int, 4> letterboxRect(int drawableWidth, int drawableHeight, int pictureWidth,
                                 int pictureHeight);

// The status painter is made for one window and must be released while that window still exists.
class StatusPainter {
  public:
    explicit StatusPainter(SDL_Window* window);
    ~StatusPainter();
    StatusPainter(const StatusPainter&) = delete;
    StatusPainter& operator=(const StatusPainter&) = delete;

    // Fills the client area with blue (0, 0, 255) and draws the first `count` characters of
    // `text` in white on blue with its top-left at client position (x, y), then presents it. The
    // context current before the call is current again after it. With `readBack`, the finished
    // picture is read back from the frame buffer before it is presented. False when no GL context
    // could be had (said once on stderr).
    bool paint(const char* text, int count, int x, int y, StatusPicture* readBack = nullptr);
    // The same with several lines on one picture.
    bool paintLines(const StatusLine* lines, int lineCount, StatusPicture* readBack = nullptr);

    // On (full screen): the status picture is the game's 640 x 480 screen, scaled to the
    // drawable's height or width with its proportions kept, black bars beside it; positions are
    // in its pixels and the text grows with it. Off (the default): the whole drawable is blue and
    // positions are client pixels.
    void setLetterbox(bool on) { letterbox_ = on; }

    // Deletes the GL objects and the context; paint() makes them again when called afterwards.
    void release();

    // Texts longer than this are cut: no window is wide enough to show more of them.
    static constexpr int kMaxCharacters = 1024;
    static constexpr int kFontPixels = 13;
    static constexpr int kPictureWidth = 640;
    static constexpr int kPictureHeight = 480;

  private:
    bool makeContext();
    bool makeProgram();
    // How picture positions map onto the drawable.
    struct Placement {
        float originX = 0, originY = 0;  // the picture's top-left, drawable pixels from top-left
        float scaleX = 1, scaleY = 1;    // drawable pixels per picture pixel
        int width = 0, height = 0;       // the picture, in its own pixels
        float textScale = 1;             // text pixels per picture pixel
        int drawableWidth = 0, drawableHeight = 0;
    };

    bool openFont();
    bool setFontPixels(int pixels);
    SDL_Surface* renderText(const StatusLine& line);
    void drawText(SDL_Surface* text, int x, int y, const Placement& place);
    void readPicture(int width, int height, StatusPicture& picture);

    SDL_Window* window_;
    SDL_GLContext context_ = nullptr;
    unsigned program_ = 0;
    unsigned vertexArray_ = 0;
    unsigned texture_ = 0;
    int rectUniform_ = -1;
    bool glFailed_ = false;

    bool ttfStarted_ = false;
    TTF_Font* font_ = nullptr;
    bool fontFailed_ = false;
    int fontPixels_ = kFontPixels;
    bool letterbox_ = false;
};

// Font files for the status line, best first: DejaVu Sans (proportional, as the Windows system
// font is), then DejaVu Sans Mono, then whatever fontconfig offers for a sans-serif face.
std::vector<std::string> statusFontFiles();
