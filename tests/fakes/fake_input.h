// A scripted mouse, keyboard or game controller for tests and the headless runner: a queue of poll
// results and states, devices that get lost or fail on demand, and a log of every call.
#pragma once

#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "controls/input_source.h"

class FakeInput : public InputSource {
  public:
    // One scripted poll: the result and, for Ok, the state delivered.
    struct Poll {
        PollResult result = PollResult::Ok;
        MouseState mouse;
        KeyboardState keyboard;
        ControllerState controller;
        int lostReacquires = 0;  // InputLost: reacquire reports InputLost this many times first
    };

    // State builders.
    static MouseState mouse(int32_t x, int32_t y, int32_t wheel, bool left, bool right,
                            bool middle);
    static KeyboardState keys(std::initializer_list<int> scanCodes);
    static ControllerState pad(int16_t stickX, int16_t leftTrigger = 0, int16_t rightTrigger = 0,
                               int16_t stickY = 0);

    // Script, consumed one entry per poll; an empty script polls as Ok with nothing held.
    void pushMouse(const MouseState& state);
    void pushKeyboard(const KeyboardState& state);
    void pushController(const ControllerState& state);
    // The next poll reports lost input; reacquiring then reports InputLost `lostReacquires` more
    // times before it succeeds.
    void pushLost(int lostReacquires = 0);
    // The next poll fails for another reason.
    void pushFailure();
    size_t pending() const { return script.size(); }

    // Failure switches.
    bool failCreateSystem = false;
    bool failCreateDevice = false;
    bool failAcquire = false;
    bool reacquireFails = false;  // reacquire reports Failed instead
    bool stuckLost = false;       // reacquire reports InputLost for ever

    // What happened.
    // "createSystem", "createDevice:mouse", "pollKeyboard", "pollController", ...
    std::vector<std::string> calls;
    int reacquireCount = 0;
    int pollCount = 0;
    bool systemMade = false;
    bool deviceMade = false;
    bool acquired = false;
    InputKind kind = InputKind::Mouse;

    bool createSystem() override;
    bool createDevice(InputKind kind) override;
    bool acquire() override;
    PollResult reacquire() override;
    PollResult pollMouse(MouseState& state) override;
    PollResult pollKeyboard(KeyboardState& state) override;
    PollResult pollController(ControllerState& state) override;
    void releaseDevice() override;
    void releaseSystem() override;

  private:
    PollResult nextPoll(InputKind asked, MouseState* mouseOut, KeyboardState* keyboardOut,
                        ControllerState* controllerOut);

    std::deque<Poll> script;
    int lostLeft_ = 0;
    bool lost_ = false;
};
