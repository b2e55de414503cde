// A scripted mouse, keyboard or game controller for tests and the headless runner.
#include "fakes/fake_input.h"

MouseState FakeInput::mouse(int32_t x, int32_t y, int32_t wheel, bool left, bool right,
                            bool middle) {
    MouseState state;
    state.x = x;
    state.y = y;
    state.wheel = wheel;
    state.buttons[0] = left ? 0x80 : 0;
    state.buttons[1] = right ? 0x80 : 0;
    state.buttons[2] = middle ? 0x80 : 0;
    return state;
}

KeyboardState FakeInput::keys(std::initializer_list<int> scanCodes) {
    KeyboardState state;
    for (int code : scanCodes) {
        state.keys[code & 0xFF] = 0x80;
    }
    return state;
}

ControllerState FakeInput::pad(int16_t stickX, int16_t leftTrigger, int16_t rightTrigger,
                               int16_t stickY) {
    ControllerState state;
    state.leftX = stickX;
    state.leftY = stickY;
    state.leftTrigger = leftTrigger;
    state.rightTrigger = rightTrigger;
    return state;
}

void FakeInput::pushMouse(const MouseState& state) {
    Poll poll;
    poll.mouse = state;
    script.push_back(poll);
}

void FakeInput::pushKeyboard(const KeyboardState& state) {
    Poll poll;
    poll.keyboard = state;
    script.push_back(poll);
}

void FakeInput::pushController(const ControllerState& state) {
    Poll poll;
    poll.controller = state;
    script.push_back(poll);
}

void FakeInput::pushLost(int lostReacquires) {
    Poll poll;
    poll.result = PollResult::InputLost;
    poll.lostReacquires = lostReacquires;
    script.push_back(poll);
}

void FakeInput::pushFailure() {
    Poll poll;
    poll.result = PollResult::Failed;
    script.push_back(poll);
}

bool FakeInput::createSystem() {
    calls.push_back("createSystem");
    if (failCreateSystem) {
        return false;
    }
    systemMade = true;
    return true;
}

bool FakeInput::createDevice(InputKind k) {
    calls.push_back(k == InputKind::Mouse        ? "createDevice:mouse"
                    : k == InputKind::Controller ? "createDevice:controller"
                                                 : "createDevice:keyboard");
    if (failCreateDevice || !systemMade) {
        return false;
    }
    kind = k;
    deviceMade = true;
    return true;
}

bool FakeInput::acquire() {
    calls.push_back("acquire");
    if (failAcquire || !deviceMade) {
        return false;
    }
    acquired = true;
    lost_ = false;
    return true;
}

PollResult FakeInput::reacquire() {
    calls.push_back("reacquire");
    ++reacquireCount;
    if (reacquireFails || !deviceMade) {
        return PollResult::Failed;
    }
    if (stuckLost) {
        return PollResult::InputLost;
    }
    if (lostLeft_ > 0) {
        --lostLeft_;
        return PollResult::InputLost;
    }
    acquired = true;
    lost_ = false;
    return PollResult::Ok;
}

PollResult FakeInput::pollMouse(MouseState& state) {
    calls.push_back("pollMouse");
    return nextPoll(InputKind::Mouse, &state, nullptr, nullptr);
}

PollResult FakeInput::pollKeyboard(KeyboardState& state) {
    calls.push_back("pollKeyboard");
    return nextPoll(InputKind::Keyboard, nullptr, &state, nullptr);
}

PollResult FakeInput::pollController(ControllerState& state) {
    calls.push_back("pollController");
    return nextPoll(InputKind::Controller, nullptr, nullptr, &state);
}

PollResult FakeInput::nextPoll(InputKind asked, MouseState* mouseOut, KeyboardState* keyboardOut,
                               ControllerState* controllerOut) {
    ++pollCount;
    // A poll in the wrong format, or of a device never acquired, fails as a real one would; one
    // that was lost and not yet won back is still lost.
    if (!deviceMade || kind != asked) {
        return PollResult::Failed;
    }
    if (!acquired) {
        return lost_ ? PollResult::InputLost : PollResult::Failed;
    }
    Poll poll;
    if (!script.empty()) {
        poll = script.front();
        script.pop_front();
    }
    if (poll.result == PollResult::InputLost) {
        acquired = false;
        lost_ = true;
        lostLeft_ = poll.lostReacquires;
    }
    if (poll.result == PollResult::Ok) {
        if (mouseOut != nullptr) {
            *mouseOut = poll.mouse;
        }
        if (keyboardOut != nullptr) {
            *keyboardOut = poll.keyboard;
        }
        if (controllerOut != nullptr) {
            *controllerOut = poll.controller;
        }
    }
    return poll.result;
}

void FakeInput::releaseDevice() {
    calls.push_back("releaseDevice");
    deviceMade = false;
    acquired = false;
    lost_ = false;
}

void FakeInput::releaseSystem() {
    calls.push_back("releaseSystem");
    systemMade = false;
}
