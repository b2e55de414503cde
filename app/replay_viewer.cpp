// The replay viewer: speeds, single steps and seeks over a replay, by a clock that counts the
// replay's steps instead of the wall's milliseconds while the viewer is in use.
#include "app/replay_viewer.h"

#include "app/window_procedure.h"
#include "app/window_services.h"
#include "audio/sound_system.h"
#include "game/frame_step.h"
#include "game/shell_options.h"

ReplayViewer replayViewer;

namespace {

constexpr uint32_t kStepMs = 31;

// The steps of a plain replay at its own pace run at these ticks.
uint32_t stepTick(uint32_t first, uint64_t step) {
    return first + static_cast<uint32_t>((step - 1) * kStepMs);
}

}  // namespace

std::string ReplayViewer::speedText() const {
    uint32_t n = kSpeedNumerator[speed_], d = kSpeedDenominator[speed_];
    return d == 1 ? std::to_string(n) + "x" : std::to_string(n) + "/" + std::to_string(d) + "x";
}

void ReplayViewer::showSpeed() const {
    shellOptions.replaySpeedNumerator = kSpeedNumerator[speed_];
    shellOptions.replaySpeedDenominator = kSpeedDenominator[speed_];
}

bool ReplayViewer::stepDue(uint32_t real) const {
    // A step every 31 x den / num real milliseconds.
    return uint64_t(real - realAtStep_) * kSpeedNumerator[speed_] >=
           uint64_t(kStepMs) * kSpeedDenominator[speed_];
}

void ReplayViewer::startViewing(uint32_t real) {
    if (viewing_)
        return;
    clock_ = now(real);
    realAtStep_ = real;
    viewing_ = true;
}

void ReplayViewer::stopViewing(uint32_t real) {
    if (!viewing_)
        return;
    // The game's clock goes on from where the viewer left it.
    offset_ = clock_ - real;
    viewing_ = false;
    speed_ = kNormalSpeed;
    showSpeed();
}

void ReplayViewer::tick(uint32_t real) {
    if (!viewing_)
        return;
    if (!game.replaying) {
        stopViewing(real);
        return;
    }
    if (game.halted) {
        // A pause takes no replay time.
        realAtStep_ = real;
        return;
    }
    if (clock_ == game.lastStepTick && stepDue(real)) {
        clock_ = game.lastStepTick + kStepMs;
        realAtStep_ = real;
    }
}

int32_t ReplayViewer::msUntilDue(uint32_t real) const {
    if (!viewing_ || !game.replaying)
        return -2;
    if (game.halted)
        return -1;
    uint64_t interval =
        (uint64_t(kStepMs) * kSpeedDenominator[speed_] + kSpeedNumerator[speed_] - 1) /
        kSpeedNumerator[speed_];
    uint64_t since = real - realAtStep_;
    return since >= interval ? 0 : static_cast<int32_t>(interval - since);
}

void ReplayViewer::replayStarted() {
    tracking_ = true;
    originKnown_ = false;
    steps_ = 0;
    for (int i = 0; i < TargetCount; ++i) carried_.bestPassTimes[i] = game.bestPassTimes[i];
    carried_.elapsedTenths = game.elapsedTenths;
    carried_.gameOverFrame = game.gameOverFrame;
    carried_.steering = game.steering;
}

void ReplayViewer::afterStep(uint32_t tick) {
    if (!tracking_)
        return;
    if (!originKnown_) {
        originKnown_ = true;
        originStartTick_ = game.gameStartTick;
        firstStepTick_ = tick;
    }
    ++steps_;
}

uint64_t ReplayViewer::seekTo(uint64_t step, uint32_t real) {
    if (!tracking_ || !originKnown_)
        return steps_;
    startViewing(real);
    bool paused = game.halted && game.replaying;
    if (game.soundSystem)
        game.soundSystem->soundsMuted = true;

    // From the start, as F2 starts it, on the clock the replay first ran on, from what the game
    // carried into it.
    const uint32_t originStart = originStartTick_, firstStep = firstStepTick_;
    const Carried carried = carried_;
    for (int i = 0; i < TargetCount; ++i) game.bestPassTimes[i] = carried.bestPassTimes[i];
    game.elapsedTenths = carried.elapsedTenths;
    game.gameOverFrame = carried.gameOverFrame;
    game.steering = carried.steering;
    startReplay();
    originKnown_ = true;
    originStartTick_ = originStart;
    firstStepTick_ = firstStep;
    game.restartClock = 0;
    game.gameStartTick = originStartTick_;
    uint32_t tick = firstStepTick_ - kStepMs;
    StepPicture picture = StepPicture::Nothing;
    while (steps_ < step) {
        tick = stepTick(firstStepTick_, steps_ + 1);
        game.nowTick = tick;
        advanceStep(picture);
        game.lastStepTick = tick;
        ++steps_;
    }
    if (steps_ == 0)
        game.lastStepTick = tick;
    clock_ = game.lastStepTick;
    realAtStep_ = real;

    if (game.soundSystem)
        game.soundSystem->soundsMuted = false;
    if (paused && game.replaying && !game.halted) {
        game.halted = 1;
        game.pauseStartTick = clock_;
    }
    if (!game.replaying)
        stopViewing(real);
    // Show where the seek arrived at once, even while paused.
    if (game.device && picture != StepPicture::Nothing) {
        drawFrame(game, picture);
        game.device->present();
    }
    return steps_;
}

void ReplayViewer::stepOnce(uint32_t real) {
    if (!tracking_ || !game.replaying || !game.halted)
        return;
    startViewing(real);
    game.halted = 0;
    clock_ = game.lastStepTick + kStepMs;
    game.nowTick = clock_;
    stepFrame();
    game.lastStepTick = clock_;
    afterStep(clock_);
    // Paused again, unless the step ended the replay.
    if (game.replaying)
        game.halted = 1;
    game.pauseStartTick = clock_;
    realAtStep_ = real;
    if (!game.replaying)
        stopViewing(real);
}

bool ReplayViewer::handleKey(int key, uint32_t real) {
    if (!game.replaying || !tracking_)
        return false;
    switch (key) {
        case kVkOemPlus:
        case kVkAdd:
            startViewing(real);
            if (speed_ + 1 < kSpeedCount)
                ++speed_;
            showSpeed();
            return true;
        case kVkOemMinus:
        case kVkSubtract:
            startViewing(real);
            if (speed_ > 0)
                --speed_;
            showSpeed();
            return true;
        case kVkOemPeriod:
        case kVkDecimal:
            stepOnce(real);
            return true;
        case kVkLeft:
            seekTo(steps_ > kSeekSteps ? steps_ - kSeekSteps : 0, real);
            return true;
        case kVkRight:
            seekTo(steps_ + kSeekSteps, real);
            return true;
        case kVkHome:
            seekTo(0, real);
            return true;
        default:
            return false;
    }
}
