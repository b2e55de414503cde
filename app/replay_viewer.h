// Watching a replay like a video: playback speed, single steps while paused, and seeking, all on a
// replay clock of the viewer's own, so that the replay goes through exactly the states a plain
// replay goes through, only faster, slower or from another place.
#pragma once

#include <cstdint>
#include <string>

#include "game/game_state.h"

class ReplayViewer {
  public:
    // The replay speeds, slowest first, as fractions.
    static constexpr int kSpeedCount = 6;
    static constexpr uint32_t kSpeedNumerator[kSpeedCount] = {1, 1, 1, 2, 4, 8};
    static constexpr uint32_t kSpeedDenominator[kSpeedCount] = {4, 2, 1, 1, 1, 1};
    static constexpr int kNormalSpeed = 2;
    // A seek by the arrows: 10 seconds of steps.
    static constexpr uint64_t kSeekSteps = 10000 / 31;

    // The game's tick now. Until the viewer is used it is the real tick; once it is, the replay
    // runs on the viewer's clock, which moves on by exactly one step each time a step is due at
    // the chosen speed and stands still while the replay is paused.
    uint32_t now(uint32_t real) const { return viewing_ ? clock_ : real + offset_; }
    // Called by the main loop before it looks at the clock.
    void tick(uint32_t real);
    // Real milliseconds until the next step is due on the viewer's clock; -1 to wait for an
    // event (paused); -2 when the viewer is not in charge.
    int32_t msUntilDue(uint32_t real) const;

    // The viewer's keys during a replay; true when the key was one of them.
    bool handleKey(int key, uint32_t real);

    // A replay begins from its start (F2, F5, a recording on the command line).
    void replayStarted();
    // Called by the main loop after every frame step, with the tick the step ran at.
    void afterStep(uint32_t tick);

    // Steps since the replay began, and the speed, for the replay mark.
    uint64_t position() const { return steps_; }
    int speedIndex() const { return speed_; }
    // "1/4x" ... "8x".
    std::string speedText() const;
    // Goes to `step` steps after the replay's start by replaying from the start without drawing
    // or sounds; the state is then the one a plain replay has there. Returns the step reached
    // (fewer when the replay cannot go that far yet).
    uint64_t seekTo(uint64_t step, uint32_t real);
    // One step while paused.
    void stepOnce(uint32_t real);

  private:
    void startViewing(uint32_t real);
    void stopViewing(uint32_t real);
    bool stepDue(uint32_t real) const;
    // The speed as the replay mark shows it.
    void showSpeed() const;

    bool viewing_ = false;
    uint32_t clock_ = 0;       // the game's tick while viewing
    uint32_t offset_ = 0;      // game tick minus real tick otherwise
    uint32_t realAtStep_ = 0;  // the real tick of the viewer's last step
    int speed_ = kNormalSpeed;

    bool tracking_ = false;     // a replay is under way and its steps are counted
    bool originKnown_ = false;  // its first step has run
    uint64_t steps_ = 0;
    uint32_t originStartTick_ = 0;  // the game clock's start for the replay
    uint32_t firstStepTick_ = 0;    // the tick of its first step
    // What a new game leaves as it was, so that a replay begins from it: the best times, the time
    // shown in the intro, a game-over fade's count and the last steering flag.
    struct Carried {
        uint32_t bestPassTimes[TargetCount] = {};
        uint32_t elapsedTenths = 0;
        uint32_t gameOverFrame = 0;
        int32_t steering = 0;
    };
    Carried carried_;
};

extern ReplayViewer replayViewer;
