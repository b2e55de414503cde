// The mouse, keyboard and game controller the player flies with, on SDL2. Mouse movement is taken
// in relative mode while a button is held, so it does not stop at the screen edge; keys are read
// by scan code, so the keyboard layout does not move them; the controller's axes are read as they
// stand at the poll.
#include "platform/sdl_input.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// One wheel notch counts 120, as the game's speed control expects.
constexpr float kWheelCountsPerNotch = 120.0f;

constexpr uint8_t kDown = 0x80;

int32_t saturatingAdd(int32_t total, int32_t step) {
    int64_t sum = static_cast<int64_t>(total) + step;
    if (sum > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (sum < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(sum);
}

}  // namespace

SdlInputSource::~SdlInputSource() {
    releaseDevice();
    releaseSystem();
    closeController();
    if (controllerSupport_) {
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
}

bool SdlInputSource::createSystem() {
    if (systemMade_) {
        return true;
    }
    // Mouse and keyboard events come with the video subsystem; the window has started it
    // already, so this only takes a reference that releaseSystem gives back.
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    systemMade_ = true;
    return true;
}

bool SdlInputSource::createDevice(InputKind kind) {
    if (!systemMade_) {
        return false;
    }
    // Input is read only while the game window has focus. A Linux desktop neither lets a
    // window read the keyboard meant for another one nor should it, so unlike a background
    // device this one reports lost input when focus goes and delivers nothing until it is back.
    // The device is made right after the player clicked or pressed a key in the window, so it
    // starts focused.
    kind_ = kind;
    deviceMade_ = true;
    acquired_ = false;
    focused_ = true;
    lostPending_ = false;
    forgetMouse();
    // The click that chose the mouse may still be held; it counts from the first frame.
    buttons_ = SDL_GetMouseState(nullptr, nullptr);
    if (kind_ == InputKind::Controller && !controller_) {
        // Unplugged since the choice: its polls report lost input until one is back.
        openFirstController();
    }
    if (kind_ == InputKind::Mouse && buttons_ != 0) {
        setRelativeMode(true);
    }
    return true;
}

bool SdlInputSource::acquire() {
    if (!deviceMade_) {
        return false;
    }
    acquired_ = true;
    return true;
}

PollResult SdlInputSource::reacquire() {
    if (!deviceMade_) {
        return PollResult::Failed;
    }
    if (!focused_ || (kind_ == InputKind::Controller && !hasController())) {
        return PollResult::InputLost;
    }
    acquired_ = true;
    lostPending_ = false;
    return PollResult::Ok;
}

std::optional<PollResult> SdlInputSource::startPoll(InputKind kind) {
    if (!deviceMade_ || !acquired_ || kind_ != kind) {
        return PollResult::Failed;
    }
    if (lostPending_) {
        lostPending_ = false;
        return PollResult::InputLost;
    }
    // A controller pulled out mid-flight is lost input, as a mouse that loses its window is.
    if (kind == InputKind::Controller && !hasController()) {
        return PollResult::InputLost;
    }
    if (!focused_) {
        // Nothing is held over a window without focus.
        return PollResult::Ok;
    }
    return std::nullopt;
}

PollResult SdlInputSource::pollMouse(MouseState& state) {
    state = MouseState{};
    if (std::optional<PollResult> early = startPoll(InputKind::Mouse)) {
        return *early;
    }
    state.x = moveX_;
    state.y = moveY_;
    // Whole counts go out; the fraction of a smooth-scrolling wheel waits for the next poll.
    float whole = std::trunc(wheel_);
    state.wheel = static_cast<int32_t>(whole);
    wheel_ -= whole;
    moveX_ = 0;
    moveY_ = 0;
    state.buttons[0] = (buttons_ & SDL_BUTTON_LMASK) ? kDown : 0;
    state.buttons[1] = (buttons_ & SDL_BUTTON_RMASK) ? kDown : 0;
    state.buttons[2] = (buttons_ & SDL_BUTTON_MMASK) ? kDown : 0;
    state.buttons[3] = (buttons_ & SDL_BUTTON_X1MASK) ? kDown : 0;
    state.buttons[4] = (buttons_ & SDL_BUTTON_X2MASK) ? kDown : 0;
    return PollResult::Ok;
}

PollResult SdlInputSource::pollKeyboard(KeyboardState& state) {
    state = KeyboardState{};
    if (std::optional<PollResult> early = startPoll(InputKind::Keyboard)) {
        return *early;
    }
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    if (keys == nullptr) {
        return PollResult::Failed;
    }
    auto copy = [&](SDL_Scancode from, int to) {
        if (from < count && keys[from]) {
            state.keys[to] = kDown;
        }
    };
    copy(SDL_SCANCODE_UP, kScanUp);
    copy(SDL_SCANCODE_LEFT, kScanLeft);
    copy(SDL_SCANCODE_RIGHT, kScanRight);
    copy(SDL_SCANCODE_DOWN, kScanDown);
    return PollResult::Ok;
}

PollResult SdlInputSource::pollController(ControllerState& state) {
    state = ControllerState{};
    if (std::optional<PollResult> early = startPoll(InputKind::Controller)) {
        return *early;
    }
    state.leftX = SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTX);
    state.leftY = SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTY);
    state.leftTrigger = SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    state.rightTrigger = SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    return PollResult::Ok;
}

bool SdlInputSource::hasController() const {
    return controller_ != nullptr && SDL_GameControllerGetAttached(controller_) == SDL_TRUE;
}

void SdlInputSource::releaseDevice() {
    if (!deviceMade_) {
        return;
    }
    setRelativeMode(false);
    forgetMouse();
    deviceMade_ = false;
    acquired_ = false;
    lostPending_ = false;
}

void SdlInputSource::releaseSystem() {
    if (!systemMade_) {
        return;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    systemMade_ = false;
}

void SdlInputSource::handleEvent(const SDL_Event& e) {
    switch (e.type) {
        case SDL_MOUSEMOTION:
            // The pointer passing over the window without focus steers nothing, then or later.
            if (!focused_) {
                break;
            }
            moveX_ = saturatingAdd(moveX_, e.motion.xrel);
            moveY_ = saturatingAdd(moveY_, e.motion.yrel);
            break;
        case SDL_MOUSEWHEEL: {
            if (!focused_) {
                break;
            }
            // Natural scrolling flips the reported direction; the game wants the wheel's own.
            float notches = e.wheel.preciseY;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
                notches = -notches;
            }
            if (std::isfinite(notches)) {
                wheel_ += notches * kWheelCountsPerNotch;
                // Bounded so that a flood of events cannot overflow the count.
                wheel_ = std::fmax(std::fmin(wheel_, 1.0e9f), -1.0e9f);
            }
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button >= 1 && e.button.button <= 32) {
                buttons_ |= 1u << (e.button.button - 1);
            }
            // Held buttons mean the player is flying: take raw movement that goes on past the
            // screen edge.
            if (deviceMade_ && kind_ == InputKind::Mouse && focused_) {
                setRelativeMode(true);
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button >= 1 && e.button.button <= 32) {
                buttons_ &= ~(1u << (e.button.button - 1));
            }
            // With nothing held the pointer is the player's again.
            if (buttons_ == 0) {
                setRelativeMode(false);
            }
            break;
        case SDL_CONTROLLERDEVICEADDED:
            // `which` is the device index here; SDL announces every controller already plugged
            // in when its support starts, so this also finds those.
            openController(e.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            // `which` is the instance id here.
            if (controller_ && e.cdevice.which == controllerId_) {
                closeController();
                if (deviceMade_ && acquired_ && kind_ == InputKind::Controller) {
                    lostPending_ = true;
                }
                openFirstController();
            }
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                if (focused_ && deviceMade_ && acquired_) {
                    lostPending_ = true;
                }
                focused_ = false;
                // Button releases may never reach us now; start from nothing held.
                setRelativeMode(false);
                forgetMouse();
            } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                focused_ = true;
            }
            break;
        default:
            break;
    }
}

void SdlInputSource::setRelativeMode(bool on) {
    if (relativeMode_ == on) {
        return;
    }
    // Where relative mode is not supported, movement still comes from the pointer position.
    if (SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE) == 0 || !on) {
        relativeMode_ = on;
    }
}

void SdlInputSource::forgetMouse() {
    moveX_ = 0;
    moveY_ = 0;
    wheel_ = 0;
    buttons_ = 0;
}

void SdlInputSource::openController(int deviceIndex) {
    if (controller_ || deviceIndex < 0 || !SDL_IsGameController(deviceIndex)) {
        return;
    }
    if (!controllerSupport_) {
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
            return;
        }
        controllerSupport_ = true;
    }
    SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
    if (pad == nullptr) {
        std::fprintf(stderr, "Dravik: game controller %d cannot be opened: %s\n", deviceIndex,
                     SDL_GetError());
        return;
    }
    controller_ = pad;
    controllerId_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad));
}

void SdlInputSource::openFirstController() {
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count && controller_ == nullptr; ++i) {
        openController(i);
    }
}

void SdlInputSource::closeController() {
    if (controller_) {
        SDL_GameControllerClose(controller_);
        controller_ = nullptr;
        controllerId_ = -1;
    }
}
