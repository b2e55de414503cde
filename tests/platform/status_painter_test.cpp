// The loading status line: blue client area, white text at its place, and a GL context that
// leaves the graphics device's context alone.
#include "platform/status_painter.h"

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/sdl_window.h"

namespace {

constexpr uint32_t kBlue = 0x0000FF;
constexpr const char* kChoiceLine = "Choice your controller: Hit LButton or UpArrowKey";
constexpr const char* kLoadingLine =
    "                Initialize Now...                               ";

uint32_t rgb(uint32_t argb) {
    return argb & 0xFFFFFF;
}

// The smallest rectangle holding every pixel that is not pure blue; empty when there is none.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
};

Box inkBox(const StatusPicture& p) {
    Box box;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            if (rgb(p.at(x, y)) == kBlue)
                continue;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x);
            box.bottom = std::max(box.bottom, y);
        }
    }
    return box;
}

// Text pixels: white, or nearly so where the glyphs' edges are smoothed against the blue.
int whitePixels(const StatusPicture& p) {
    int n = 0;
    for (uint32_t c : p.argb) n += ((c >> 16) & 0xFF) >= 0xC0 && ((c >> 8) & 0xFF) >= 0xC0;
    return n;
}

bool hasPureWhite(const StatusPicture& p) {
    for (uint32_t c : p.argb) {
        if (rgb(c) == 0xFFFFFF)
            return true;
    }
    return false;
}

class StatusPainterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_TRUE(window.create()) << SDL_GetError();
        painter = std::make_unique<StatusPainter>(window.handle());
    }

    StatusPicture paint(const char* text, int count, int x = 240, int y = 380) {
        StatusPicture picture;
        EXPECT_TRUE(painter->paint(text, count, x, y, &picture));
        return picture;
    }

    SdlWindow window;
    std::unique_ptr<StatusPainter> painter;  // made for the window, gone before it
};

TEST_F(StatusPainterTest, TheChoiceLineIsWhiteTextOnBlueAt240_380) {
    const StatusPicture picture = paint(kChoiceLine, 49);
    ASSERT_EQ(picture.width, 640);
    ASSERT_EQ(picture.height, 480);
    EXPECT_EQ(rgb(picture.at(0, 0)), kBlue);
    EXPECT_EQ(rgb(picture.at(639, 479)), kBlue);
    EXPECT_EQ(rgb(picture.at(239, 385)), kBlue);

    const Box ink = inkBox(picture);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.left, 240);
    EXPECT_LE(ink.left, 245);  // "C" starts the text
    EXPECT_GE(ink.top, 380);
    EXPECT_LE(ink.top, 386);
    EXPECT_LE(ink.bottom, 380 + 20);  // one line about 13 pixels high
    EXPECT_GT(ink.bottom - ink.top, 8);
    EXPECT_GT(ink.right, 240 + 49 * 5);  // all 49 characters, none cut off by the window
    EXPECT_LT(ink.right, 640);
    EXPECT_GT(whitePixels(picture), 300);
    EXPECT_TRUE(hasPureWhite(picture));
}

TEST_F(StatusPainterTest, TheLoadingLineBeginsAfterItsSixteenBlanks) {
    const StatusPicture picture = paint(kLoadingLine, 60);
    const Box ink = inkBox(picture);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.left, 240 + 16 * 3);  // the blanks take their room
    EXPECT_GE(ink.top, 380);
    EXPECT_GT(whitePixels(picture), 100);
}

TEST_F(StatusPainterTest, OnlyTheFirstCountCharactersAreDrawn) {
    const Box three = inkBox(paint("MMMMMMMMMM", 3));
    const Box ten = inkBox(paint("MMMMMMMMMM", 10));
    ASSERT_FALSE(three.empty());
    ASSERT_FALSE(ten.empty());
    EXPECT_GT(ten.right - three.right, 5 * 6);
    EXPECT_TRUE(inkBox(paint("MMMM", 0)).empty());
    EXPECT_TRUE(inkBox(paint("MMMM", -5)).empty());
    EXPECT_TRUE(inkBox(paint(nullptr, 4)).empty());
}

TEST_F(StatusPainterTest, ACountPastTheTextsEndDrawsJustTheText) {
    const std::string text = "Dravik";  // nothing after its terminator may be read
    const Box exact = inkBox(paint(text.c_str(), 6));
    const Box longer = inkBox(paint(text.c_str(), 64));
    EXPECT_EQ(exact.right, longer.right);
    EXPECT_EQ(exact.left, longer.left);
}

TEST_F(StatusPainterTest, TextReachingPastTheClientAreaIsClippedAndTheRestIsBlue) {
    const StatusPicture corner = paint(kChoiceLine, 49, 600, 470);
    const Box ink = inkBox(corner);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.left, 600);
    EXPECT_GE(ink.top, 470);

    const Box left = inkBox(paint(kChoiceLine, 49, -100, -5));
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left.top, 0);
    EXPECT_LT(left.right, 400);

    EXPECT_TRUE(inkBox(paint(kChoiceLine, 49, 5000, 5000)).empty());
    const std::string huge(100000, 'W');  // far wider than any window
    EXPECT_FALSE(inkBox(paint(huge.c_str(), static_cast<int>(huge.size()), 0, 0)).empty());
}

TEST_F(StatusPainterTest, TheGraphicsDevicesContextStaysCurrentWithItsState) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GLContext device = SDL_GL_CreateContext(window.handle());
    ASSERT_NE(device, nullptr) << SDL_GetError();
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glViewport(10, 20, 30, 40);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);

    window.paintStatus(kChoiceLine, 49, 240, 380);
    paint(kLoadingLine, 60);

    EXPECT_EQ(SDL_GL_GetCurrentContext(), device);
    EXPECT_EQ(SDL_GL_GetCurrentWindow(), window.handle());
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 1.0f);
    EXPECT_EQ(clear[2], 0.0f);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 10);
    EXPECT_EQ(viewport[3], 40);
    GLint bound = 0, program = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(static_cast<GLuint>(bound), texture);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The device still draws with its own context after the painter is gone.
    painter->release();
    EXPECT_EQ(SDL_GL_GetCurrentContext(), device);
    glViewport(0, 0, 640, 480);
    glClear(GL_COLOR_BUFFER_BIT);
    GLubyte pixel[4] = {};
    glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[2], 0);
    glDeleteTextures(1, &texture);
    SDL_GL_MakeCurrent(window.handle(), nullptr);
    SDL_GL_DeleteContext(device);
}

TEST_F(StatusPainterTest, NoContextIsLeftCurrentWhenNoneWasBefore) {
    SDL_GL_MakeCurrent(window.handle(), nullptr);
    paint(kChoiceLine, 49);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
}

TEST_F(StatusPainterTest, PaintsAgainAfterARelease) {
    paint(kChoiceLine, 49);
    painter->release();
    const StatusPicture again = paint(kChoiceLine, 49);
    EXPECT_GT(whitePixels(again), 300);
}

// Needs a driver whose GL surface follows the window size (x11 under Xvfb; offscreen keeps it).
TEST_F(StatusPainterTest, AResizedWindowIsBlueAllOver) {
    if (std::string(SDL_GetCurrentVideoDriver()) != "x11")
        GTEST_SKIP() << "needs the x11 driver";
    SDL_SetWindowSize(window.handle(), 800, 600);
    WindowEvent e;
    while (window.nextEvent(e, 200)) {
    }
    int w = 0, h = 0;
    SDL_GetWindowSize(window.handle(), &w, &h);
    if (w != 800)
        GTEST_SKIP() << "the window manager kept the size";
    const StatusPicture picture = paint(kChoiceLine, 49);
    ASSERT_EQ(picture.width, 800);
    ASSERT_EQ(picture.height, 600);
    EXPECT_EQ(rgb(picture.at(799, 599)), kBlue);
    EXPECT_EQ(rgb(picture.at(700, 10)), kBlue);
    const Box ink = inkBox(picture);
    EXPECT_GE(ink.left, 240);
    EXPECT_GE(ink.top, 380);
}

}  // namespace
