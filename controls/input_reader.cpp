// The live input reader: the chosen mouse, keyboard or game controller, polled once per live
// frame, turned into one turn and one speed input for the control mapping, and appended to the
// flight recorder.
#include "controls/input_reader.h"

#include <algorithm>

#include "controls/control_mapping.h"
#include "controls/controller_mapping.h"
#include "controls/flight_recorder.h"
#include "controls/input_source.h"
#include "game/game_state.h"

namespace {

// A device that stays lost (a window without focus, say) must not hang the frame step; after
// this many attempts the frame simply counts as one without input.
constexpr int kMaxReacquireAttempts = 16;

constexpr int16_t kSpeedInputLimit = 200;

bool isDown(uint8_t state) {
    return (state & 0x80) != 0;
}

int16_t clampSpeedInput(int16_t v) {
    return std::clamp<int16_t>(v, -kSpeedInputLimit, kSpeedInputLimit);
}

struct FrameInput {
    int16_t turn = kNoInput;
    int16_t vertical = kNoInput;
    int16_t speedInput = kNoInput;
};

void applyMouse(const MouseState& mouse, FrameInput& input) {
    // Movements are cut to their low 16 bits before anything else looks at them.
    int16_t x = static_cast<int16_t>(mouse.x);
    int16_t y = static_cast<int16_t>(mouse.y);

    if (isDown(mouse.buttons[0])) {
        applyTurnInput(x);
        // The vertical movement is only carried along in the recording.
        game.steering = 1;
        input.turn = x;
        input.vertical = y;
    } else {
        game.steering = 0;
    }

    if (isDown(mouse.buttons[1])) {
        // Forward, away from the player, is faster; the negation wraps in 16 bits.
        int16_t v = clampSpeedInput(static_cast<int16_t>(-y));
        applySpeedInput(v);
        input.speedInput = v;
    } else if (isDown(mouse.buttons[2])) {
        int16_t v = clampSpeedInput(static_cast<int16_t>(mouse.wheel / 2));
        applySpeedInput(v);
        input.speedInput = v;
    }
}

void applyKeyboard(const KeyboardState& keyboard, FrameInput& input) {
    bool left = isDown(keyboard.keys[kScanLeft]);
    bool right = isDown(keyboard.keys[kScanRight]);
    if (left || right) {
        int16_t v = left ? -8 : 8;
        applyTurnInput(v);
        game.steering = 1;
        input.turn = v;
    } else {
        game.steering = 0;
    }

    if (isDown(keyboard.keys[kScanUp])) {
        applySpeedInput(2);
        input.speedInput = 2;
    } else if (isDown(keyboard.keys[kScanDown])) {
        applySpeedInput(-2);
        input.speedInput = -2;
    }
}

// The controller's frame is recorded as the keyboard's is, without a vertical value, so a
// controller flight replays through the same path and its file reads like any other.
void applyController(const ControllerState& pad, FrameInput& input) {
    int16_t turn = stickTurnInput(pad.leftX);
    if (turn != kNoInput) {
        applyTurnInput(turn);
        game.steering = 1;
        input.turn = turn;
    } else {
        game.steering = 0;
    }

    int16_t speed = triggerSpeedInput(pad.leftTrigger, pad.rightTrigger);
    if (speed != kNoInput) {
        applySpeedInput(speed);
        input.speedInput = speed;
    }
}

// The mouse choice decides first, as it always has; the keyboard is what is left.
InputKind chosenKind() {
    if (game.mouseChosen) {
        return InputKind::Mouse;
    }
    return game.controllerChosen ? InputKind::Controller : InputKind::Keyboard;
}

void reacquireLostDevice(InputSource& source) {
    for (int attempt = 0; attempt < kMaxReacquireAttempts; ++attempt) {
        if (source.reacquire() != PollResult::InputLost) {
            return;
        }
    }
}

}  // namespace

bool createInputDevice() {
    InputSource* source = game.inputPlatform;
    if (source == nullptr || !source->createSystem()) {
        return false;
    }
    game.inputSystem = source;
    // What was made so far stays for releaseInputDevice to take down.
    if (!source->createDevice(chosenKind())) {
        return false;
    }
    game.inputDevice = 1;
    return source->acquire();
}

bool readInput() {
    InputSource* source = game.inputSystem;
    if (source == nullptr || !game.inputDevice) {
        return false;
    }

    FrameInput input;
    PollResult result;
    MouseState mouse;
    KeyboardState keyboard;
    ControllerState pad;
    const InputKind kind = chosenKind();
    switch (kind) {
        case InputKind::Mouse:
            result = source->pollMouse(mouse);
            break;
        case InputKind::Controller:
            result = source->pollController(pad);
            break;
        case InputKind::Keyboard:
        default:
            result = source->pollKeyboard(keyboard);
            break;
    }

    switch (result) {
        case PollResult::InputLost:
            // Nothing is applied and the frame is recorded as one without input. Steering is
            // cleared too: a replay of that entry flies the frame without steering, so the live
            // flight must do the same or the recording would replay differently.
            reacquireLostDevice(*source);
            game.steering = 0;
            break;
        case PollResult::Failed:
            return false;
        case PollResult::Ok:
            if (kind == InputKind::Mouse) {
                applyMouse(mouse, input);
            } else if (kind == InputKind::Controller) {
                applyController(pad, input);
            } else {
                applyKeyboard(keyboard, input);
            }
            break;
    }

    if (!game.recorderFull && game.flightRecorder != nullptr) {
        if (game.flightRecorder->record(input.turn, input.vertical, input.speedInput) == -1) {
            game.recorderFull = 1;
        }
    }
    return true;
}

void releaseInputDevice() {
    if (game.inputDevice) {
        if (game.inputSystem != nullptr) {
            game.inputSystem->releaseDevice();
        }
        game.inputDevice = 0;
    }
    if (game.inputSystem != nullptr) {
        game.inputSystem->releaseSystem();
        game.inputSystem = nullptr;
    }
}
