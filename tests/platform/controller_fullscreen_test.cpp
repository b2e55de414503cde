// Game controllers and full screen on SDL: controller buttons as window events, a virtual
// controller read, pulled out and plugged in again, the full-screen keys, and the letterboxed
// status picture.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/gl_device.h"
#include "platform/sdl_input.h"
#include "platform/sdl_window.h"
#include "platform/status_painter.h"

namespace {

class ControllerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        // The test window never has focus, and SDL drops controller input meant for a program
        // without it.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ASSERT_TRUE(window.create()) << SDL_GetError();
        window.setRawEventHook([this](const SDL_Event& e) { input.handleEvent(e); });
        takeAll();
    }
    void TearDown() override {
        while (!pads.empty()) detach(pads.front());
    }

    std::vector<WindowEvent> takeAll() {
        std::vector<WindowEvent> events;
        WindowEvent e;
        while (window.nextEvent(e, 0)) events.push_back(e);
        return events;
    }

    void pushControllerButton(Uint8 button, Uint32 type = SDL_CONTROLLERBUTTONDOWN) {
        SDL_Event e{};
        e.type = type;
        e.cbutton.button = button;
        e.cbutton.state = type == SDL_CONTROLLERBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    void pushKey(SDL_Keycode key, Uint16 mod = KMOD_NONE, bool repeat = false) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = SDL_GetWindowID(window.handle());
        e.key.state = SDL_PRESSED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.sym = key;
        e.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    // A virtual game controller with its triggers released (a virtual axis at rest reads 0,
    // which SDL maps to a half-pulled trigger); null when there are none here. The test holds a
    // joystick handle of its own to move the axes.
    SDL_Joystick* attachController() {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Dravik test pad";
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        if (index < 0)
            return nullptr;
        SDL_Joystick* pad = SDL_JoystickOpen(index);
        if (!pad) {
            SDL_JoystickDetachVirtual(index);
            return nullptr;
        }
        pads.push_back(pad);
        takeAll();  // the source sees it arrive
        setAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
        setAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
        return pad;
    }

    void setAxis(SDL_Joystick* pad, SDL_GameControllerAxis axis, int16_t value) {
        ASSERT_EQ(SDL_JoystickSetVirtualAxis(pad, axis, value), 0) << SDL_GetError();
        takeAll();  // the pump brings the value in
    }

    // Device indexes move as controllers go; the instance id stays.
    void detach(SDL_Joystick* pad) {
        const SDL_JoystickID id = SDL_JoystickInstanceID(pad);
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
        SDL_JoystickClose(pad);
        std::erase(pads, pad);
        takeAll();
    }

    SdlWindow window;
    SdlInputSource input;  // made after the window, gone before it
    std::vector<SDL_Joystick*> pads;
};

TEST_F(ControllerWindowTest, AAndDpadUpChooseStartPausesYSwitchesTheView) {
    pushControllerButton(SDL_CONTROLLER_BUTTON_A);
    pushControllerButton(SDL_CONTROLLER_BUTTON_DPAD_UP);
    pushControllerButton(SDL_CONTROLLER_BUTTON_START);
    pushControllerButton(SDL_CONTROLLER_BUTTON_Y);
    pushControllerButton(SDL_CONTROLLER_BUTTON_B);
    pushControllerButton(SDL_CONTROLLER_BUTTON_X);
    pushControllerButton(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    pushControllerButton(SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLERBUTTONUP);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].type, EventType::ControllerButtonDown);
    EXPECT_EQ(events[1].type, EventType::ControllerButtonDown);
    EXPECT_EQ(events[2].type, EventType::KeyDown);
    EXPECT_EQ(events[2].key, kVkF1);
    EXPECT_EQ(events[3].type, EventType::KeyDown);
    EXPECT_EQ(events[3].key, kVkControl);
}

TEST_F(ControllerWindowTest, TheStickAndTriggersAreReadAsTheyStandAtThePoll) {
    SDL_Joystick* pad = attachController();
    if (!pad)
        GTEST_SKIP() << "no virtual controllers here: " << SDL_GetError();
    ASSERT_TRUE(input.hasController());
    ASSERT_TRUE(input.createSystem());
    ASSERT_TRUE(input.createDevice(InputKind::Controller));
    ASSERT_TRUE(input.acquire());

    ControllerState state;
    ASSERT_EQ(input.pollController(state), PollResult::Ok);
    EXPECT_EQ(state.leftX, 0);
    EXPECT_EQ(state.leftTrigger, 0);
    EXPECT_EQ(state.rightTrigger, 0);

    setAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, -32768);
    setAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, 12345);
    setAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 32767);
    ASSERT_EQ(input.pollController(state), PollResult::Ok);
    EXPECT_EQ(state.leftX, -32768);
    EXPECT_EQ(state.leftY, 12345);
    EXPECT_EQ(state.leftTrigger, 0);
    EXPECT_EQ(state.rightTrigger, 32767);
    // The state is not used up by reading it.
    ASSERT_EQ(input.pollController(state), PollResult::Ok);
    EXPECT_EQ(state.leftX, -32768);

    // The other polls refuse a controller device.
    MouseState mouse;
    EXPECT_EQ(input.pollMouse(mouse), PollResult::Failed);
}

TEST_F(ControllerWindowTest, PulledOutMidFlightIsLostInputUntilAnotherIsPluggedIn) {
    SDL_Joystick* first = attachController();
    if (!first)
        GTEST_SKIP() << "no virtual controllers here: " << SDL_GetError();
    ASSERT_TRUE(input.createSystem());
    ASSERT_TRUE(input.createDevice(InputKind::Controller));
    ASSERT_TRUE(input.acquire());
    ControllerState state;
    ASSERT_EQ(input.pollController(state), PollResult::Ok);

    detach(first);
    EXPECT_FALSE(input.hasController());
    EXPECT_EQ(input.pollController(state), PollResult::InputLost);
    EXPECT_EQ(input.reacquire(), PollResult::InputLost);
    EXPECT_EQ(input.pollController(state), PollResult::InputLost);

    SDL_Joystick* second = attachController();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(input.hasController());
    EXPECT_EQ(input.reacquire(), PollResult::Ok);
    setAxis(second, SDL_CONTROLLER_AXIS_LEFTX, 30000);
    ASSERT_EQ(input.pollController(state), PollResult::Ok);
    EXPECT_EQ(state.leftX, 30000);
}

TEST_F(ControllerWindowTest, WithTwoPluggedInTheOtherTakesOverWhenTheFirstGoes) {
    SDL_Joystick* first = attachController();
    if (!first)
        GTEST_SKIP() << "no virtual controllers here: " << SDL_GetError();
    SDL_Joystick* second = attachController();
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(input.createSystem());
    ASSERT_TRUE(input.createDevice(InputKind::Controller));
    ASSERT_TRUE(input.acquire());
    setAxis(second, SDL_CONTROLLER_AXIS_LEFTX, 20000);
    ControllerState state;
    ASSERT_EQ(input.pollController(state), PollResult::Ok);
    EXPECT_EQ(state.leftX, 0);  // the first one is flown with

    detach(first);
    // One frame of lost input, then the remaining controller flies on.
    EXPECT_EQ(input.pollController(state), PollResult::InputLost);
    EXPECT_EQ(input.reacquire(), PollResult::Ok);
    ASSERT_EQ(input.pollController(state), PollResult::Ok);
    EXPECT_EQ(state.leftX, 20000);
}

TEST_F(ControllerWindowTest, F11AndAltEnterToggleFullScreenAndTheProcedureNeverSeesThem) {
    std::vector<bool> told;
    window.setFullscreenHook([&](bool on) { told.push_back(on); });
    pushKey(SDLK_F11);
    std::vector<WindowEvent> events = takeAll();
    EXPECT_TRUE(window.isFullscreen());
    EXPECT_TRUE(SDL_GetWindowFlags(window.handle()) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    for (const WindowEvent& e : events) EXPECT_EQ(e.type, EventType::Paint);
    EXPECT_FALSE(events.empty());  // the new size is painted

    // Held keys repeat: the screen does not flip back and forth.
    pushKey(SDLK_F11, KMOD_NONE, true);
    pushKey(SDLK_RETURN, KMOD_LALT, true);
    takeAll();
    EXPECT_TRUE(window.isFullscreen());

    pushKey(SDLK_RETURN, KMOD_RALT);
    events = takeAll();
    EXPECT_FALSE(window.isFullscreen());
    EXPECT_FALSE(SDL_GetWindowFlags(window.handle()) & SDL_WINDOW_FULLSCREEN);
    for (const WindowEvent& e : events) EXPECT_EQ(e.type, EventType::Paint);
    EXPECT_EQ(told, (std::vector<bool>{true, false}));

    // Enter alone, and Alt alone, are ordinary keys.
    pushKey(SDLK_RETURN);
    pushKey(SDLK_LALT, KMOD_LALT);
    events = takeAll();
    std::erase_if(events, [](const WindowEvent& e) { return e.type == EventType::Paint; });
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].key, 0x0D);
    EXPECT_EQ(events[1].key, 0x12);
    EXPECT_FALSE(window.isFullscreen());
}

// The device made by the start-up keeps the picture's proportions when the player went full
// screen before it existed; a windowed one stretches it over the window.
TEST_F(ControllerWindowTest, ADeviceMadeInFullScreenStartsLetterboxed) {
    PresentParameters params;
    params.backBufferWidth = 640;
    params.backBufferHeight = 480;
    params.windowed = true;
    GlGraphicsSystem graphics(window.handle());
    using Rect = std::array<int, 4>;
    {
        std::unique_ptr<GlDevice> device = graphics.createGlDevice(params);
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(device->presentRect(1920, 1080), (Rect{0, 0, 1920, 1080}));
    }
    ASSERT_TRUE(window.setFullscreen(true));
    std::unique_ptr<GlDevice> device = graphics.createGlDevice(params);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->presentRect(1920, 1080), (Rect{240, 0, 1440, 1080}));
    EXPECT_TRUE(device->present());
}

TEST(LetterboxRect, KeepsFourByThreeCentredWithBarsOnTheLongSide) {
    using Rect = std::array<int, 4>;
    EXPECT_EQ(letterboxRect(1920, 1080, 640, 480), (Rect{240, 0, 1440, 1080}));
    EXPECT_EQ(letterboxRect(640, 480, 640, 480), (Rect{0, 0, 640, 480}));
    EXPECT_EQ(letterboxRect(1600, 1200, 640, 480), (Rect{0, 0, 1600, 1200}));
    EXPECT_EQ(letterboxRect(1280, 1024, 640, 480), (Rect{0, 32, 1280, 960}));   // 5 by 4
    EXPECT_EQ(letterboxRect(1080, 1920, 640, 480), (Rect{0, 555, 1080, 810}));  // turned display
    EXPECT_EQ(letterboxRect(5, 2, 640, 480), (Rect{1, 0, 2, 2}));
    // Nothing to draw on, or nothing to draw: no rectangle beyond the drawable.
    EXPECT_EQ(letterboxRect(0, 1080, 640, 480), (Rect{0, 0, 0, 1080}));
    EXPECT_EQ(letterboxRect(1920, 1080, 0, 480), (Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(letterboxRect(-5, -5, 640, 480), (Rect{0, 0, 0, 0}));
}

bool isBlue(uint32_t argb) {
    return (argb & 0xFFFFFF) == 0x0000FF;
}
bool isBlack(uint32_t argb) {
    return (argb & 0xFFFFFF) == 0;
}

// Needs a driver whose GL surface follows the window size (x11 under Xvfb; offscreen keeps it).
TEST(StatusLetterbox, AWideDrawableShowsTheStatusPictureBetweenBlackBars) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    SdlWindow window;
    ASSERT_TRUE(window.create()) << SDL_GetError();
    if (std::string(SDL_GetCurrentVideoDriver()) != "x11")
        GTEST_SKIP() << "needs the x11 driver";
    SDL_SetWindowSize(window.handle(), 960, 480);
    WindowEvent e;
    while (window.nextEvent(e, 200)) {
    }
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window.handle(), &w, &h);
    if (w != 960 || h != 480)
        GTEST_SKIP() << "the window manager kept the size";

    StatusPainter painter(window.handle());
    const StatusLine lines[] = {{"Choice your controller: Hit LButton or UpArrowKey", 49, 240, 380},
                                {"or press A on a game controller", 31, 240, 400}};
    StatusPicture picture;
    painter.setLetterbox(true);
    ASSERT_TRUE(painter.paintLines(lines, 2, &picture));
    ASSERT_EQ(picture.width, 960);
    // The 640 x 480 picture sits in the middle, unscaled at this height: bars of 160 each side.
    EXPECT_TRUE(isBlack(picture.at(0, 0)));
    EXPECT_TRUE(isBlack(picture.at(159, 479)));
    EXPECT_TRUE(isBlue(picture.at(160, 0)));
    EXPECT_TRUE(isBlue(picture.at(799, 479)));
    EXPECT_TRUE(isBlack(picture.at(800, 240)));
    // Both lines, each where the picture puts it: text only from x = 160 + 240 on.
    int firstLine = 0, secondLine = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 960; ++x) {
            const uint32_t c = picture.at(x, y);
            if (isBlue(c) || isBlack(c))
                continue;
            EXPECT_GE(x, 400) << y;
            if (y >= 380 && y < 396)
                ++firstLine;
            if (y >= 400 && y < 418)
                ++secondLine;
        }
    }
    EXPECT_GT(firstLine, 200);
    EXPECT_GT(secondLine, 100);

    // Without the letterbox the same drawable is blue all over, the text at client pixels.
    painter.setLetterbox(false);
    ASSERT_TRUE(painter.paintLines(lines, 2, &picture));
    EXPECT_TRUE(isBlue(picture.at(0, 0)));
    EXPECT_TRUE(isBlue(picture.at(959, 240)));
}

}  // namespace
