// The main loop. It keeps the original order of a pass, but instead of spinning while it waits it
// sleeps on the event queue until the next step is due, so the processor idles between steps.
#include "app/main_loop.h"

#include <cmath>

#include "app/record_keeper.h"
#include "app/replay_viewer.h"
#include "app/startup.h"
#include "app/window_procedure.h"
#include "app/window_services.h"
#include "controls/input_reader.h"
#include "game/frame_blender.h"
#include "game/frame_step.h"
#include "game/game_state.h"

namespace {
constexpr uint32_t kStepThresholdMs = 30;
constexpr float kStepMs = 31.0f;
std::string pendingReplay;

FramePacing pacing;
std::function<void(uint32_t)> frameHook;
std::function<void()> startedHook;
FrameBlender blender;
// When the next smooth frame is due, in ticks (fractional: 60 a second is 16.67 ms apart).
double nextFrameTick = 0;
bool frameClockSet = false;
uint32_t frameCostMs = 0;
// The last step found the flight paused: its picture (and the pause's panel) is up, so the loop
// may wait for an event instead of stepping.
bool pauseShown = false;

double frameInterval() {
    return 1000.0 / (pacing.framesPerSecond > 0 ? pacing.framesPerSecond : 60);
}

// Whether a smooth frame is due at tick t, in the tick counter's wrapping arithmetic.
int32_t msUntilFrame(uint32_t t) {
    double until = nextFrameTick - static_cast<double>(t);
    return until <= 0 ? 0 : static_cast<int32_t>(std::ceil(until));
}

void presentFrame(uint32_t t) {
    game.device->present();
    if (frameHook)
        frameHook(t);
}

// The smooth frames of a pass: one when it is due, while the steps show something; when a step
// has just stopped showing (a pause), one last frame of the state as it stands.
void drawSmoothFrames(uint32_t t, bool wasShowing) {
    if (!game.device)
        return;
    if (!blender.showing()) {
        if (wasShowing) {
            blender.draw(1.0f);
            presentFrame(t);
        }
        frameClockSet = false;
        return;
    }
    if (!frameClockSet) {
        nextFrameTick = t;
        frameClockSet = true;
    }
    if (msUntilFrame(t) > 0)
        return;
    // A frame that would still be drawing when the next step is due waits for that step, so
    // that the steps keep their 31 ms.
    uint32_t untilStep = kStepThresholdMs + 1 - (t - game.lastStepTick);
    // (Right after a step it is drawn whatever it costs: a frame slower than a step still shows.)
    uint32_t sinceStep = t - game.lastStepTick;
    if (sinceStep > 0 && sinceStep <= kStepThresholdMs && untilStep < frameCostMs)
        return;
    blender.draw(stepFraction(t));
    presentFrame(t);
    // How long a frame takes, on the same clock: a slow average of the last ones.
    uint32_t cost = game.tickSource->now() - t;
    frameCostMs = (frameCostMs * 7 + cost + 7) / 8;
    nextFrameTick += frameInterval();
    // Behind by more than a frame (a stall): start counting again from now.
    if (nextFrameTick <= t)
        nextFrameTick = t + frameInterval();
}
}  // namespace

void setFramePacing(const FramePacing& p) {
    pacing = p;
    frameClockSet = false;
    frameCostMs = 0;
    pauseShown = false;
    blender = FrameBlender{};
}

void setFrameHook(std::function<void(uint32_t)> hook) {
    frameHook = std::move(hook);
}

void setStartedHook(std::function<void()> hook) {
    startedHook = std::move(hook);
}

float stepFraction(uint32_t t) {
    float f = static_cast<float>(t - game.lastStepTick) / kStepMs;
    return f < 1.0f ? f : 1.0f;
}

bool drawFrameBetweenSteps(float fraction) {
    if (!pacing.smooth || !game.device)
        return false;
    blender.draw(fraction);
    return true;
}

void replayWhenRunning(const std::string& path) {
    pendingReplay = path;
    if (!path.empty() && !controllerChoiceMade())
        game.keyboardChosen = 1;
}

int32_t eventWaitMs() {
    if (game.startupStage < 0)
        return 0;
    if (game.startupStage == 1 && controllerChoiceMade())
        return 0;
    if (!game.running)
        return -1;
    uint32_t now = game.tickSource->now();
    int32_t viewerWait = replayViewer.msUntilDue(now);
    if (viewerWait != -2)
        return viewerWait;
    if (pacing.idleWhilePaused && pauseShown && game.halted && !game.introActive &&
        !game.gameOver && !(pacing.smooth && blender.showing()))
        return -1;
    uint32_t since = replayViewer.now(now) - game.lastStepTick;
    if (since > kStepThresholdMs)
        return 0;
    int32_t untilStep = static_cast<int32_t>(kStepThresholdMs + 1 - since);
    if (pacing.smooth && blender.showing() && frameClockSet) {
        int32_t untilFrame = msUntilFrame(now);
        // A frame too close to the step is drawn after it (see drawSmoothFrames).
        if (untilFrame < untilStep && untilStep - untilFrame > static_cast<int32_t>(frameCostMs))
            return untilFrame;
    }
    return untilStep;
}

bool runPass(int& exitCode, bool* stepped) {
    if (stepped)
        *stepped = false;
    WindowEvent event;
    if (game.mainWindow->nextEvent(event, eventWaitMs())) {
        if (event.type == EventType::Quit) {
            exitCode = event.quitCode;
            return false;
        }
        windowProcedure(event);
    }

    if (game.startupStage < 0) {
        game.startupStage = 0;
        paintStatus(0);
        if (!startUp()) {
            exitCode = 0;
            return false;
        }
        paintStatus(game.startupStage);
        if (startedHook)
            startedHook();
    } else if (game.startupStage == 1 && controllerChoiceMade()) {
        game.running = 1;
        if (!createInputDevice()) {
            exitCode = 0;
            return false;
        }
        game.startupStage = 2;
        if (!pendingReplay.empty()) {
            replayRecordingFile(pendingReplay);
            pendingReplay.clear();
        }
    }

    if (game.running) {
        uint32_t real = game.tickSource->now();
        replayViewer.tick(real);
        uint32_t t = replayViewer.now(real);
        if (game.restartClock) {
            game.gameStartTick = t;
            game.restartClock = 0;
        }
        game.nowTick = t;
        bool wasShowing = blender.showing();
        if (t - game.lastStepTick > kStepThresholdMs) {
            if (pacing.smooth) {
                blender.step(t);
            } else {
                // A step shows a frame unless it is paused (or the result screen's last one).
                bool draws = game.introActive || !game.halted || game.gameOver;
                stepFrame();
                if (draws && frameHook && game.device)
                    frameHook(t);
            }
            game.lastStepTick = t;
            pauseShown = game.halted && !game.introActive && !game.gameOver;
            replayViewer.afterStep(t);
            recordKeeper.afterStep();
            if (stepped)
                *stepped = true;
        }
        if (pacing.smooth)
            drawSmoothFrames(t, wasShowing);
    }
    return true;
}

int runMainLoop() {
    int exitCode = 0;
    while (runPass(exitCode)) {
    }
    return exitCode;
}
