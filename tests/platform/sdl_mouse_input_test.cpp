// The SDL mouse as the game polls it: movement and wheel gathered from events between polls,
// buttons as held, and what focus loss does to a device, fed with events made by the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "platform/sdl_input.h"

namespace {

class SdlMouseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_TRUE(input.createSystem()) << SDL_GetError();
    }
    void TearDown() override {
        input.releaseDevice();
        input.releaseSystem();
    }
    void move(int dx, int dy) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.xrel = dx;
        e.motion.yrel = dy;
        input.handleEvent(e);
    }
    void wheel(float notches, bool flipped = false) {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.preciseY = notches;
        e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        input.handleEvent(e);
    }
    void button(Uint8 which, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = which;
        input.handleEvent(e);
    }
    void focus(bool gained) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
        input.handleEvent(e);
    }
    MouseState poll(PollResult expected = PollResult::Ok) {
        MouseState state;
        EXPECT_EQ(input.pollMouse(state), expected);
        return state;
    }
    SdlInputSource input;
};

TEST_F(SdlMouseTest, MovementAndWheelAddUpBetweenPollsAndButtonsReadAsHeld) {
    ASSERT_TRUE(input.createDevice(InputKind::Mouse));
    MouseState before;
    EXPECT_EQ(input.pollMouse(before), PollResult::Failed) << "not acquired yet";
    ASSERT_TRUE(input.acquire());

    move(3, -4);
    move(10, 1);
    wheel(1.0f);
    wheel(0.5f);
    button(SDL_BUTTON_LEFT, true);
    button(SDL_BUTTON_RIGHT, true);
    MouseState s = poll();
    EXPECT_EQ(s.x, 13);
    EXPECT_EQ(s.y, -3);
    EXPECT_EQ(s.wheel, 180);  // 120 counts a notch
    EXPECT_EQ(s.buttons[0], 0x80);
    EXPECT_EQ(s.buttons[1], 0x80);
    EXPECT_EQ(s.buttons[2], 0);

    // Counted from the last poll on; held buttons stay held.
    button(SDL_BUTTON_LEFT, false);
    s = poll();
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.wheel, 0);
    EXPECT_EQ(s.buttons[0], 0);
    EXPECT_EQ(s.buttons[1], 0x80);

    // A smooth wheel's fractions wait until they make a whole count; natural scrolling is
    // turned back to the wheel's own direction.
    wheel(1.0f / 240);
    EXPECT_EQ(poll().wheel, 0);
    wheel(1.0f / 240);
    EXPECT_EQ(poll().wheel, 1);
    wheel(1.0f, true);
    EXPECT_EQ(poll().wheel, -120);
    button(SDL_BUTTON_RIGHT, false);
}

TEST_F(SdlMouseTest, HostileEventCountsSaturateInsteadOfOverflowing) {
    ASSERT_TRUE(input.createDevice(InputKind::Mouse));
    ASSERT_TRUE(input.acquire());
    for (int i = 0; i < 4; ++i)
        move(std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min());
    wheel(std::numeric_limits<float>::infinity());
    wheel(std::numeric_limits<float>::quiet_NaN());
    MouseState s = poll();
    EXPECT_EQ(s.x, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(s.y, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(s.wheel, 0) << "non-finite wheel steps are dropped";
}

TEST_F(SdlMouseTest, FocusLossIsLostInputOnceThenNothingHeldUntilFocusReturns) {
    ASSERT_TRUE(input.createDevice(InputKind::Mouse));
    ASSERT_TRUE(input.acquire());
    button(SDL_BUTTON_LEFT, true);
    move(5, 5);
    focus(false);
    poll(PollResult::InputLost);
    // Unfocused: polls succeed with nothing moving or held, and acquiring again is refused.
    move(7, 7);
    MouseState s = poll();
    EXPECT_EQ(s.x, 0);
    EXPECT_EQ(s.buttons[0], 0);
    EXPECT_EQ(input.reacquire(), PollResult::InputLost);

    // Back in focus: the button pressed before is forgotten, new movement counts.
    focus(true);
    EXPECT_EQ(input.reacquire(), PollResult::Ok);
    move(2, 0);
    s = poll();
    EXPECT_EQ(s.x, 2);
    EXPECT_EQ(s.buttons[0], 0);
}

TEST_F(SdlMouseTest, EachPollReadsOnlyTheKindOfDeviceMade) {
    ASSERT_TRUE(input.createDevice(InputKind::Keyboard));
    ASSERT_TRUE(input.acquire());
    poll(PollResult::Failed);
    KeyboardState keys;
    EXPECT_EQ(input.pollKeyboard(keys), PollResult::Ok);
    ControllerState pad;
    EXPECT_EQ(input.pollController(pad), PollResult::Failed);
    input.releaseDevice();
    EXPECT_EQ(input.pollKeyboard(keys), PollResult::Failed) << "after the device is released";
}

}  // namespace
