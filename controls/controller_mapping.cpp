// The game controller's stick curve and trigger steps. Only live flight runs this: a recording
// holds the resulting inputs, so replays never depend on the floating-point curve.
#include "controls/controller_mapping.h"

#include <algorithm>
#include <cmath>

#include "controls/flight_recorder.h"

namespace {

constexpr int16_t kTriggerSpeedStep = 2;  // as the up and down arrows

}  // namespace

int16_t stickTurnInput(int32_t stickX) {
    // -32768 has no opposite in 16 bits: it is as full as 32767.
    const int64_t raw = stickX;
    const int64_t magnitude = std::min<int64_t>(raw < 0 ? -raw : raw, kAxisFull);
    if (magnitude <= kStickDeadZone) {
        return kNoInput;
    }
    // t runs from just above 0 at the dead zone's edge to 1 at full deflection. t^1.5 is gentle
    // near the centre for fine corrections; half deflection (t = 0.34) gives 0.197 x 40 = 7.9.
    const double t = static_cast<double>(magnitude - kStickDeadZone) / (kAxisFull - kStickDeadZone);
    const auto turn = static_cast<int16_t>(std::lround(kStickFullTurn * t * std::sqrt(t)));
    return stickX < 0 ? static_cast<int16_t>(-turn) : turn;
}

int16_t triggerSpeedInput(int32_t leftTrigger, int32_t rightTrigger) {
    if (rightTrigger > kTriggerThreshold) {
        return kTriggerSpeedStep;
    }
    if (leftTrigger > kTriggerThreshold) {
        return -kTriggerSpeedStep;
    }
    return kNoInput;
}
