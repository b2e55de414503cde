// Checking a recorded flight: what a replay of it does, step by step (which targets it passes and
// when, the bumps it starts), and the verdict as one JSON object.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/game_state.h"

struct FlightVerdict {
    bool finished = false;  // all four targets passed
    uint64_t steps = 0;     // frame steps replayed
    uint32_t count = 0;     // frames the recording holds
    std::optional<uint32_t> passTimes[TargetCount];
    std::optional<uint64_t> passSteps[TargetCount];
    std::vector<uint64_t> bumpSteps;
    // The time the result screen shows: the game time at the last pass.
    std::optional<uint32_t> finalTenths;
};

// Watches the game state after every frame step of a replay.
class FlightWatcher {
  public:
    void afterStep(uint64_t step);
    // The verdict so far, for a recording of `count` frames.
    FlightVerdict verdict(uint32_t count) const;

  private:
    FlightVerdict seen_;
    bool bumpStarted_ = false;
};

// {"finished": true, "steps": N, "count": C, "finalTenths": T, "passTimes": [...], ...}
std::string verdictJson(const FlightVerdict& verdict);
