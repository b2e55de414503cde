// The mouse, keyboard or game controller the player flies with, polled once per live frame;
// platform/ implements it on SDL2, the tests and the headless runner with scripted state.
#pragma once

#include <cstdint>

enum class InputKind { Mouse, Keyboard, Controller };

// Movement since the last poll and the button bytes (bit 0x80 = down): 0 left, 1 right, 2 middle.
struct MouseState {
    int32_t x = 0, y = 0, wheel = 0;
    uint8_t buttons[8] = {};
};

// Key state by scan code (bit 0x80 = down).
struct KeyboardState {
    uint8_t keys[256] = {};
};

// A game controller's axes now: the left stick -32768..32767 (negative left and up), the
// triggers 0..32767 (0 released).
struct ControllerState {
    int16_t leftX = 0, leftY = 0;
    int16_t leftTrigger = 0, rightTrigger = 0;
};

constexpr int kScanUp = 0xC8;
constexpr int kScanLeft = 0xCB;
constexpr int kScanRight = 0xCD;
constexpr int kScanDown = 0xD0;

enum class PollResult { Ok, InputLost, Failed };

class InputSource {
  public:
    virtual ~InputSource() = default;
    // The input system object.
    virtual bool createSystem() = 0;
    virtual bool createDevice(InputKind kind) = 0;
    virtual bool acquire() = 0;
    // Acquire again after lost input: InputLost while the device is still lost.
    virtual PollResult reacquire() = 0;
    virtual PollResult pollMouse(MouseState& state) = 0;
    virtual PollResult pollKeyboard(KeyboardState& state) = 0;
    // A source without game controllers has none to poll.
    virtual PollResult pollController(ControllerState& state) {
        state = ControllerState{};
        return PollResult::Failed;
    }
    virtual void releaseDevice() = 0;
    virtual void releaseSystem() = 0;
};
