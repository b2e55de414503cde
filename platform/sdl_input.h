// The mouse, keyboard and game controller the player flies with, on SDL2: relative mouse
// movement, wheel and buttons gathered from the window's events, the arrow keys by scan code, and
// the first game controller plugged in, followed through hot-plugging.
#pragma once

#include <SDL.h>

#include <optional>

#include "controls/input_source.h"

class SdlInputSource : public InputSource {
  public:
    SdlInputSource() = default;
    ~SdlInputSource() override;
    SdlInputSource(const SdlInputSource&) = delete;
    SdlInputSource& operator=(const SdlInputSource&) = delete;

    bool createSystem() override;
    bool createDevice(InputKind kind) override;
    bool acquire() override;
    PollResult reacquire() override;
    PollResult pollMouse(MouseState& state) override;
    PollResult pollKeyboard(KeyboardState& state) override;
    PollResult pollController(ControllerState& state) override;
    void releaseDevice() override;
    void releaseSystem() override;

    // The window's event pump hands over every SDL event; movement and wheel add up here
    // between two polls, focus changes are noted, and game controllers are opened as they come
    // (the window starts SDL's game controller support) and closed as they go.
    void handleEvent(const SDL_Event& e);

    // Whether a game controller is open and still plugged in.
    bool hasController() const;

  private:
    // What a poll of the given kind returns before reading anything (refused, lost input, or
    // nothing held while the window has no focus); nothing when it goes on to read the device.
    std::optional<PollResult> startPoll(InputKind kind);
    void setRelativeMode(bool on);
    void forgetMouse();
    void openController(int deviceIndex);
    void openFirstController();
    void closeController();

    bool systemMade_ = false;
    bool deviceMade_ = false;
    bool acquired_ = false;
    InputKind kind_ = InputKind::Mouse;
    bool focused_ = true;
    bool lostPending_ = false;
    bool relativeMode_ = false;

    int32_t moveX_ = 0;
    int32_t moveY_ = 0;
    float wheel_ = 0;       // in 1/120 notches, as the wheel counts
    uint32_t buttons_ = 0;  // SDL button masks held now

    // The one game controller flown with: the first there is. While it is open this source holds
    // a reference to SDL's game controller support, so the handle outlives the window's.
    SDL_GameController* controller_ = nullptr;
    SDL_JoystickID controllerId_ = -1;
    bool controllerSupport_ = false;
};
