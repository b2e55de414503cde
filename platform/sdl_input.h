// The mouse and keyboard the player flies with, on SDL2: relative mouse movement, wheel and
// buttons gathered from the window's events, the arrow keys by scan code.
#pragma once

#include <SDL.h>

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
    void releaseDevice() override;
    void releaseSystem() override;

    // The window's event pump hands over every SDL event; movement and wheel add up here
    // between two polls, and focus changes are noted.
    void handleEvent(const SDL_Event& e);

  private:
    void setRelativeMode(bool on);
    void forgetMouse();

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
};
