// The SDL window: its creation and how SDL events come out as window-procedure events.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/sdl_window.h"

namespace {

class SdlWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_TRUE(window.create()) << SDL_GetError();
        window.setRawEventHook([this](const SDL_Event& e) { rawTypes.push_back(e.type); });
        takeAll();  // whatever opening the window produced
        rawTypes.clear();
    }

    std::vector<WindowEvent> takeAll() {
        std::vector<WindowEvent> events;
        WindowEvent e;
        while (window.nextEvent(e, 0)) events.push_back(e);
        return events;
    }

    void pushKey(SDL_Keycode key, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN, bool repeat = false,
                 Uint32 type = SDL_KEYDOWN) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = SDL_GetWindowID(window.handle());
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.sym = key;
        e.key.keysym.scancode = scancode;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    void pushButton(Uint8 button, Uint32 type = SDL_MOUSEBUTTONDOWN) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = SDL_GetWindowID(window.handle());
        e.button.button = button;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = 100;
        e.button.y = 100;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    void pushWindowEvent(Uint8 what, Uint32 windowId = 0) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = windowId ? windowId : SDL_GetWindowID(window.handle());
        e.window.event = what;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    void pushType(Uint32 type) {
        SDL_Event e{};
        e.type = type;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    SdlWindow window;
    std::vector<Uint32> rawTypes;
};

// Pushes one event from SDL's timer thread, as a key press arriving while the loop waits.
Uint32 pushLater(Uint32, void* param) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = *static_cast<SDL_Keycode*>(param);
    SDL_PushEvent(&e);
    return 0;
}

TEST_F(SdlWindowTest, OpensTheDravikWindowWithA640x480ClientAreaForOpenGl) {
    EXPECT_STREQ(SDL_GetWindowTitle(window.handle()), "Dravik");
    int w = 0, h = 0;
    SDL_GetWindowSize(window.handle(), &w, &h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    const Uint32 flags = SDL_GetWindowFlags(window.handle());
    EXPECT_TRUE(flags & SDL_WINDOW_OPENGL);
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
    const ClientRect rect = window.clientRect();
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 480);
}

TEST_F(SdlWindowTest, EachHandledKeyComesOutAsItsVirtualKeyCodeInOrder) {
    const std::vector<std::pair<SDL_Keycode, int>> keys = {
        {SDLK_LCTRL, kVkControl}, {SDLK_RCTRL, kVkControl}, {SDLK_ESCAPE, kVkEscape},
        {SDLK_UP, kVkUp},         {SDLK_LEFT, kVkLeft},     {SDLK_RIGHT, kVkRight},
        {SDLK_DOWN, kVkDown},     {SDLK_m, kVkM},           {SDLK_F1, kVkF1},
        {SDLK_F2, kVkF2},         {SDLK_F3, kVkF3},         {SDLK_F4, kVkF4},
        {SDLK_F5, kVkF5},         {SDLK_F6, kVkF6}};
    for (const auto& [sym, vk] : keys) pushKey(sym);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(events[i].type, EventType::KeyDown) << i;
        EXPECT_EQ(events[i].key, keys[i].second) << "key " << SDL_GetKeyName(keys[i].first);
    }
}

TEST_F(SdlWindowTest, AutoRepeatedKeyDownsRepeatTheKeyAndReleasesAreConsumed) {
    pushKey(SDLK_LCTRL);
    pushKey(SDLK_LCTRL, SDL_SCANCODE_UNKNOWN, true);
    pushKey(SDLK_LCTRL, SDL_SCANCODE_UNKNOWN, true);
    pushKey(SDLK_LCTRL, SDL_SCANCODE_UNKNOWN, false, SDL_KEYUP);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 3u);
    for (const WindowEvent& e : events) {
        EXPECT_EQ(e.type, EventType::KeyDown);
        EXPECT_EQ(e.key, kVkControl);
    }
}

TEST_F(SdlWindowTest, OnlyALeftButtonPressComesOutAsAClick) {
    pushButton(SDL_BUTTON_RIGHT);
    pushButton(SDL_BUTTON_MIDDLE);
    pushButton(SDL_BUTTON_LEFT, SDL_MOUSEBUTTONUP);
    pushButton(SDL_BUTTON_LEFT);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, EventType::LeftButtonDown);
}

TEST_F(SdlWindowTest, OtherKeysComeOutWithCodesThatMatchNoCommand) {
    EXPECT_EQ(virtualKeyCode(SDLK_a, SDL_SCANCODE_A), 'A');
    EXPECT_EQ(virtualKeyCode(SDLK_z, SDL_SCANCODE_Z), 'Z');
    EXPECT_EQ(virtualKeyCode(SDLK_7, SDL_SCANCODE_7), '7');
    EXPECT_EQ(virtualKeyCode(SDLK_F12, SDL_SCANCODE_F12), 0x7B);
    EXPECT_EQ(virtualKeyCode(SDLK_SPACE, SDL_SCANCODE_SPACE), 0x20);
    // On an AZERTY keyboard the key labelled M sits where ',' is on QWERTY: the label counts.
    EXPECT_EQ(virtualKeyCode(SDLK_m, SDL_SCANCODE_SEMICOLON), kVkM);
    EXPECT_EQ(virtualKeyCode(SDLK_COMMA, SDL_SCANCODE_M), 0);
    // On a Cyrillic layout the M key types a non-Latin letter; its position counts.
    EXPECT_EQ(virtualKeyCode(0x44C, SDL_SCANCODE_M), kVkM);
    EXPECT_EQ(virtualKeyCode(SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN), 0);

    pushKey(SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN);
    pushKey(SDLK_q, SDL_SCANCODE_Q);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, EventType::KeyDown);
    EXPECT_EQ(events[0].key, 0);
    EXPECT_EQ(events[1].key, 'Q');
}

TEST_F(SdlWindowTest, ExposeAndSizeChangesComeOutAsPaintForThisWindowOnly) {
    pushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
    pushWindowEvent(SDL_WINDOWEVENT_MOVED);
    pushWindowEvent(SDL_WINDOWEVENT_EXPOSED, SDL_GetWindowID(window.handle()) + 100);
    pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED);
    pushWindowEvent(SDL_WINDOWEVENT_ENTER);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, EventType::Paint);
    EXPECT_EQ(events[1].type, EventType::Paint);
}

TEST_F(SdlWindowTest, FocusChangesComeOutForThisWindowOnlyInOrder) {
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST, SDL_GetWindowID(window.handle()) + 100);
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, EventType::FocusLost);
    EXPECT_EQ(events[1].type, EventType::FocusGained);
}

TEST_F(SdlWindowTest, InvalidateQueuesOnePaintAfterTheEventsBeforeIt) {
    pushKey(SDLK_F1);
    window.invalidate();
    window.invalidate();
    pushKey(SDLK_F2);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].key, kVkF1);
    EXPECT_EQ(events[1].type, EventType::Paint);
    EXPECT_EQ(events[2].key, kVkF2);
}

TEST_F(SdlWindowTest, PostedQuitComesOutWithItsCodeAfterEarlierEvents) {
    pushKey(SDLK_F1);
    pushButton(SDL_BUTTON_LEFT);
    window.postQuit(7);
    pushKey(SDLK_F2);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].key, kVkF1);
    EXPECT_EQ(events[1].type, EventType::LeftButtonDown);
    EXPECT_EQ(events[2].type, EventType::Quit);
    EXPECT_EQ(events[2].quitCode, 7);
    EXPECT_EQ(events[3].key, kVkF2);
    // Events drained early for the quit still went past the hook, in order.
    ASSERT_GE(rawTypes.size(), 3u);
    EXPECT_EQ(rawTypes[0], static_cast<Uint32>(SDL_KEYDOWN));
    EXPECT_EQ(rawTypes[1], static_cast<Uint32>(SDL_MOUSEBUTTONDOWN));
}

TEST_F(SdlWindowTest, ClosingTheWindowGivesOneCloseThoughSdlAlsoSendsQuit) {
    pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    pushType(SDL_QUIT);
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, EventType::Close);
}

TEST_F(SdlWindowTest, AnSdlQuitOnItsOwnIsAClose) {
    pushType(SDL_QUIT);  // as SIGINT or SIGTERM make it
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, EventType::Close);
}

TEST_F(SdlWindowTest, ADestroyedWindowTakesNoMoreEventsButTheQuitStillComes) {
    pushKey(SDLK_F1);
    window.invalidate();  // queued before the destruction, dropped with it
    window.destroyWindow();
    pushKey(SDLK_F2);
    pushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
    pushType(SDL_QUIT);
    window.invalidate();
    window.paintStatus("late", 4, 240, 380);
    window.postQuit(0);
    window.destroyWindow();  // a second call does nothing
    const std::vector<WindowEvent> events = takeAll();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, EventType::Quit);
    EXPECT_EQ(events[0].quitCode, 0);
    const ClientRect rect = window.clientRect();
    EXPECT_EQ(rect.right - rect.left, 0);
}

TEST_F(SdlWindowTest, AWaitWithNoEventsEndsFalse) {
    WindowEvent e;
    EXPECT_FALSE(window.nextEvent(e, 0));
    EXPECT_FALSE(window.nextEvent(e, 30));
}

TEST_F(SdlWindowTest, EventsThatMeanNothingDoNotEndTheWaitEarly) {
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.windowID = SDL_GetWindowID(window.handle());
    motion.motion.xrel = 5;
    ASSERT_EQ(SDL_PushEvent(&motion), 1);

    const uint64_t start = SDL_GetTicks64();
    WindowEvent e;
    EXPECT_FALSE(window.nextEvent(e, 120));
    EXPECT_GE(SDL_GetTicks64() - start, 60u);  // loose: only an early return is a fault
    ASSERT_EQ(rawTypes.size(), 1u);
    EXPECT_EQ(rawTypes[0], static_cast<Uint32>(SDL_MOUSEMOTION));
}

TEST_F(SdlWindowTest, AKeyArrivingDuringTheWaitEndsIt) {
    pushType(SDL_MOUSEMOTION);
    static SDL_Keycode key = SDLK_F3;
    ASSERT_NE(SDL_AddTimer(30, pushLater, &key), 0);
    WindowEvent e;
    ASSERT_TRUE(window.nextEvent(e, 5000));
    EXPECT_EQ(e.type, EventType::KeyDown);
    EXPECT_EQ(e.key, kVkF3);

    static SDL_Keycode escape = SDLK_ESCAPE;
    ASSERT_NE(SDL_AddTimer(20, pushLater, &escape), 0);
    ASSERT_TRUE(window.nextEvent(e, -1));  // waits as long as it takes
    EXPECT_EQ(e.key, kVkEscape);
}

// A 2x2 RGBA picture as a PNG file.
const unsigned char kSmallPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x72, 0xb6, 0x0d,
    0x24, 0x00, 0x00, 0x00, 0x13, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0xf0,
    0x1f, 0x0c, 0x81, 0x34, 0x08, 0x34, 0x00, 0x00, 0x49, 0x49, 0x09, 0x78, 0x28, 0xa0, 0xdb, 0x77,
    0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

// The window opens whatever media/dravik.png holds: a good icon, none, junk, a cut-off file or a
// header that claims a picture far too large to decode.
TEST(SdlWindowIconTest, AnyIconFileStillOpensTheWindow) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    namespace fs = std::filesystem;
    const fs::path home = fs::current_path();
    char pattern[] = "/tmp/dravik-icon-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    fs::create_directories(dir / "media");
    ASSERT_EQ(chdir(dir.c_str()), 0);

    std::string huge(kSmallPng, kSmallPng + 33);
    huge[16] = huge[20] = 0x00;
    huge[17] = huge[21] = 0x7F;  // 8 million pixels a side
    const std::vector<std::pair<const char*, std::string>> icons = {
        {"good", std::string(kSmallPng, kSmallPng + sizeof kSmallPng)},
        {"junk", "not a picture at all"},
        {"cut off", std::string(kSmallPng, kSmallPng + 40)},
        {"too large", huge},
        {"none", ""},
    };
    for (const auto& [name, bytes] : icons) {
        fs::remove(dir / "media" / "dravik.png");
        if (!bytes.empty())
            std::ofstream(dir / "media" / "dravik.png", std::ios::binary) << bytes;
        SdlWindow window;
        EXPECT_TRUE(window.create()) << name;
        EXPECT_STREQ(SDL_GetWindowTitle(window.handle()), "Dravik") << name;
    }
    ASSERT_EQ(chdir(home.c_str()), 0);
    fs::remove_all(dir);
}

}  // namespace
