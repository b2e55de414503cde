// Checking a recorded flight: passes and bumps seen in the game state after each step.
#include "flight_verdict.h"

namespace {

template <typename T>
std::string numberOrNull(const std::optional<T>& v) {
    return v ? std::to_string(*v) : "null";
}

}  // namespace

void FlightWatcher::afterStep(uint64_t step) {
    seen_.steps = step;
    for (int i = 0; i < TargetCount; ++i) {
        if (game.targetPassed[i] && !seen_.passSteps[i]) {
            seen_.passSteps[i] = step;
            seen_.passTimes[i] = game.passTimes[i];
        }
    }
    // A bump starts in the step that leaves the countdown at its start: a running bump counts it
    // down in every step, and one that ends and is touched again at once starts over at 64.
    bool started = game.bumping && game.bumpCountdown == 64;
    if (started && !bumpStarted_)
        seen_.bumpSteps.push_back(step);
    bumpStarted_ = started;
}

FlightVerdict FlightWatcher::verdict(uint32_t count) const {
    FlightVerdict v = seen_;
    v.count = count;
    v.finished = true;
    uint32_t last = 0;
    for (int i = 0; i < TargetCount; ++i) {
        if (!v.passTimes[i])
            v.finished = false;
        else if (*v.passTimes[i] > last)
            last = *v.passTimes[i];
    }
    if (v.finished)
        v.finalTenths = last;
    return v;
}

std::string verdictJson(const FlightVerdict& v) {
    std::string passTimes, passSteps, bumpSteps;
    for (int i = 0; i < TargetCount; ++i) {
        passTimes += (i ? ", " : "") + numberOrNull(v.passTimes[i]);
        passSteps += (i ? ", " : "") + numberOrNull(v.passSteps[i]);
    }
    for (size_t i = 0; i < v.bumpSteps.size(); ++i)
        bumpSteps += (i ? ", " : "") + std::to_string(v.bumpSteps[i]);
    return std::string("{\"finished\": ") + (v.finished ? "true" : "false") +
           ", \"steps\": " + std::to_string(v.steps) + ", \"count\": " + std::to_string(v.count) +
           ", \"finalTenths\": " + numberOrNull(v.finalTenths) + ", \"passTimes\": [" + passTimes +
           "], \"passSteps\": [" + passSteps +
           "], \"bumps\": " + std::to_string(v.bumpSteps.size()) + ", \"bumpSteps\": [" +
           bumpSteps + "]}";
}
